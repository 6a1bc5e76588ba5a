// The main window on fixture folders, to be read and pressed over AT-SPI: every location it
// reads is a folder below the root given as its only argument, and it runs the real pump.
#include <QApplication>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "app/fonts.h"
#include "app/main_window.h"
#include "app/qt_ui_services.h"
#include "common/fake_system.h"

namespace {

struct RealClockSystem : sweepwise::test::FakeSystem {
    std::chrono::steady_clock::time_point now() override {
        return std::chrono::steady_clock::now();
    }
    void sleep(int milliseconds) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
};

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc != 2 || argv[1][0] != '/') {
        std::fprintf(stderr, "usage: %s FIXTURE-ROOT\n", argv[0]);
        return 2;
    }
    sweepwise::setUpFonts();
    const std::string root = argv[1];
    RealClockSystem system;
    system.temp = root + "/temp/";
    system.winTemp = root + "/wintemp";
    system.netTemp = root + "/net";
    system.cookies = root + "/cookies";
    system.drives = {root + "/c/"};

    sweepwise::QtUiServices ui(system);
    sweepwise::Frm1 window(system, ui);
    ui.setRefresh([&window](bool lists) { window.publish(lists); });
    window.show();
    return app.exec();
}
