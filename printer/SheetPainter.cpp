#include "SheetPainter.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>
#include <QTextOption>

#include <algorithm>

using PrintSheet::Sheet;

namespace SheetPainter {

namespace {

// Page space, in tenths of a millimetre.
constexpr qreal PageWidth = 1800;
constexpr qreal FirstTableTop = 400;
constexpr qreal NextTableTop = 130;
constexpr qreal FooterReserve = 100;
constexpr qreal GroupHeaderHeight = 62;
constexpr qreal SubHeaderHeight = 50;
constexpr qreal TableHeaderHeight = GroupHeaderHeight + SubHeaderHeight;
constexpr qreal RowHeight = 52;
constexpr qreal SummaryGap = 80;
constexpr qreal SummaryTitleHeight = 80;
constexpr qreal SummaryRowHeight = 62;
constexpr int SummaryLines = 4;
// Under the result, the boxes in which both players and the referee sign the sheet.
constexpr qreal SignatureGap = 60;
constexpr qreal SignatureCaptionHeight = 40;
constexpr qreal SignatureBoxHeight = 170;
constexpr qreal SignatureBoxGap = 40;
constexpr qreal SignatureHeight = SignatureCaptionHeight + SignatureBoxHeight;
constexpr int MatchLines = 3; // distance, match points, two best runs
constexpr qreal RulesLineHeight = 50;

qreal summaryHeight(const Sheet &sheet)
{
    const int lines = SummaryLines + (sheet.match ? MatchLines : 0);
    return SummaryTitleHeight + (sheet.match ? RulesLineHeight : 0) + SummaryRowHeight * (1 + lines);
}

qreal resultHeight(const Sheet &sheet)
{
    return summaryHeight(sheet) + SignatureGap + SignatureHeight;
}

constexpr qreal InningColumn = 240;
constexpr qreal PlayerColumn = (PageWidth - InningColumn) / 2; // points + running total
constexpr qreal SummaryLabelColumn = 600;

const QColor Ink(0x1E, 0x1E, 0x1E);
const QColor Muted(0x6B, 0x6B, 0x6B);
const QColor Frame(0x9E, 0x9E, 0x9E);
const QColor Hairline(0xDA, 0xDA, 0xDA);
const QColor Band(0xF4, 0xF4, 0xF4);
const QColor HeaderFill(0xE8, 0xE8, 0xE8);
// The white and the yellow ball, as on the scoreboard; tints of them mark each player's columns.
const QColor Ball1(0xF4, 0xED, 0xED);
const QColor Ball1Edge(0x8C, 0x8C, 0x8C);
const QColor Ball2(0xE5, 0xE5, 0x4F);
const QColor Ball2Edge(0xA8, 0x9E, 0x1E);
const QColor Tint1(0xEE, 0xEA, 0xEA);
const QColor Tint2(0xF7, 0xF4, 0xC8);

QFont sheetFont(int pixels, bool bold = false)
{
    QFont f;
    f.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("Segoe UI"), QStringLiteral("Arial"),
                   QStringLiteral("Helvetica")});
    f.setStyleHint(QFont::SansSerif);
    f.setHintingPreference(QFont::PreferNoHinting); // metrics scale linearly with the page
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}

qreal pageHeight(const QSizeF &page)
{
    return page.height() * PageWidth / page.width();
}

QString playerName(const Sheet &sheet, int player)
{
    const QString &name = player == 1 ? sheet.name1 : sheet.name2;
    return name.isEmpty() ? QStringLiteral("Joueur %1").arg(player) : name;
}

void text(QPainter &p, const QRectF &r, const QString &s, int flags, const QFont &font, const QColor &color)
{
    p.setFont(font);
    p.setPen(color);
    p.drawText(r, flags | Qt::TextSingleLine, s);
}

struct FittedText {
    QFont font;
    QStringList lines;
    qreal lineSpacing = 0;
};

QStringList wrapped(const QString &s, const QFont &font, qreal width, QPaintDevice *device)
{
    QTextLayout layout(s, font, device);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QStringList lines;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        lines << s.mid(line.textStart(), line.textLength()).trimmed();
    }
    layout.endLayout();
    return lines;
}

