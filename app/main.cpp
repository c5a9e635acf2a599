// The scoreboard's entry: one window, shown maximised, until it is closed.
#include "Dialogs.h"
#include "FeuilleMain2.h"
#include "X11Keyboard.h"

#include <QApplication>
#include <QScreen>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zelvano"));
    // No display name: the platform would append it to every title ("Erreur — Zelvano"),
    // and the dialogs' titles are the French kind names alone.
    installFrenchTranslations();
    // A held key acts once: on X, repeats come as presses only (the key handler also
    // copes without it).
    requestDetectableAutoRepeat();
    // Screen orientations matter only on devices that rotate their screen; a desktop
    // session has none to restrict.
    TMainFrm window;
    // Without a window manager (a kiosk session) maximising does nothing: take the screen.
    if (QScreen *screen = window.screen())
        window.setGeometry(screen->availableGeometry());
    window.showMaximized();
    return app.exec();
}
