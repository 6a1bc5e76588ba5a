#include "scan/scan_run.h"

namespace sweepwise {

std::optional<std::string> ScanRun::asRoot(std::optional<std::string> folder) {
    if (!folder || folder->empty()) {
        return std::nullopt;
    }
    folder->push_back('/');
    return folder;
}

void ScanRun::searchJunkFolder(const std::optional<std::string>& root) {
    // A location that is not known is skipped: an empty root would name the current folder.
    if (!root || root->empty()) {
        return;
    }
    m_state.DriveScanMode = false;
    m_view.setCurrentRoot(*root);
    m_scan.StartSearch(m_view.currentRoot(), "*.*");
}

void ScanRun::searchStandardJunk() {
    searchJunkFolder(m_system.TemporaryFile(""));
    searchJunkFolder(asRoot(m_system.GetWinTemdir()));
}

void ScanRun::Start() {
    m_state.StopRequested = false;
    m_state.JunkBytes = 0;
    m_view.setScanButtons(false, true, true);
    m_junk.clear();
    m_state.JunkBytes = 0;

    if (m_view.quickScanSelected()) {
        searchStandardJunk();
        searchJunkFolder(asRoot(m_system.GetNetTemdir()));
        searchJunkFolder(asRoot(m_system.GetCookiesDir()));
    } else {
        if (m_view.optionTicked(ScanOption::StandardJunk)) {
            searchStandardJunk();
        }
        if (m_view.optionTicked(ScanOption::InternetCache)) {
            searchJunkFolder(asRoot(m_system.GetNetTemdir()));
        }
        if (m_view.optionTicked(ScanOption::Cookies)) {
            searchJunkFolder(asRoot(m_system.GetCookiesDir()));
        }
        if (m_view.optionTicked(ScanOption::SelectedDrives)) {
            const int drives = m_view.driveCount();
            for (int row = 1; row <= drives; ++row) {
                if (m_view.driveTicked(row)) {
                    m_state.DriveScanMode = true;
                    m_scan.StartSearch(m_view.driveRoot(row), "*.*");
                }
            }
        }
    }
    m_view.setStatusText("扫描完成。");
}

void ScanRun::Stop() {
    m_state.JunkBytes = 0;
    m_state.StopRequested = true;
    m_view.setScanButtons(true, false, true);
}

void ScanRun::Rescan() {
    m_junk.clear();
    m_state.JunkBytes = 0;
    Start();
    Start();
}

}  // namespace sweepwise
