#include <QApplication>

#include "app/fonts.h"
#include "app/main_window.h"
#include "app/qt_ui_services.h"
#include "platform/system.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    // Lets the desktop match the windows to the installed menu entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("app.sweepwise.Sweepwise"));
    sweepwise::setUpFonts();

    sweepwise::platform::HostSystem system;
    sweepwise::QtUiServices ui(system);
    sweepwise::Frm1 window(system, ui);
    ui.setRefresh([&window](bool lists) { window.publish(lists); });

    window.show();
    return app.exec();
}
