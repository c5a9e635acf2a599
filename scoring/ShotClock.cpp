#include "ShotClock.h"

#include <algorithm>

ShotClock::ShotClock(MonotonicClock clock) : m_watch(std::move(clock)) {}

void ShotClock::configure(qint32 secondsPerShot, qint32 warningAt, qint32 extensionsPerPlayer)
{
    m_perShot = std::max(0, secondsPerShot);
    m_warningAt = std::max(0, warningAt);
    m_extensions = std::max(0, extensionsPerPlayer);
    restart();
}

void ShotClock::restart()
{
    const bool running = m_watch.isRunning();
    m_watch.reset();
    if (running)
        m_watch.start();
    m_allowanceMs = qint64(m_perShot) * 1000;
    m_extended = false;
    m_warned = false;
    m_expiredReported = false;
}

void ShotClock::pause() { m_watch.stop(); }
void ShotClock::resume() { m_watch.start(); }

qint64 ShotClock::msLeft() const
{
    return std::max<qint64>(0, m_allowanceMs - m_watch.elapsedMs());
}

qint32 ShotClock::secondsLeft() const
{
    return qint32((msLeft() + 999) / 1000);
}

bool ShotClock::inWarning() const
{
    return active() && m_warningAt > 0 && msLeft() <= qint64(m_warningAt) * 1000;
}

int ShotClock::poll()
{
    if (!active())
        return NoEvent;
    int ev = NoEvent;
    if (expired()) {
        if (!m_expiredReported)
            ev |= Expired;
        m_expiredReported = true;
        m_warned = true; // a shot that jumps past the warning straight to 0 gets one sound
    } else if (inWarning() && !m_warned) {
        ev |= WarningStarted;
        m_warned = true;
    }
    return ev;
}

bool ShotClock::extend(int player)
{
    player &= 1;
    if (!active() || m_extended || expired() || extensionsLeft(player) <= 0)
        return false;
    m_allowanceMs += qint64(m_perShot) * 1000;
    ++m_used[player];
    m_extended = true;
    m_warned = inWarning(); // the warning sounds again as the extended time runs out
    return true;
}

qint32 ShotClock::extensionsLeft(int player) const
{
    return std::max(0, m_extensions - m_used[player & 1]);
}

void ShotClock::setExtensionsUsed(int player, qint32 used)
{
    m_used[player & 1] = std::max(0, used);
}

void ShotClock::resetExtensions()
{
    m_used[0] = m_used[1] = 0;
}
