// settings_driver <documents folder> <steps>: the real window on that folder; plays two runs,
// then makes the first <steps> of these changes as the operator does, prints "ready" and
// waits to be killed:
//   1. player 1 renamed "Zoé Lefèvre" (a click on the name, the dialog answered OK)
//   2. the names swapped (F3)
//   3. timing with cumulative times chosen (a click on its button)
//   4. player 1's cumulative time corrected to 3 minutes (a click on it, OK)
#include "CrashScript.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QToolButton>
#include <algorithm>
#include <cstdio>

namespace {

void click(QWidget *target)
{
    const QPointF local(target->width() / 2.0, target->height() / 2.0);
    const QPointF global = target->mapToGlobal(local);
    QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(target, &release);
}

void key(QWidget *w, int qtKey, const QString &text = QString())
{
    QKeyEvent press(QEvent::KeyPress, qtKey, Qt::NoModifier, text);
    QApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, qtKey, Qt::NoModifier, text);
    QApplication::sendEvent(w, &release);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    bool ok = false;
    const int steps = args.size() == 3 ? args.at(2).toInt(&ok) : 0;
    if (!ok) {
        std::fprintf(stderr, "usage: settings_driver <documents folder> <steps>\n");
        return 2;
    }
    ScriptedWindow sw;
    sw.open(args.at(1));
    TMainFrm *w = sw.window.get();
    key(w, Qt::Key_7, QStringLiteral("7"));
    key(w, Qt::Key_Return, QStringLiteral("\r"));
    if (steps >= 1) {
        sw.dialogs.inputAnswers.push_back({true, {QStringLiteral("Zoé Lefèvre")}});
        click(w->Nom1Lbl);
    }
    if (steps >= 2)
        key(w, Qt::Key_F3);
    if (steps >= 3)
        click(w->btnClockSum);
    if (steps >= 4) {
        sw.dialogs.inputAnswers.push_back({true, {QStringLiteral("3"), QStringLiteral("0")}});
        click(w->Chrono1Lbl);
    }
    QApplication::processEvents();
    // The input dialogs are the steps' own; anything else (an error box) is reported.
    auto &shown = sw.dialogs.shown;
    shown.erase(std::remove_if(shown.begin(), shown.end(), [](const ScriptedDialogs::Shown &d) { return d.isInput; }),
                shown.end());
    for (const QString &text : sw.takeUnexpectedDialogs())
        std::fprintf(stdout, "dialog %s\n", text.simplified().toUtf8().constData());
    std::fprintf(stdout, "ready\n");
    std::fflush(stdout);
    return app.exec(); // until killed
}
