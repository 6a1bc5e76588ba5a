#pragma once

#include <string>

#include "junklist/junk_list.h"
#include "platform/ui_services.h"
#include "scan/scan_state.h"
#include "scan/scan_view.h"

namespace sweepwise {

namespace platform {
class Folder;
class FolderListing;
}  // namespace platform

// True only when the path is a regular file whose length can be read and is not 0.
bool FileExists(const std::string& path);

// Walks root folders depth-first and records their junk files in the junk list. Searches may
// nest: a command run from the event pump can start another search while one is paused.
class FolderScan {
public:
    FolderScan(ScanState& state, JunkList& junk, ScanView& view, platform::UiServices& ui)
        : m_state(state), m_junk(junk), m_view(view), m_ui(ui) {}

    // Searches the root (a folder path ending with "/") and everything below it; when a
    // search is already walking, only ends that search.
    void StartSearch(const std::string& root, const std::string& pattern);

private:
    struct Walk;
    void SearchFolder(Walk& walk, const platform::Folder* parent, const char* name);
    void CollectJunk(Walk& walk, const platform::Folder& folder,
                     const platform::FolderListing& listing);
    // Runs the event pump when it is due, after handing the view the labels' texts; true when
    // it ran.
    bool pump(Walk& walk);
    // Makes the newest file not examined yet that passes the probe the status text.
    void settleStatus(Walk& walk);
    void showTexts(Walk& walk);
    void record(Walk& walk, std::int64_t length);

    ScanState& m_state;
    JunkList& m_junk;
    ScanView& m_view;
    platform::UiServices& m_ui;
};

}  // namespace sweepwise
