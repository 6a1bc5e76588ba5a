// Times a cleaning run through the real windows against the pauses the run must make.
//   QT_QPA_PLATFORM=offscreen sweepwise_clean_bench [FILES] [RUNS]   (default 2000 files, 5 runs)
// Each run makes FILES one-byte files in a fresh temporary folder, ticks a row for each, runs
// Clean selected with the real pump and sleeps, checks every file is gone, and removes the
// folder. The median run is reported last.
#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QPushButton>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/fonts.h"
#include "app/main_window.h"
#include "app/qt_ui_services.h"
#include "platform/system.h"

namespace {

// The machine's clock and sleep; no folder and no drive, and the pauses asked for added up.
class BenchSystem : public sweepwise::platform::HostSystem {
public:
    std::optional<std::string> TemporaryFile(std::string_view) override { return std::nullopt; }
    std::optional<std::string> GetWinTemdir() override { return std::nullopt; }
    std::optional<std::string> GetNetTemdir() override { return std::nullopt; }
    std::optional<std::string> GetCookiesDir() override { return std::nullopt; }
    std::vector<std::string> fixedDrives() override { return {}; }
    void sleep(int milliseconds) override {
        asked += milliseconds;
        const auto start = std::chrono::steady_clock::now();
        HostSystem::sleep(milliseconds);
        slept += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                     .count();
    }
    long asked = 0;
    double slept = 0;
};

// One run over a fresh folder; gives the run's time in ms, or a negative time when a file stayed.
double cleanOnce(int files) {
    std::string root = (std::filesystem::temp_directory_path() / "sweepwise-clean-XXXXXX").string();
    if (::mkdtemp(root.data()) == nullptr) {
        std::perror("mkdtemp");
        std::exit(1);
    }
    root += '/';

    BenchSystem system;
    sweepwise::QtUiServices ui(system);
    sweepwise::Frm1 window(system, ui);
    ui.setRefresh([&window](bool lists) { window.publish(lists); });
    window.show();
    for (int i = 0; i < files; ++i) {
        const std::string path = root + "junk" + std::to_string(i) + ".tmp";
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0 || ::write(fd, "x", 1) != 1) {
            std::perror(path.c_str());
            std::exit(1);
        }
        ::close(fd);
        const int row = window.junkList().append(path, root.size());
        window.junkList().setChecked(row, true);
    }
    QCoreApplication::processEvents();

    const auto start = std::chrono::steady_clock::now();
    window.command7->click();
    const double took =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();

    std::size_t left = 0;
    for (const auto& entry : std::filesystem::directory_iterator(root)) {
        left += entry.is_regular_file();
    }
    std::filesystem::remove_all(root);
    std::printf(
        "rows %d, run %.0f ms, pauses asked %ld ms, slept %.0f ms, ratio %.3f, "
        "overhead %.3f ms/row (%.3f outside sleeps), left %zu\n",
        files, took, system.asked, system.slept, took / double(system.asked),
        (took - double(system.asked)) / files, (took - system.slept) / files, left);
    return left == 0 && window.junkList().count() == 0 ? took / double(system.asked) : -1;
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    sweepwise::setUpFonts();
    const int files = argc > 1 ? std::stoi(argv[1]) : 2000;
    const int runs = argc > 2 ? std::stoi(argv[2]) : 5;
    std::vector<double> ratios;
    for (int i = 0; i < runs; ++i) {
        const double ratio = cleanOnce(files);
        if (ratio < 0) {
            return 1;
        }
        ratios.push_back(ratio);
    }
    std::sort(ratios.begin(), ratios.end());
    std::printf("median ratio to the pauses asked: %.3f (min %.3f, max %.3f) over %d runs\n",
                ratios[ratios.size() / 2], ratios.front(), ratios.back(), runs);
    return 0;
}
