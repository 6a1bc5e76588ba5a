#include "app/qt_ui_services.h"

#include <unistd.h>

#include <QApplication>
#include <QMessageBox>

namespace sweepwise {

bool QtUiServices::eventsDue() const {
    return m_system.now() - m_lastEvents >= kPumpInterval;
}

void QtUiServices::pump() {
    const auto now = m_system.now();
    if (now - m_lastEvents < kPumpInterval) {
        return;
    }
    if (m_refresh && now - m_lastRefresh >= kRefreshInterval) {
        m_lastRefresh = now;
        const bool lists = now - m_lastListRefresh >= kListRefreshInterval;
        if (lists) {
            m_lastListRefresh = now;
        }
        m_refresh(lists);
    }
    if (m_beforeEvents) {
        m_beforeEvents();
    }
    const bool outer = m_pumping;  // a command run in here may pump a loop of its own
    m_pumping = true;
    QCoreApplication::processEvents();
    m_pumping = outer;
    // Counted from the end, so that slow event handling cannot starve the loop that pumps.
    m_lastEvents = m_system.now();
}

int QtUiServices::messageBox(std::string_view text, int flags, std::string_view title) {
    const bool question = flags == platform::kMessageQuestionYesNo;
    QMessageBox box(question ? QMessageBox::Question : QMessageBox::Information,
                    QString::fromUtf8(title.data(), qsizetype(title.size())),
                    QString::fromUtf8(text.data(), qsizetype(text.size())),
                    question ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok);
    box.setDefaultButton(question ? QMessageBox::Yes : QMessageBox::Ok);
    if (m_refresh) {
        m_refresh(true);
    }
    switch (box.exec()) {
        case QMessageBox::Yes:
            return platform::kAnswerYes;
        case QMessageBox::No:
            return platform::kAnswerNo;
        default:
            return platform::kAnswerOk;
    }
}

void QtUiServices::endProgram() {
    // At once: no window may object and no destructor may run behind a paused loop.
    ::_exit(0);
}

}  // namespace sweepwise
