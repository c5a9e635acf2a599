// The run object: points entry, time texts and the lap stopwatch, driven by a fake clock.
#include "AppError.h"
#include "Feuille2_serie.h"

#include <QLabel>
#include <QTimer>
#include <QtTest>
#include <memory>

namespace {

struct FakeClock {
    qint64 now = 1000; // not zero, so a stopwatch that forgets its start shows it
    MonotonicClock fn()
    {
        return [this] { return now; };
    }
};

struct Rig {
    FakeClock clock;
    QLabel points;
    QLabel lap;
    std::unique_ptr<TSerie> serie;
    Rig() : serie(std::make_unique<TSerie>(&points, &lap, clock.fn())) {}
};

// One step of a scenario. Words: "on"/"off" (EnabledChrono), "run"/"pause" (PausedChrono),
// "t=<ms>" (the clock moves to that many ms after the scenario's start), "d<c>" (AddCharValue),
// "+"/"-" (AddValue1/DecValue1), "<" (DecCharValue), "zero"/"zeroall" (SetZeroChrono
// false/true), "tick" (a timer tick), "reset=<ms>" (Reset must hand over that time),
// "credited=<ms>", "lap=<text>", "points=<text>", "paused=<0|1>".
void play(Rig &rig, const QStringList &steps)
{
    const qint64 origin = rig.clock.now;
    for (const QString &step : steps) {
        const QString arg = step.section(QLatin1Char('='), 1);
        if (step == QLatin1String("on"))
            rig.serie->setEnabledChrono(true);
        else if (step == QLatin1String("off"))
            rig.serie->setEnabledChrono(false);
        else if (step == QLatin1String("run"))
            rig.serie->setPausedChrono(false);
        else if (step == QLatin1String("pause"))
            rig.serie->setPausedChrono(true);
        else if (step.startsWith(QLatin1String("t=")))
            rig.clock.now = origin + arg.toLongLong();
        else if (step.startsWith(QLatin1Char('d')) && step.size() == 2)
            rig.serie->AddCharValue(step.at(1));
        else if (step == QLatin1String("+"))
            rig.serie->AddValue1();
        else if (step == QLatin1String("-"))
            rig.serie->DecValue1();
        else if (step == QLatin1String("<"))
            rig.serie->DecCharValue();
        else if (step == QLatin1String("zero"))
            rig.serie->SetZeroChrono(false);
        else if (step == QLatin1String("zeroall"))
            rig.serie->SetZeroChrono(true);
        else if (step == QLatin1String("tick"))
            rig.serie->ShowChrono();
        else if (step.startsWith(QLatin1String("reset="))) {
            const TEnrSerie enr = rig.serie->Reset();
            QVERIFY2(enr.msecsSerie == arg.toLongLong(),
                     qPrintable(QStringLiteral("%1: handed over %2 ms").arg(step).arg(enr.msecsSerie)));
        } else if (step.startsWith(QLatin1String("credited=")))
            QVERIFY2(rig.serie->creditedMs() == arg.toLongLong(),
                     qPrintable(QStringLiteral("%1: credited %2 ms").arg(step).arg(rig.serie->creditedMs())));
        else if (step.startsWith(QLatin1String("lap=")))
            QVERIFY2(rig.lap.text() == arg, qPrintable(QStringLiteral("%1: lap label '%2'").arg(step, rig.lap.text())));
        else if (step.startsWith(QLatin1String("points=")))
            QVERIFY2(rig.points.text() == arg,
                     qPrintable(QStringLiteral("%1: points label '%2'").arg(step, rig.points.text())));
        else if (step.startsWith(QLatin1String("paused=")))
            QVERIFY2(rig.serie->PausedChrono() == (arg == QLatin1String("1")), qPrintable(step));
        else
            QFAIL(qPrintable(QStringLiteral("unknown step %1").arg(step)));
        // The timer ticks exactly while the stopwatch runs.
        QVERIFY2(rig.serie->timer()->isActive() == !rig.serie->PausedChrono(), qPrintable(step));
    }
}

QStringList words(const char *s)
{
    return QString::fromLatin1(s).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

} // namespace

class TestSerie : public QObject {
    Q_OBJECT
private slots:
    void stopwatch_data();
    void stopwatch();
    void creation_timingOffAndLabelsAsExpected();
    void entry_data();
    void entry();
    void entryErrors_data();
    void entryErrors();
    void entryError_lapTakenBeforeFailing();
    void msToStrMs_data();
    void msToStrMs();
    void msToStrHms_data();
    void msToStrHms();
    void timing_data();
    void timing();
    void timerTick_refreshesLapLabel();
};

void TestSerie::stopwatch_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<qint64>("elapsed");
    QTest::addColumn<bool>("running");
    // Words: start, stop, reset, and a number = clock advance in ms.
    QTest::newRow("fresh") << words("") << qint64(0) << false;
    QTest::newRow("running") << words("start 1500") << qint64(1500) << true;
    QTest::newRow("stopKeepsElapsed") << words("start 1500 stop 700") << qint64(1500) << false;
    QTest::newRow("restartContinues") << words("start 1500 stop 700 start 300") << qint64(1800) << true;
    QTest::newRow("secondStartIgnored") << words("start 400 start 600") << qint64(1000) << true;
    QTest::newRow("resetStopsAtZero") << words("start 400 reset 600") << qint64(0) << false;
    QTest::newRow("stopWhenStoppedHarmless") << words("stop start 50 stop stop 10") << qint64(50) << false;
    QTest::newRow("clockSteppingBack") << words("start -500") << qint64(0) << true;
}

