#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "junklist/junk_list.h"
#include "platform/system.h"
#include "scan/folder_scan.h"
#include "scan/scan_state.h"
#include "scan/scan_view.h"

namespace sweepwise {

enum class ScanOption { StandardJunk, InternetCache, Cookies, SelectedDrives };

// What a scan run reads and writes of the main window. Options are read at the moment the run
// reaches them, so a change made during a run counts for the roots it has yet to reach.
class ScanRunView : public ScanView {
public:
    virtual void setScanButtons(bool startEnabled, bool stopEnabled, bool rescanEnabled) = 0;
    virtual bool quickScanSelected() = 0;
    virtual bool optionTicked(ScanOption option) = 0;
    virtual int driveCount() = 0;
    virtual bool driveTicked(int row) = 0;  // 1-based
    virtual std::string driveRoot(int row) = 0;
    // The hidden field that carries the junk-folder roots.
    virtual void setCurrentRoot(std::string_view root) = 0;
    virtual std::string currentRoot() = 0;
};

// Start, Stop and Rescan. Re-entrant: a command clicked during a walk runs nested inside it.
class ScanRun {
public:
    ScanRun(ScanState& state, JunkList& junk, FolderScan& scan, platform::System& system,
            ScanRunView& view)
        : m_state(state), m_junk(junk), m_scan(scan), m_system(system), m_view(view) {}

    void Start();
    void Stop();
    void Rescan();

private:
    void searchJunkFolder(const std::optional<std::string>& root);
    void searchStandardJunk();
    static std::optional<std::string> asRoot(std::optional<std::string> folder);

    ScanState& m_state;
    JunkList& m_junk;
    FolderScan& m_scan;
    platform::System& m_system;
    ScanRunView& m_view;
};

}  // namespace sweepwise
