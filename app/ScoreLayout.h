#pragma once
// The scoreboard's sizes from the background's size. Rounding is to nearest, ties to even.
namespace ScoreLayout {

double roundHalfEven(double v);

struct Sizes {
    int A = 0; // width of each side column      = Round(W * 0.4)
    int B = 0; // height of each player panel     = Round(H * 0.5)
    int C = 0; // height of the run panel         = Round(B * 0.5)
    int D = 0; // height of the small labels      = Round(C * 0.5)
    int E = 0; // font size of totals and innings = Round(C * 0.8)
    int F = 0; // font size of small labels       = Round(D * 0.8)
    double centreTopPadding = 0; // B / 4
    double runFontSize = 0;      // E * 0.8
};
Sizes compute(double W, double H);

// The run panel and its three buttons, from the left column's and centre column's widths
// (the centre read after the side columns took width A).
struct RunPanel {
    int width = 0;      // Round(centreWidth * 1.3)
    int height = 0;     // C
    double X = 0, Y = 0;
    double decX = 0, decY = 0; // btnDec   at (-X, Y)
    double addX = 0, addY = 0; // btnAdd   at (width + X - addWidth, Y)
    double setX = 0, setY = 0; // btnSetSerie at (addX + X + decWidth, Y)
};
RunPanel runPanel(double leftWidth, double centreWidth, int C, double decWidth = 48,
                  double addWidth = 48);
}

#include <QFont>
#include <QSize>
#include <QString>

namespace ScoreLayout {
// The largest pixel size from minPx to maxPx at which `text` in `font` fits `room` on one
// line (its advance no wider, its line no taller), or minPx when none does.
int fittedPixelSize(const QFont &font, const QString &text, QSize room, int maxPx, int minPx = 1);
// The free space kept on each side of a text that is fitted into its room, so that its
// glyphs never touch the edges of a panel or a column.
int fitMargin(int maxPx);
}