void TestSerie::stopwatch()
{
    QFETCH(QStringList, steps);
    QFETCH(qint64, elapsed);
    QFETCH(bool, running);
    FakeClock clock;
    TStopwatch sw(clock.fn());
    for (const QString &s : steps) {
        if (s == QLatin1String("start"))
            sw.start();
        else if (s == QLatin1String("stop"))
            sw.stop();
        else if (s == QLatin1String("reset"))
            sw.reset();
        else
            clock.now += s.toLongLong();
    }
    QCOMPARE(sw.elapsedMs(), elapsed);
    QCOMPARE(sw.isRunning(), running);
}

void TestSerie::creation_timingOffAndLabelsAsExpected()
{
    QLabel points(QStringLiteral("untouched"));
    QLabel lap(QStringLiteral("stale"));
    FakeClock clock;
    TSerie serie(&points, &lap, clock.fn());
    QVERIFY(!serie.EnabledChrono());
    QVERIFY(serie.PausedChrono());
    QVERIFY(!serie.timer()->isActive());
    QCOMPARE(serie.timer()->interval(), 900);
    QCOMPARE(lap.text(), QString());
    // The points label is first written by the window's Reset, not by the creation.
    QCOMPARE(points.text(), QStringLiteral("untouched"));
    serie.Reset();
    QCOMPARE(points.text(), QStringLiteral("--"));
}

void TestSerie::entry_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<int>("points");
    QTest::addColumn<QString>("label");
    QTest::newRow("digitsBuildNumber") << words("d1 d2 d3") << 123 << "123";
    QTest::newRow("leadingZeroShowsDashes") << words("d0") << 0 << "--";
    QTest::newRow("leadingZeroChangesNothing") << words("d0 d5") << 5 << "5";
    QTest::newRow("zeroInsideKept") << words("d4 d0") << 40 << "40";
    QTest::newRow("plusOne") << words("+ + +") << 3 << "3";
    QTest::newRow("minusAtZeroStaysZero") << words("-") << 0 << "--";
    QTest::newRow("minusAfterDigits") << words("d1 d0 -") << 9 << "9";
    QTest::newRow("dropDigitOf123") << words("d1 d2 d3 <") << 12 << "12";
    QTest::newRow("dropDigitOf7") << words("d7 <") << 0 << "--";
    QTest::newRow("dropDigitAtZero") << words("<") << 0 << "--";
    QTest::newRow("digitsThenPlus") << words("d9 d9 +") << 100 << "100";
    QTest::newRow("largestRun") << words("d2 d1 d4 d7 d4 d8 d3 d6 d4 d7") << 2147483647 << "2147483647";
    QTest::newRow("digitPastRangeIgnored") << words("d2 d1 d4 d7 d4 d8 d3 d6 d4 d7 d1") << 2147483647
                                           << "2147483647";
    QTest::newRow("tenthDigitTooLargeIgnored") << words("d3 d0 d0 d0 d0 d0 d0 d0 d0 d0") << 300000000
                                               << "300000000";
    QTest::newRow("plusAtLargestStays") << words("d2 d1 d4 d7 d4 d8 d3 d6 d4 d7 +") << 2147483647
                                        << "2147483647";
}

