#include "clean/cleaning_run.h"

#include <stdexcept>

#include "clean/percent_text.h"
#include "platform/file_delete.h"
#include "scan/folder_scan.h"

namespace sweepwise {

namespace {

// A row that could not be handled: its file was not deleted, or the row is gone.
struct RowFailure : std::runtime_error {
    RowFailure() : std::runtime_error("row not handled") {}
};

}  // namespace

void CleaningRun::pause(int milliseconds) {
    m_ui.pump();
    m_system.sleep(milliseconds);
    m_ui.pump();
}

void CleaningRun::load() {
    m_view.showCentred();
    pause(50);
    m_view.addNotRemovedColumn("未清除的垃圾文件");
    Delf(1);
}

void CleaningRun::Delf(int start) {
    pause(50);
    bool setMaximum = start == 1;
    int next = start;
    for (;;) {
        try {
            if (setMaximum) {
                setMaximum = false;
                m_maximum = static_cast<float>(m_junk.count());
                m_view.showProgress(m_value, m_maximum);
            }
            // Each stretch of rows ends at the row count read when it begins.
            const int last = m_junk.count();
            for (int row = next; row <= last; ++row) {
                handleRow(row);
            }
            break;
        } catch (const std::exception&) {
            if (!recordFailure(next)) {
                break;
            }
        }
    }
    complete();
}

void CleaningRun::handleRow(int row) {
    // Copied: the pause at the end of the row may change the list.
    const std::string path(m_junk.path(row));
    const std::size_t rootLength = m_junk.rootLength(row);
    if (FileExists(path) && m_junk.checked(row)) {
        m_text.assign("正在清理垃圾文件:  ").append(path);
        m_view.setActionText(m_text);
        if (platform::deleteFile(path, rootLength) != platform::DeleteOutcome::Deleted) {
            throw RowFailure();
        }
    }
    raiseProgress();
    m_text.assign("已完成")
        .append(PercentText(m_value, m_maximum, m_view.decimalPoint()))
        .append("%");
    m_view.setPercentText(m_text);
    pause(3);
}

void CleaningRun::raiseProgress() {
    // The progress never passes its maximum: a run whose list grew under it stops there.
    if (m_value + 1 > m_maximum) {
        throw RowFailure();
    }
    m_value += 1;
    m_view.showProgress(m_value, m_maximum);
}

// Counts the failed row as handled and keeps its path for the not-removed list. Gives false
// when the run must go straight to its completion.
bool CleaningRun::recordFailure(int& next) {
    if (m_value >= m_maximum) {
        return false;
    }
    m_value += 1;
    m_view.showProgress(m_value, m_maximum);
    pause(50);
    const int failed = static_cast<int>(m_value);
    // A row that is gone cannot be read for the record either: nothing is kept for it.
    if (m_junk.contains(failed)) {
        m_notRemoved.push_back({std::string(m_junk.path(failed)), m_junk.rootLength(failed)});
        m_view.showNotRemoved(m_notRemoved.back().path);
    }
    next = failed + 1;
    return true;
}

void CleaningRun::complete() {
    m_view.setActionText("垃圾文件清理完毕。");
    m_host.showMainWindow();
    m_junk.clear();
    for (const NotRemoved& file : m_notRemoved) {
        m_junk.append(file.path, file.rootLength);
        m_text.assign("未清除文件")
            .append(std::to_string(m_junk.count()))
            .append("个。")
            .append("您可以关闭其他的程序后重试。");
        m_host.setCountText(m_text);
    }
    m_view.unload();
}

}  // namespace sweepwise
