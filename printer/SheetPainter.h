#pragma once
// Lays a score sheet out on paper: a title block with the players and the date, the table
// of innings with running totals, the result, and the boxes where both players and the
// referee sign. Long matches run over several pages, each repeating the table header; the
// result and the signatures follow the last inning. Names are drawn whole: a long one gets
// a smaller type, then a second line, never an ellipsis.
//
// Everything is drawn in a page space of tenths of a millimetre across a 180 mm wide
// printable area (A4 within 15 mm margins), scaled onto whatever page the device offers, so
// the pagination depends only on the page's proportions, never on the device's resolution.
#include "PrintSheet.h"

#include <QList>
#include <QRectF>
#include <QSizeF>

class QPainter;
class QPagedPaintDevice;

namespace SheetPainter {

struct PageSpan {
    int firstRow = 0;
    int rowCount = 0;
    bool summary = false; // the result is drawn below this page's rows
};

QList<PageSpan> paginate(const PrintSheet::Sheet &sheet, const QSizeF &page);
int pageCount(const PrintSheet::Sheet &sheet, const QSizeF &page);

// Draws page `pageIndex` (0-based) into `page`, given in the painter's coordinates.
void paintPage(QPainter &painter, const QRectF &page, const PrintSheet::Sheet &sheet, int pageIndex);

// Draws the pages fromPage..toPage (1-based, 0 for "from the first" / "to the last") onto a
// printer or PDF writer. False when the device cannot be painted on.
bool render(QPagedPaintDevice &device, const PrintSheet::Sheet &sheet, int fromPage = 0, int toPage = 0);

} // namespace SheetPainter