// The lines a text is drawn in, and their font: one line at the largest size from maxPx down
// to minPx that fits the box, else wrapped lines at the largest size whose lines the box
// holds. Nothing is ever cut: past the smallest size the text still gets all its lines.
FittedText fitText(const QString &s, const QSizeF &box, int maxPx, int minPx, bool bold, QPaintDevice *device)
{
    constexpr int SmallestPx = 8;
    for (int px = maxPx; px >= minPx; --px) {
        const QFont font = sheetFont(px, bold);
        const QFontMetricsF fm(font, device);
        if (fm.horizontalAdvance(s) <= box.width() && fm.height() <= box.height())
            return {font, {s}, fm.lineSpacing()};
    }
    for (int px = qMin(minPx, maxPx); px >= SmallestPx; --px) {
        const QFont font = sheetFont(px, bold);
        const QFontMetricsF fm(font, device);
        const QStringList lines = wrapped(s, font, box.width(), device);
        if (lines.size() * fm.lineSpacing() - fm.leading() <= box.height() || px == SmallestPx)
            return {font, lines, fm.lineSpacing()};
    }
    const QFont font = sheetFont(SmallestPx, bold);
    return {font, wrapped(s, font, box.width(), device), QFontMetricsF(font, device).lineSpacing()};
}

// The lines of `t` stacked and centred as a block in `r` on the vertical, each aligned by
// `hAlign` (Qt::AlignLeft, Qt::AlignRight or Qt::AlignHCenter).
void drawFitted(QPainter &p, const QRectF &r, const FittedText &t, int hAlign, const QColor &color)
{
    const qreal block = t.lines.size() * t.lineSpacing;
    qreal y = r.center().y() - block / 2;
    for (const QString &line : t.lines) {
        text(p, QRectF(r.left(), y, r.width(), t.lineSpacing), line, hAlign | Qt::AlignVCenter, t.font, color);
        y += t.lineSpacing;
    }
}

qreal widest(const FittedText &t, QPaintDevice *device)
{
    const QFontMetricsF fm(t.font, device);
    qreal w = 0;
    for (const QString &line : t.lines)
        w = std::max(w, fm.horizontalAdvance(line));
    return w;
}

void ball(QPainter &p, const QPointF &centre, qreal diameter, int player)
{
    p.setPen(QPen(player == 1 ? Ball1Edge : Ball2Edge, diameter / 14));
    p.setBrush(player == 1 ? Ball1 : Ball2);
    p.drawEllipse(centre, diameter / 2, diameter / 2);
    p.setBrush(Qt::NoBrush);
}

// A ball followed by the player's whole name, the pair centred in `r`.
void ballAndName(QPainter &p, const QRectF &r, const Sheet &sheet, int player, int px)
{
    const qreal d = QFontMetricsF(sheetFont(px, true), p.device()).ascent() * 0.9;
    const qreal gap = d * 0.5;
    const FittedText name = fitText(playerName(sheet, player), QSizeF(r.width() - d - gap - 30, r.height() - 6), px,
                                    px * 2 / 3, true, p.device());
    const qreal w = d + gap + widest(name, p.device());
    const qreal x = r.center().x() - w / 2;
    ball(p, QPointF(x + d / 2, r.center().y()), d, player);
    drawFitted(p, QRectF(x + d + gap, r.top(), w - d - gap, r.height()), name, Qt::AlignLeft, Ink);
}