void TestSerie::entry()
{
    QFETCH(QStringList, steps);
    QFETCH(int, points);
    QFETCH(QString, label);
    Rig rig;
    play(rig, steps);
    QCOMPARE(rig.serie->Points(), points);
    QCOMPARE(rig.points.text(), label);
    const TEnrSerie enr = rig.serie->Reset();
    QCOMPARE(enr.pointsSerie, points);
    QCOMPARE(enr.msecsSerie, qint64(0));
    QCOMPARE(rig.serie->Points(), 0);
    QCOMPARE(rig.points.text(), QStringLiteral("--"));
}

void TestSerie::entryErrors_data()
{
    QTest::addColumn<QChar>("character");
    QTest::newRow("letter") << QChar(u'a');
    QTest::newRow("space") << QChar(u' ');
    QTest::newRow("plusSign") << QChar(u'+');
    QTest::newRow("dollar") << QChar(u'$');
    QTest::newRow("arabicIndicThree") << QChar(u'\u0663');
    QTest::newRow("fullwidthFive") << QChar(u'\uFF15');
}

void TestSerie::entryErrors()
{
    QFETCH(QChar, character);
    Rig rig;
    play(rig, words("d4 d2"));
    try {
        rig.serie->AddCharValue(character);
        QFAIL("no error raised");
    } catch (const AppError &e) {
        QCOMPARE(e.message(), QStringLiteral("'%1' n'est pas une valeur entière correcte").arg(character));
    }
    QCOMPARE(rig.serie->Points(), 42);
    QCOMPARE(rig.points.text(), QStringLiteral("42"));
}

void TestSerie::entryError_lapTakenBeforeFailing()
{
    Rig rig;
    play(rig, words("on run t=5000"));
    QVERIFY_THROWS_EXCEPTION(AppError, rig.serie->AddCharValue(QChar(u'x')));
    play(rig, words("credited=5000 lap=00:00 paused=0"));
}

void TestSerie::msToStrMs_data()
{
    QTest::addColumn<qint64>("ms");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero") << qint64(0) << "00:00";
    QTest::newRow("underOneSecond") << qint64(999) << "00:00";
    QTest::newRow("justUnderAMinute") << qint64(59999) << "00:59";
    QTest::newRow("oneMinute") << qint64(60000) << "01:00";
    QTest::newRow("oneHourNotWrapped") << qint64(3600000) << "60:00";
    QTest::newRow("hundredMinutes") << qint64(6000000) << "100:00";
    QTest::newRow("negativeSignedParts") << qint64(-65000) << "-01:-05";
    QTest::newRow("negativeUnderOneSecond") << qint64(-999) << "00:00";
    QTest::newRow("negativeSecondsOnly") << qint64(-5000) << "00:-05";
    QTest::newRow("largestValue") << std::numeric_limits<qint64>::max() << "153722867280912:55";
    QTest::newRow("smallestValue") << std::numeric_limits<qint64>::min() << "-153722867280912:-55";
}

void TestSerie::msToStrMs()
{
    QFETCH(qint64, ms);
    QFETCH(QString, text);
    QCOMPARE(TSerie::msToStrMs(ms), text);
}

