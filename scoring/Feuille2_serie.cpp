#include "Feuille2_serie.h"
#include "IntConv.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QTimer>
#include <limits>

MonotonicClock systemMonotonicClock()
{
    // One shared origin is enough: only differences of readings are ever used.
    static QElapsedTimer origin = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return [] { return origin.elapsed(); };
}

// --- TStopwatch --------------------------------------------------------------------

TStopwatch::TStopwatch(MonotonicClock clock) : m_clock(std::move(clock)) {}

void TStopwatch::start()
{
    if (m_running)
        return;
    m_startedAt = m_clock();
    m_running = true;
}

void TStopwatch::stop()
{
    if (!m_running)
        return;
    m_accumulated = elapsedMs();
    m_running = false;
}

void TStopwatch::reset()
{
    m_running = false;
    m_accumulated = 0;
    m_startedAt = 0;
}

qint64 TStopwatch::elapsedMs() const
{
    if (!m_running)
        return m_accumulated;
    const qint64 delta = m_clock() - m_startedAt;
    // A clock that steps back must not make a lap negative.
    return m_accumulated + (delta > 0 ? delta : 0);
}

// --- TSerie --------------------------------------------------------------------------

TSerie::TSerie(QLabel *labelSerie, QLabel *labelchrono, MonotonicClock clock)
    : lblSerie(labelSerie), lblChrono(labelchrono), chrono(std::move(clock)), Timer(new QTimer)
{
    // 900 ms rather than a full second so the seconds shown never skip a value.
    Timer->setInterval(900);
    QObject::connect(Timer, &QTimer::timeout, Timer, [this] { ShowChrono(); });
    setEnabledChrono(false);
}

TSerie::~TSerie()
{
    delete Timer;
}

void TSerie::ShowPoints()
{
    if (!lblSerie)
        return;
    lblSerie->setText(fPoints < 1 ? QStringLiteral("--") : QString::number(fPoints));
}

void TSerie::SetPoints(qint32 value)
{
    fPoints = value <= 0 ? 0 : value;
    ShowPoints();
}

void TSerie::AddCharValue(QChar toAdd)
{
    if (allowPoints && toAdd.isDigit()
        && !allowPoints(qint64(fPoints) * 10 + toAdd.digitValue()))
        return;
    LapChrono();
    // One character converts only when it is a decimal digit; anything else throws.
    const qint64 digit = strToInt(QString(toAdd));
    const qint64 grown = qint64(fPoints) * 10 + digit;
    // A run past the 32-bit range cannot be stored in the sheet: such a digit is ignored
    // rather than wrapping the points into a nonsense value.
    if (grown > std::numeric_limits<qint32>::max())
        return;
    SetPoints(qint32(grown));
}

void TSerie::DecCharValue()
{
    SetPoints(fPoints / 10);
}

void TSerie::AddValue1()
{
    if (allowPoints && !allowPoints(qint64(fPoints) + 1))
        return;
    LapChrono();
    if (fPoints == std::numeric_limits<qint32>::max())
        return;
    SetPoints(fPoints + 1);
}

void TSerie::DecValue1()
{
    SetPoints(fPoints - 1);
}

static QString twoDigits(qint64 v)
{
    // "%.2d": at least two digits, zero-filled after the sign, never cut.
    const QString digits = QString::number(v < 0 ? -v : v).rightJustified(2, QLatin1Char('0'));
    return v < 0 ? QLatin1Char('-') + digits : digits;
}

QString TSerie::msToStrMs(qint64 ms)
{
    const qint64 s = ms / 1000;
    return twoDigits(s / 60) + QLatin1Char(':') + twoDigits(s % 60);
}

QString TSerie::msToStrHms(qint64 ms)
{
    const qint64 h = ms / 3600000;
    const qint64 r = (ms % 3600000) / 1000;
    return twoDigits(h) + QLatin1Char(':') + twoDigits(r / 60) + QLatin1Char(':') + twoDigits(r % 60);
}

void TSerie::ShowChrono()
{
    if (lblChrono)
        lblChrono->setText(msToStrMs(chrono.elapsedMs()));
}

void TSerie::setEnabledChrono(bool value)
{
    // Every write starts timing afresh, even when the value does not change.
    fEnabledChrono = value;
    chrono.reset();
    Timer->stop();
    fMilisecondesSerie = 0;
    if (lblChrono)
        lblChrono->setText(value ? QStringLiteral("00:00") : QString());
    if (onPausedChanged)
        onPausedChanged(true);
    if (onLapRestart)
        onLapRestart();
}

bool TSerie::PausedChrono() const
{
    return !chrono.isRunning();
}

void TSerie::setPausedChrono(bool value)
{
    if (!fEnabledChrono)
        return;
    if (value) {
        chrono.stop();
        Timer->stop();
    } else {
        chrono.start();
        Timer->start();
    }
    if (onPausedChanged)
        onPausedChanged(value);
    ShowChrono();
}

void TSerie::LapChrono()
{
    if (!fEnabledChrono)
        return;
    const bool wasPaused = PausedChrono();
    if (!wasPaused)
        setPausedChrono(true);
    fMilisecondesSerie += chrono.elapsedMs();
    chrono.reset();
    if (onLapRestart)
        onLapRestart();
    if (!wasPaused)
        setPausedChrono(false);
    ShowChrono();
}

void TSerie::SetZeroChrono(bool TouteSerie)
{
    if (!fEnabledChrono)
        return;
    const bool wasPaused = PausedChrono();
    if (!wasPaused)
        setPausedChrono(true);
    chrono.reset();
    if (onLapRestart)
        onLapRestart();
    if (TouteSerie)
        fMilisecondesSerie = 0;
    if (!wasPaused)
        setPausedChrono(false);
    ShowChrono();
}

TEnrSerie TSerie::Reset()
{
    TEnrSerie result;
    result.pointsSerie = fPoints;
    if (fEnabledChrono) {
        const bool wasPaused = PausedChrono();
        if (!wasPaused)
            setPausedChrono(true);
        // A run validated before any point was added is credited with its whole lap.
        if (fMilisecondesSerie == 0)
            fMilisecondesSerie = chrono.elapsedMs();
        result.msecsSerie = fMilisecondesSerie;
        chrono.reset();
        fMilisecondesSerie = 0;
        if (onLapRestart)
            onLapRestart();
        if (!wasPaused)
            setPausedChrono(false);
    } else {
        result.msecsSerie = 0;
    }
    ShowChrono();
    SetPoints(0);
    return result;
}