void hline(QPainter &p, qreal x1, qreal x2, qreal y, const QColor &c, qreal width)
{
    p.setPen(QPen(c, width, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(QPointF(x1, y), QPointF(x2, y));
}

void vline(QPainter &p, qreal x, qreal y1, qreal y2, const QColor &c, qreal width)
{
    p.setPen(QPen(c, width, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(QPointF(x, y1), QPointF(x, y2));
}

void paintFirstHeader(QPainter &p, const Sheet &sheet)
{
    text(p, QRectF(0, 0, PageWidth, 100), QStringLiteral("Feuille de match"), Qt::AlignLeft | Qt::AlignBottom,
         sheetFont(78, true), Ink);
    if (!sheet.date.isEmpty())
        text(p, QRectF(900, 0, PageWidth - 900, 96), sheet.date, Qt::AlignRight | Qt::AlignBottom, sheetFont(40), Ink);
    text(p, QRectF(900, 0, PageWidth - 900, 46), QStringLiteral("Date et heure"), Qt::AlignRight | Qt::AlignBottom,
         sheetFont(26), Muted);
    hline(p, 0, PageWidth, 122, Ink, 6);

    const qreal top = 170, height = 180, gap = 40;
    const qreal width = (PageWidth - gap) / 2;
    for (int player = 1; player <= 2; ++player) {
        const QRectF card(player == 1 ? 0 : width + gap, top, width, height);
        p.setPen(QPen(Frame, 3));
        p.setBrush(player == 1 ? Tint1 : Tint2);
        p.drawRoundedRect(card, 18, 18);
        p.setBrush(Qt::NoBrush);
        const qreal d = 86;
        ball(p, QPointF(card.left() + 40 + d / 2, card.center().y()), d, player);
        const QRectF inner(card.left() + 40 + d + 36, card.top() + 22, card.width() - d - 110, card.height() - 44);
        text(p, QRectF(inner.left(), inner.top(), inner.width(), 44), QStringLiteral("Joueur %1").arg(player),
             Qt::AlignLeft | Qt::AlignVCenter, sheetFont(30), Muted);
        // A long name first gets a smaller type, then a second line: it is never cut.
        const QRectF nameBox(inner.left(), inner.top() + 44, inner.width(), inner.height() - 44);
        drawFitted(p, nameBox, fitText(playerName(sheet, player), nameBox.size(), 58, 40, true, p.device()),
                   Qt::AlignLeft, Ink);
    }
}

void paintNextHeader(QPainter &p, const Sheet &sheet)
{
    text(p, QRectF(0, 0, PageWidth, 76), QStringLiteral("Feuille de match (suite)"), Qt::AlignLeft | Qt::AlignBottom,
         sheetFont(48, true), Ink);
    const QRectF names(PageWidth / 2, 0, PageWidth / 2, 86);
    drawFitted(p, names,
               fitText(playerName(sheet, 1) + QStringLiteral(" – ") + playerName(sheet, 2), names.size(), 32, 22,
                       false, p.device()),
               Qt::AlignRight, Muted);
    hline(p, 0, PageWidth, 92, Ink, 4);
}

void paintFooter(QPainter &p, const Sheet &sheet, qreal height, int pageIndex, int pages)
{
    const qreal y = height - 58;
    hline(p, 0, PageWidth, y, Hairline, 3);
    const QFont font = sheetFont(26);
    QString left = QStringLiteral("Zelvano – feuille de match");
    if (!sheet.date.isEmpty())
        left += QStringLiteral(" du ") + sheet.date;
    text(p, QRectF(0, y, PageWidth * 0.7, height - y), left, Qt::AlignLeft | Qt::AlignBottom, font, Muted);
    text(p, QRectF(PageWidth * 0.7, y, PageWidth * 0.3, height - y),
         QStringLiteral("Page %1 / %2").arg(pageIndex + 1).arg(pages), Qt::AlignRight | Qt::AlignBottom, font, Muted);
}

// Returns the bottom of the table.
qreal paintTable(QPainter &p, const Sheet &sheet, qreal top, const PageSpan &span)
{
    const qreal x1 = InningColumn, x2 = InningColumn + PlayerColumn;
    const qreal half = PlayerColumn / 2;

    // Header: the inning column spans both header rows; each player has a group of two.
    p.setPen(Qt::NoPen);
    p.fillRect(QRectF(0, top, InningColumn, TableHeaderHeight), HeaderFill);
    p.fillRect(QRectF(x1, top, PlayerColumn, TableHeaderHeight), Tint1);
    p.fillRect(QRectF(x2, top, PlayerColumn, TableHeaderHeight), Tint2);
    text(p, QRectF(0, top, InningColumn, TableHeaderHeight), QStringLiteral("Reprise"), Qt::AlignCenter,
         sheetFont(32, true), Ink);
    for (int player = 1; player <= 2; ++player) {
        const qreal x = player == 1 ? x1 : x2;
        ballAndName(p, QRectF(x, top, PlayerColumn, GroupHeaderHeight), sheet, player, 34);
        const qreal sy = top + GroupHeaderHeight;
        text(p, QRectF(x, sy, half, SubHeaderHeight), QStringLiteral("Points"), Qt::AlignCenter, sheetFont(28), Muted);
        text(p, QRectF(x + half, sy, half, SubHeaderHeight), QStringLiteral("Cumul"), Qt::AlignCenter, sheetFont(28),
             Muted);
        hline(p, x + 20, x + PlayerColumn - 20, sy, Frame, 2);
    }

    // Running totals up to this page's first row.
    qint64 cum1 = 0, cum2 = 0;
    for (int i = 0; i < span.firstRow && i < sheet.innings.size(); ++i) {
        cum1 += sheet.innings[i].pts1.value_or(0);
        cum2 += sheet.innings[i].pts2.value_or(0);
    }

    const qreal bodyTop = top + TableHeaderHeight;
    const QFont plain = sheetFont(36), bold = sheetFont(36, true), number = sheetFont(32);
    qreal y = bodyTop;
    for (int i = span.firstRow; i < span.firstRow + span.rowCount; ++i, y += RowHeight) {
        const PrintSheet::Inning &inning = sheet.innings[i];
        if ((i - span.firstRow) % 2 == 1)
            p.fillRect(QRectF(0, y, PageWidth, RowHeight), Band);
        text(p, QRectF(0, y, InningColumn, RowHeight), QString::number(i + 1), Qt::AlignCenter, number, Muted);
        for (int player = 1; player <= 2; ++player) {
            const std::optional<qint32> pts = PrintSheet::points(inning, player);
            if (!pts)
                continue; // not played: both cells stay empty
            qint64 &cum = player == 1 ? cum1 : cum2;
            cum += *pts;
            const qreal x = player == 1 ? x1 : x2;
            text(p, QRectF(x, y, half, RowHeight), QString::number(*pts), Qt::AlignCenter, plain, Ink);
            text(p, QRectF(x + half, y, half, RowHeight), QString::number(cum), Qt::AlignCenter, bold, Ink);
        }
        hline(p, 0, PageWidth, y + RowHeight, Hairline, 2);
    }
    if (span.rowCount == 0 && sheet.innings.isEmpty()) {
        text(p, QRectF(0, y, PageWidth, RowHeight), QStringLiteral("Aucune reprise"), Qt::AlignCenter, plain, Muted);
        y += RowHeight;
    }

    // Column rules, then the frame and the header's bottom rule on top of them.
    vline(p, x1 + half, bodyTop, y, Hairline, 2);
    vline(p, x2 + half, bodyTop, y, Hairline, 2);
    vline(p, x1, top, y, Frame, 3);
    vline(p, x2, top, y, Frame, 4);
    hline(p, 0, PageWidth, bodyTop, Ink, 4);
    p.setPen(QPen(Frame, 3));
    p.drawRect(QRectF(0, top, PageWidth, y - top));
    return y;
}

// One line cut with an ellipsis where it is wider than its box.
void elidedText(QPainter &p, const QRectF &r, const QString &s, int flags, const QFont &font, const QColor &color)
{
    const QFontMetricsF fm(font, p.device());
    text(p, r, fm.elidedText(s, Qt::ElideRight, r.width()), flags, font, color);
}

void paintSummary(QPainter &p, const Sheet &sheet, qreal top)
{
    const PrintSheet::MatchInfo *match = sheet.match ? &*sheet.match : nullptr;
    QString title = QStringLiteral("Résultat");
    if (match && !match->result.isEmpty())
        title += QStringLiteral(" : ") + match->result;
    elidedText(p, QRectF(0, top, PageWidth, SummaryTitleHeight - 12), title, Qt::AlignLeft | Qt::AlignBottom,
               sheetFont(46, true), Ink);
    qreal tableTop = top + SummaryTitleHeight;
    if (match) {
        // The rules the match was played under, on one line under the title.
        QStringList rules;
        if (!match->discipline.isEmpty())
            rules << match->discipline;
        rules << (match->limiteReprises > 0 ? QStringLiteral("limite de %1 reprises").arg(match->limiteReprises)
                                             : QStringLiteral("sans limite de reprises"));
        if (match->distance[0] > 0 || match->distance[1] > 0)
            rules << (match->egalisation ? QStringLiteral("reprise d'égalisation jouée")
                                         : QStringLiteral("sans reprise d'égalisation"));
        elidedText(p, QRectF(0, tableTop, PageWidth, RulesLineHeight - 8), rules.join(QStringLiteral(" · ")),
                   Qt::AlignLeft | Qt::AlignVCenter, sheetFont(32), Muted);
        tableTop += RulesLineHeight;
    }
    const qreal column = (PageWidth - SummaryLabelColumn) / 2;
    const PrintSheet::PlayerSummary s[2] = {PrintSheet::summarize(sheet, 1), PrintSheet::summarize(sheet, 2)};

    p.fillRect(QRectF(0, tableTop, SummaryLabelColumn, SummaryRowHeight), HeaderFill);
    for (int player = 1; player <= 2; ++player) {
        const QRectF cell(SummaryLabelColumn + (player - 1) * column, tableTop, column, SummaryRowHeight);
        p.fillRect(cell, player == 1 ? Tint1 : Tint2);
        ballAndName(p, cell, sheet, player, 34);
    }

    struct Line {
        QString label;
        QString value[2];
        bool strong;
    };
    auto best = [](const PrintSheet::PlayerSummary &x) {
        return x.best ? QString::number(*x.best) : QStringLiteral("–");
    };
    QList<Line> lines = {
        {QStringLiteral("Points"), {QString::number(s[0].total), QString::number(s[1].total)}, true},
        {QStringLiteral("Reprises jouées"), {QString::number(s[0].played), QString::number(s[1].played)}, false},
        {QStringLiteral("Moyenne"),
         {PrintSheet::formatAverage(s[0].total, s[0].played), PrintSheet::formatAverage(s[1].total, s[1].played)},
         true},
        {QStringLiteral("Meilleure série"), {best(s[0]), best(s[1])}, false},
    };
    if (match) {
        auto distance = [](qint32 d) { return d > 0 ? QString::number(d) : QStringLiteral("–"); };
        auto two = [](const QString &runs) {
            const QStringList r = runs.split(QLatin1Char(' '), Qt::SkipEmptyParts);
            return r.isEmpty() ? QStringLiteral("–") : r.join(QStringLiteral(" – "));
        };
        lines.insert(0, {QStringLiteral("Distance"), {distance(match->distance[0]), distance(match->distance[1])}, false});
        lines.append({QStringLiteral("Deux meilleures séries"), {two(match->bestRuns[0]), two(match->bestRuns[1])}, false});
        lines.append({QStringLiteral("Points de match"),
                      {QString::number(match->matchPoints[0]), QString::number(match->matchPoints[1])}, true});
    }
    qreal y = tableTop + SummaryRowHeight;
    hline(p, 0, PageWidth, y, Ink, 4);
    for (const Line &line : lines) {
        text(p, QRectF(30, y, SummaryLabelColumn - 30, SummaryRowHeight), line.label, Qt::AlignLeft | Qt::AlignVCenter,
             sheetFont(34), Ink);
        for (int k = 0; k < 2; ++k)
            text(p, QRectF(SummaryLabelColumn + k * column, y, column, SummaryRowHeight), line.value[k], Qt::AlignCenter,
                 sheetFont(38, line.strong), Ink);
        y += SummaryRowHeight;
        if (&line != &lines.back())
            hline(p, 0, PageWidth, y, Hairline, 2);
    }
    vline(p, SummaryLabelColumn, tableTop, y, Frame, 3);
    vline(p, SummaryLabelColumn + column, tableTop, y, Frame, 4);
    p.setPen(QPen(Frame, 3));
    p.drawRect(QRectF(0, tableTop, PageWidth, y - tableTop));
}

// Three boxes side by side, as a club files a sheet: each player signs under his name, the
// referee under a line for his.
void paintSignatures(QPainter &p, const Sheet &sheet, qreal top)
{
    const qreal width = (PageWidth - 2 * SignatureBoxGap) / 3;
    const QString captions[3] = {QStringLiteral("Signature du joueur 1"), QStringLiteral("Signature du joueur 2"),
                                 QStringLiteral("Signature de l'arbitre")};
    for (int k = 0; k < 3; ++k) {
        const qreal x = k * (width + SignatureBoxGap);
        text(p, QRectF(x, top, width, SignatureCaptionHeight - 6), captions[k], Qt::AlignLeft | Qt::AlignBottom,
             sheetFont(28, true), Ink);
        const QRectF box(x, top + SignatureCaptionHeight, width, SignatureBoxHeight);
        p.setPen(QPen(Frame, 3));
        p.setBrush(Qt::NoBrush);
        p.drawRect(box);
        const QRectF nameLine(box.left() + 20, box.bottom() - 62, box.width() - 40, 54);
        if (k < 2) {
            if (k == 0)
                p.fillRect(QRectF(box.left() + 1.5, box.top() + 1.5, 10, box.height() - 3), Ball1Edge);
            else
                p.fillRect(QRectF(box.left() + 1.5, box.top() + 1.5, 10, box.height() - 3), Ball2Edge);
            drawFitted(p, nameLine, fitText(playerName(sheet, k + 1), nameLine.size(), 28, 20, false, p.device()),
                       Qt::AlignLeft, Muted);
        } else {
            text(p, nameLine, QStringLiteral("Nom :"), Qt::AlignLeft | Qt::AlignVCenter, sheetFont(28), Muted);
            hline(p, nameLine.left() + 90, nameLine.right(), nameLine.bottom() - 10, Hairline, 2);
        }
    }
}

} // namespace

QList<PageSpan> paginate(const Sheet &sheet, const QSizeF &page)
{
    QList<PageSpan> pages;
    if (!(page.width() > 0) || !(page.height() > 0))
        return pages;
    const qreal bottom = pageHeight(page) - FooterReserve;
    const int n = int(sheet.innings.size());
    int next = 0;
    for (;;) {
        const bool first = pages.isEmpty();
        const qreal top = first ? FirstTableTop : NextTableTop;
        // At least one row per page, so even an absurd page size comes to an end.
        const int capacity = std::max(1, int((bottom - top - TableHeaderHeight) / RowHeight));
        const int remaining = n - next;
        if (remaining > capacity) {
            pages.append({next, capacity, false});
            next += capacity;
            continue;
        }
        const int drawnRows = std::max(remaining, first ? 1 : 0); // "Aucune reprise" takes a row
        const qreal tableBottom = top + TableHeaderHeight + drawnRows * RowHeight;
        if (tableBottom + SummaryGap + resultHeight(sheet) <= bottom) {
            pages.append({next, remaining, true});
        } else {
            pages.append({next, remaining, false});
            pages.append({n, 0, true});
        }
        return pages;
    }
}

int pageCount(const Sheet &sheet, const QSizeF &page)
{
    return int(paginate(sheet, page).size());
}

void paintPage(QPainter &painter, const QRectF &page, const Sheet &sheet, int pageIndex)
{
    const QList<PageSpan> pages = paginate(sheet, page.size());
    if (pageIndex < 0 || pageIndex >= pages.size())
        return;
    const PageSpan &span = pages[pageIndex];

    painter.save();
    painter.translate(page.topLeft());
    painter.scale(page.width() / PageWidth, page.width() / PageWidth);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    const qreal height = pageHeight(page.size());

    qreal y;
    if (pageIndex == 0) {
        paintFirstHeader(painter, sheet);
        y = FirstTableTop;
    } else {
        paintNextHeader(painter, sheet);
        y = NextTableTop;
    }
    const bool summaryOnly = span.rowCount == 0 && pageIndex > 0; // the result alone
    if (!summaryOnly)
        y = paintTable(painter, sheet, y, span) + SummaryGap;
    if (span.summary) {
        paintSummary(painter, sheet, y);
        paintSignatures(painter, sheet, y + summaryHeight(sheet) + SignatureGap);
    }
    paintFooter(painter, sheet, height, pageIndex, int(pages.size()));
    painter.restore();
}

bool render(QPagedPaintDevice &device, const Sheet &sheet, int fromPage, int toPage)
{
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    const QRectF page(0, 0, device.width(), device.height());
    const int count = pageCount(sheet, page.size());
    const int first = fromPage > 0 ? fromPage - 1 : 0;
    const int last = (toPage > 0 ? std::min(toPage, count) : count) - 1;
    for (int i = first; i <= last; ++i) {
        if (i > first && !device.newPage()) {
            painter.end();
            return false;
        }
        paintPage(painter, page, sheet, i);
    }
    return painter.end();
}

} // namespace SheetPainter
