#pragma once
// The shot clock of a timed match: the seconds left for the shot in progress, on the same
// injectable monotonic clock as the run's stopwatch. It never ends an inning by itself;
// it only tells when the warning starts and when the time is up, once each per shot.
#include "Feuille2_serie.h"

#include <QtGlobal>

class ShotClock {
public:
    explicit ShotClock(MonotonicClock clock = systemMonotonicClock());

    // Seconds per shot (0 = off), seconds left at which the warning starts (0 = no
    // warning), extensions per player per match.
    void configure(qint32 secondsPerShot, qint32 warningAt, qint32 extensionsPerPlayer);
    bool active() const { return m_perShot > 0; }

    // A new shot: the full allowance again, running or paused as before.
    void restart();
    void pause();
    void resume();
    bool isPaused() const { return !m_watch.isRunning(); }

    qint64 msLeft() const;         // never below 0
    qint32 secondsLeft() const;    // whole seconds, rounded up: 9.2 s left shows 10
    bool inWarning() const;        // from the warning threshold down to 0
    bool expired() const { return active() && msLeft() == 0; }

    enum Event { NoEvent = 0, WarningStarted = 1, Expired = 2 };
    // What happened since the last poll; the warning and the expiry are each reported once
    // per shot (again after an extension, which gives the shot time back).
    int poll();

    // The player to play calls an extension: "TempsCoup" seconds more for this shot, once
    // per shot, while they have one left and the time is not up yet.
    bool extend(int player);
    bool extendedThisShot() const { return m_extended; }
    qint32 extensionsUsed(int player) const { return m_used[player & 1]; }
    qint32 extensionsLeft(int player) const;
    void setExtensionsUsed(int player, qint32 used);
    void resetExtensions();        // a new match

private:
    TStopwatch m_watch;
    qint32 m_perShot = 0;
    qint32 m_warningAt = 0;
    qint32 m_extensions = 0;
    qint64 m_allowanceMs = 0;
    bool m_extended = false;
    bool m_warned = false;
    bool m_expiredReported = false;
    qint32 m_used[2] = {0, 0};
};
