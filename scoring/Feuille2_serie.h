#pragma once
// TSerie: the run being entered by the player to play, its points and, with timing on,
// its lap stopwatch. TEnrSerie: what a finished run hands over to the sheet.
#include <QString>
#include <QtGlobal>
#include <functional>

class QLabel;
class QTimer;

struct TEnrSerie {
    qint32 pointsSerie = 0;
    qint64 msecsSerie = 0;
};

// Monotonic milliseconds; tests inject their own so time passes without sleeping.
using MonotonicClock = std::function<qint64()>;
MonotonicClock systemMonotonicClock();

// Start/stop/reset/elapsed whole milliseconds, read from a monotonic clock.
class TStopwatch {
public:
    explicit TStopwatch(MonotonicClock clock = systemMonotonicClock());
    void start();            // no effect when running
    void stop();             // keeps the elapsed time
    void reset();            // stops, elapsed := 0
    qint64 elapsedMs() const;
    bool isRunning() const { return m_running; }

private:
    MonotonicClock m_clock;
    bool m_running = false;
    qint64 m_startedAt = 0;
    qint64 m_accumulated = 0;
};

class TSerie {
public:
    TSerie(QLabel *labelSerie, QLabel *labelchrono, MonotonicClock clock = systemMonotonicClock());
    virtual ~TSerie();
    TSerie(const TSerie &) = delete;
    TSerie &operator=(const TSerie &) = delete;

    void AddCharValue(QChar toAdd); // throws AppError for a character that is not a digit
    void DecCharValue();
    void AddValue1();
    void DecValue1();
    static QString msToStrMs(qint64 ms);
    static QString msToStrHms(qint64 ms);
    void SetZeroChrono(bool TouteSerie);
    TEnrSerie Reset();

    qint32 Points() const { return fPoints; }
    bool EnabledChrono() const { return fEnabledChrono; }
    void setEnabledChrono(bool value);
    bool PausedChrono() const;
    void setPausedChrono(bool value);

    // The tick handler of the 900 ms timer; public so tests can tick without waiting.
    void ShowChrono();
    QTimer *timer() const { return Timer; }
    qint64 creditedMs() const { return fMilisecondesSerie; }
    qint64 lapMs() const { return chrono.elapsedMs(); } // the lap the label shows, to the ms

    // Optional hooks for the match rules and the shot clock; unset, the run behaves as it
    // always did. allowPoints is asked before a digit or a +1 with the run's new points
    // and may refuse them (nothing happens then, not even a lap); onLapRestart runs
    // whenever the lap starts again from zero; onPausedChanged whenever the stopwatch
    // stops or starts.
    std::function<bool(qint64 newPoints)> allowPoints;
    std::function<void()> onLapRestart;
    std::function<void(bool paused)> onPausedChanged;

private:
    QLabel *lblSerie;
    QLabel *lblChrono;
    qint32 fPoints = 0;
    bool fEnabledChrono = false;
    TStopwatch chrono;
    QTimer *Timer;
    qint64 fMilisecondesSerie = 0;

    void ShowPoints();
    void SetPoints(qint32 value);
    void LapChrono();
};
