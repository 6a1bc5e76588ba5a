#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "junklist/junk_list.h"
#include "platform/system.h"
#include "platform/ui_services.h"

namespace sweepwise {

// What the cleaning window shows of a run: the cleaning window implements it.
class CleaningView {
public:
    virtual ~CleaningView() = default;
    virtual void showCentred() = 0;
    virtual void addNotRemovedColumn(std::string_view head) = 0;  // lTem
    virtual void showProgress(float value, float maximum) = 0;    // PP1
    virtual void setActionText(std::string_view text) = 0;        // Nowf
    virtual void setPercentText(std::string_view text) = 0;       // Nows
    virtual void showNotRemoved(std::string_view path) = 0;       // a row of lTem
    virtual std::string decimalPoint() = 0;
    // Closes the window; its close test lets this pass once every row is handled.
    virtual void unload() = 0;
};

// What a cleaning run asks of the main window.
class CleaningHost {
public:
    virtual ~CleaningHost() = default;
    virtual void showMainWindow() = 0;
    virtual void setCountText(std::string_view text) = 0;  // Lf
};

// Deletes the files of the ticked rows one row at a time, pausing between rows so that every
// window stays usable. Rows, ticks and the row count are read when the run reaches them, so a
// command clicked during a pause acts on the rows not yet reached.
class CleaningRun {
public:
    CleaningRun(JunkList& junk, platform::System& system, platform::UiServices& ui,
                CleaningView& view, CleaningHost& host)
        : m_junk(junk), m_system(system), m_ui(ui), m_view(view), m_host(host) {}

    // The cleaning window's load: the whole run, up to and including the window's unload.
    void load();
    void Delf(int start);

    float progressValue() const { return m_value; }
    float progressMaximum() const { return m_maximum; }
    bool everyRowHandled() const { return m_value == m_maximum; }

private:
    struct NotRemoved {
        std::string path;
        std::size_t rootLength;
    };

    void pause(int milliseconds);
    void handleRow(int row);
    void raiseProgress();
    bool recordFailure(int& next);
    void complete();

    JunkList& m_junk;
    platform::System& m_system;
    platform::UiServices& m_ui;
    CleaningView& m_view;
    CleaningHost& m_host;
    float m_maximum = 100;
    float m_value = 0;
    std::vector<NotRemoved> m_notRemoved;
    std::string m_text;
};

}  // namespace sweepwise
