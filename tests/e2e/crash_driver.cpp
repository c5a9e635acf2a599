// crash_driver <documents folder> <random start>: the real window on that folder, played by
// CrashScript as fast as it goes, until something kills the process.
//
// Standard output, one line each, flushed at once so that a kill loses none of them:
//   "saves <n>"        after the n-th completed save of the sheet (the backup replaced)
//   "running"          once the window has started and the script begins
//   "dialog <text>"    a dialog no action of the script asks for (an error box)
#include "CrashScript.h"

#include <QApplication>
#include <cstdio>

namespace {

void say(const QByteArray &line)
{
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fflush(stdout);
}

void reportUnexpected(ScriptedWindow &sw)
{
    for (const QString &text : sw.takeUnexpectedDialogs())
        say("dialog " + text.simplified().toUtf8() + '\n');
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    bool ok = false;
    const quint64 start = args.size() == 3 ? args.at(2).toULongLong(&ok, 0) : 0;
    if (!ok) {
        std::fprintf(stderr, "usage: crash_driver <documents folder> <random start>\n");
        return 2;
    }

    ScriptedWindow sw;
    sw.onSave = [](qint64 saves) { say("saves " + QByteArray::number(saves) + '\n'); };
    sw.open(args.at(1));
    reportUnexpected(sw);
    say("running\n");

    CrashScript script(sw, start);
    for (;;) {
        script.step();
        QApplication::processEvents();
        reportUnexpected(sw);
    }
}
