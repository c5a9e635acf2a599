#include "ScoreLayout.h"

#include <cmath>
#include <limits>

namespace ScoreLayout {

double roundHalfEven(double v)
{
    if (!std::isfinite(v))
        return v;
    const double lower = std::floor(v);
    const double diff = v - lower;
    if (diff < 0.5)
        return lower;
    if (diff > 0.5)
        return lower + 1.0;
    // An exact half: the even neighbour.
    return std::fmod(lower, 2.0) == 0.0 ? lower : lower + 1.0;
}

namespace {
// Sizes come from a window, but a converted out-of-range double would be undefined.
int roundToInt(double v)
{
    const double r = roundHalfEven(v);
    if (!(r > double(std::numeric_limits<int>::min())))
        return std::numeric_limits<int>::min();
    if (r > double(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    return int(r);
}
} // namespace

Sizes compute(double W, double H)
{
    Sizes s;
    s.A = roundToInt(W * 0.4);
    s.B = roundToInt(H * 0.5);
    s.C = roundToInt(s.B * 0.5);
    s.D = roundToInt(s.C * 0.5);
    s.E = roundToInt(s.C * 0.8);
    s.F = roundToInt(s.D * 0.8);
    s.centreTopPadding = s.B / 4.0;
    s.runFontSize = s.E * 0.8;
    return s;
}

RunPanel runPanel(double leftWidth, double centreWidth, int C, double decWidth, double addWidth)
{
    RunPanel p;
    p.width = roundToInt(centreWidth * 1.3);
    p.height = C;
    p.X = (leftWidth + centreWidth - p.width) / 3.0;
    p.Y = p.height / 2.0;
    p.decX = -p.X;
    p.decY = p.Y;
    p.addX = p.width + p.X - addWidth;
    p.addY = p.Y;
    p.setX = p.addX + p.X + decWidth;
    p.setY = p.Y;
    return p;
}

} // namespace ScoreLayout

#include <QFontMetricsF>

namespace ScoreLayout {

namespace {
bool fits(QFont font, const QString &text, QSize room, int px)
{
    font.setPixelSize(px);
    const QFontMetricsF fm(font);
    return fm.horizontalAdvance(text) <= room.width() && fm.height() <= room.height();
}
} // namespace

int fittedPixelSize(const QFont &font, const QString &text, QSize room, int maxPx, int minPx)
{
    minPx = qMax(1, minPx);
    if (maxPx <= minPx)
        return qMax(1, maxPx);
    if (fits(font, text, room, maxPx))
        return maxPx;
    // The advance and the line height grow with the size: the largest size that fits is
    // found by halving the interval.
    int lo = minPx, hi = maxPx; // fits(lo) is assumed, fits(hi) is false
    if (!fits(font, text, room, lo))
        return minPx;
    while (hi - lo > 1) {
        const int mid = lo + (hi - lo) / 2;
        (fits(font, text, room, mid) ? lo : hi) = mid;
    }
    return lo;
}

int fitMargin(int maxPx)
{
    return 1 + maxPx / 16;
}

} // namespace ScoreLayout
