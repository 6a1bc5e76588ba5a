#include <QApplication>

#include "app/fonts.h"
#include "app/main_window.h"
#include "app/qt_ui_services.h"
#include "platform/system.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    sweepwise::setUpFonts();

    sweepwise::platform::HostSystem system;
    sweepwise::QtUiServices ui(system);
    sweepwise::Frm1 window(system, ui);
    ui.setBeforeEvents([&window] { window.publish(); });

    // A scan or cleaning run pauses inside the pump: when its last window closes, the program
    // must not go on without one, so it ends at once.
    QObject::connect(&app, &QGuiApplication::lastWindowClosed, &window, [&window, &ui] {
        if (window.runInProgress()) {
            ui.endProgram();
        }
    });

    window.show();
    return app.exec();
}