void TestSerie::msToStrHms_data()
{
    QTest::addColumn<qint64>("ms");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero") << qint64(0) << "00:00:00";
    QTest::newRow("hourTenMinutesThirty") << qint64(4230000) << "01:10:30";
    QTest::newRow("justUnderAnHour") << qint64(3599999) << "00:59:59";
    QTest::newRow("hundredHours") << qint64(360000000) << "100:00:00";
    QTest::newRow("negative") << qint64(-3665000) << "-01:-01:-05";
}

void TestSerie::msToStrHms()
{
    QFETCH(qint64, ms);
    QFETCH(QString, text);
    QCOMPARE(TSerie::msToStrHms(ms), text);
}

void TestSerie::timing_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::newRow("runCreditedWithLapsUpToLastPoint")
        << words("on run t=12000 +  lap=00:00 credited=12000 t=20000 d1 credited=20000 "
                 "t=31000 tick lap=00:11 reset=20000 paused=0 lap=00:00 points=-- t=33000 tick lap=00:02");
    QTest::newRow("runWithoutPointCreditedWithWholeLap") << words("on run t=9000 reset=9000 paused=0");
    QTest::newRow("timingOffHandsOverNothing")
        << words("t=40000 d5 reset=0 lap=00:00 paused=1 credited=0");
    QTest::newRow("enablingShowsZeroPaused") << words("on lap=00:00 paused=1 t=5000 tick lap=00:00");
    QTest::newRow("enablingAgainWhileRunningStartsAfresh")
        << words("on run t=7000 + t=9000 on paused=1 credited=0 lap=00:00 t=20000 reset=0");
    QTest::newRow("disablingClearsLapLabel") << words("on run t=3000 off lap= paused=1 credited=0");
    QTest::newRow("pauseWhileOffDoesNothing") << words("run paused=1 lap= t=5000 pause lap=");
    QTest::newRow("pausedTimeNotCounted")
        << words("on run t=4000 pause t=60000 run t=61000 + credited=5000");
    QTest::newRow("pointWhilePausedCreditsAndStaysPaused")
        << words("on run t=4000 pause t=10000 + paused=1 credited=4000 lap=00:00");
    QTest::newRow("removingPointsTakesNoLap")
        << words("on run t=3000 + t=8000 - < credited=3000 tick lap=00:05");
    QTest::newRow("zeroLapKeepsCredited")
        << words("on run t=12000 + t=15000 zero credited=12000 lap=00:00 paused=0 t=16000 reset=12000");
    QTest::newRow("zeroAllDropsCredited")
        << words("on run t=12000 + t=15000 zeroall credited=0 lap=00:00 t=16500 reset=1500");
    QTest::newRow("zeroWhileOffDoesNothing") << words("t=3000 zeroall lap= paused=1");
    QTest::newRow("zeroWhilePausedStaysPaused") << words("on run t=3000 pause zero paused=1 lap=00:00");
    QTest::newRow("resetWhilePausedStaysPaused")
        << words("on run t=3000 + t=5000 pause reset=3000 paused=1 t=9000 tick lap=00:00");
    QTest::newRow("lapRunsOnIntoNextPlayersRun")
        << words("on run t=3000 reset=3000 t=10000 reset=7000 t=10500 + t=11000 reset=500");
}

void TestSerie::timing()
{
    QFETCH(QStringList, steps);
    Rig rig;
    play(rig, steps);
}

void TestSerie::timerTick_refreshesLapLabel()
{
    Rig rig;
    play(rig, words("on run"));
    rig.clock.now += 65000;
    QCOMPARE(rig.lap.text(), QStringLiteral("00:00"));
    // A real tick of the timer rather than a direct call, to check it is wired to the
    // label; the interval is shortened so the test does not wait for real time.
    rig.serie->timer()->setInterval(0);
    QTRY_COMPARE(rig.lap.text(), QStringLiteral("01:05"));
}

QTEST_MAIN(TestSerie)
#include "tst_serie.moc"
