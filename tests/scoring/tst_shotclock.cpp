// The shot clock on a fake clock: restarts, pause, the warning and the expiry once each,
// extensions once per shot and only while some are left.
#include "ShotClock.h"

#include <QtTest>

class TstShotClock : public QObject {
    Q_OBJECT
private slots:
    void scenario_data();
    void scenario();
};

// Steps: "run", "pause", "+<ms>" (time passes), "restart", "left=<s>", "warn=<0|1>",
// "poll=<events>" (1 warning, 2 expiry, 3 both), "ext<player>=<0|1>" (extend's answer),
// "used<player>=<n>", "remain<player>=<n>", "newmatch".
void TstShotClock::scenario_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::newRow("counts down while running, rounded up")
        << QStringList{"run", "+200", "left=30", "+800", "left=29", "+19500", "left=10"};
    QTest::newRow("starts paused: no time passes")
        << QStringList{"+5000", "left=30", "run", "+5000", "left=25"};
    QTest::newRow("pause keeps the time left, resume continues")
        << QStringList{"run", "+4000", "pause", "+60000", "left=26", "run", "+1000", "left=25"};
    QTest::newRow("restart on each point gives the full time again")
        << QStringList{"run", "+25000", "left=5", "restart", "left=30", "warn=0", "+1000", "left=29"};
    QTest::newRow("restart while paused stays paused")
        << QStringList{"run", "+3000", "pause", "restart", "+9000", "left=30"};
    QTest::newRow("warning from 10 s left, reported once")
        << QStringList{"run", "+19999", "warn=0", "poll=0", "+1", "warn=1", "poll=1", "+3000", "poll=0"};
    QTest::newRow("expiry once, display stays at 0")
        << QStringList{"run", "+21000", "poll=1", "+9000", "left=0", "poll=2", "+5000", "left=0", "poll=0"};
    QTest::newRow("jump straight past the warning to 0: expiry only")
        << QStringList{"run", "+40000", "poll=2", "poll=0"};
    QTest::newRow("a new shot warns again")
        << QStringList{"run", "+21000", "poll=1", "restart", "+21000", "poll=1"};
    QTest::newRow("extension adds the time once per shot")
        << QStringList{"run", "+25000", "ext0=1", "left=35", "warn=0", "ext0=0", "used0=1", "remain0=2",
                       "restart", "left=30", "ext0=1", "used0=2"};
    QTest::newRow("the warning sounds again after an extension")
        << QStringList{"run", "+22000", "poll=1", "ext0=1", "poll=0", "+28000", "poll=1"};
    QTest::newRow("none left: refused")
        << QStringList{"ext1=1", "restart", "ext1=1", "restart", "ext1=1", "restart", "ext1=0",
                       "used1=3", "remain1=0", "remain0=3"};
    QTest::newRow("refused once the time is up")
        << QStringList{"run", "+30000", "ext0=0", "used0=0"};
    QTest::newRow("a new match gives them back")
        << QStringList{"ext0=1", "restart", "ext1=1", "newmatch", "used0=0", "used1=0", "remain0=3"};
}

void TstShotClock::scenario()
{
    QFETCH(QStringList, steps);
    qint64 now = 5000;
    ShotClock clock([&now] { return now; });
    clock.configure(30, 10, 3);
    for (const QString &step : steps) {
        const QString arg = step.section(QLatin1Char('='), 1);
        const auto want = arg.toInt();
        if (step == QLatin1String("run"))
            clock.resume();
        else if (step == QLatin1String("pause"))
            clock.pause();
        else if (step.startsWith(QLatin1Char('+')))
            now += step.mid(1).toLongLong();
        else if (step == QLatin1String("restart"))
            clock.restart();
        else if (step == QLatin1String("newmatch"))
            clock.resetExtensions();
        else if (step.startsWith(QLatin1String("left=")))
            QCOMPARE(clock.secondsLeft(), want);
        else if (step.startsWith(QLatin1String("warn=")))
            QCOMPARE(clock.inWarning(), want == 1);
        else if (step.startsWith(QLatin1String("poll=")))
            QCOMPARE(clock.poll(), want);
        else if (step.startsWith(QLatin1String("ext")))
            QCOMPARE(clock.extend(step.at(3).digitValue()), want == 1);
        else if (step.startsWith(QLatin1String("used")))
            QCOMPARE(clock.extensionsUsed(step.at(4).digitValue()), want);
        else if (step.startsWith(QLatin1String("remain")))
            QCOMPARE(clock.extensionsLeft(step.at(6).digitValue()), want);
        else
            QFAIL(qPrintable(QStringLiteral("unknown step ") + step));
    }
}

QTEST_GUILESS_MAIN(TstShotClock)
#include "tst_shotclock.moc"
