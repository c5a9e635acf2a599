// The scoreboard's entry: one window, shown maximised, until it is closed.
#include "Dialogs.h"
#include "FeuilleMain2.h"

#include <QApplication>
#include <QScreen>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zelvano"));
    QApplication::setApplicationDisplayName(QStringLiteral("Zelvano"));
    installFrenchTranslations();
    // Screen orientations matter only on devices that rotate their screen; a desktop
    // session has none to restrict.
    TMainFrm window;
    // Without a window manager (a kiosk session) maximising does nothing: take the screen.
    if (QScreen *screen = window.screen())
        window.setGeometry(screen->availableGeometry());
    window.showMaximized();
    return app.exec();
}
