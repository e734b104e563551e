// The laser-diode driver panel on Linux.
#include <QApplication>

#include "driverpanel_version.h"
#include "hosts/qt/command_line.h"
#include "hosts/qt/driver_panel_app.h"

int main(int argc, char** argv) {
    // Desktops match the window to its menu entry and icon by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral(DRIVERPANEL_APP_ID));
    if (AsksOnlyForInformation(argc, argv)) {
        // No panel is built: no port object, no port directory, no display needed.
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication app(argc, argv);
        // A run that asked for information but whose arguments did not get there (an option's
        // value that looked like one) must not become an invisible panel: usage, then exit.
        if (const std::optional<int> exitCode = HandleCommandLine(app)) {
            return *exitCode;
        }
        return RejectCommandLine(QStringLiteral("nothing to show."));
    }
    CDriverPanelApp app(argc, argv);
    QString recordPath;
    if (const std::optional<int> exitCode = HandleCommandLine(app, &recordPath)) {
        return *exitCode;
    }
    app.RecordFromStart(recordPath);
    return app.InitInstance();
}
