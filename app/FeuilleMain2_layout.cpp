// Pages, the scoreboard's adaptive layout and the counting buttons.
#include "FeuilleMain2.h"
#include "ScoreLayout.h"

#include <QAbstractButton>
#include <QFontMetricsF>
#include <QButtonGroup>
#include <QRadioButton>
#include <QResizeEvent>
#include <QTabWidget>
#include <QTableView>
#include <QToolButton>

void TMainFrm::btnAffichTabToolsClick(QObject *)
{
    // The click has already pressed the clicked page button and released the other; making
    // the active page active again raises no page change.
    TabControl1->setCurrentWidget(btnAffichTabFeuille->isChecked() ? TabAffichage : TabUtils);
}

void TMainFrm::TabControl1Change(QObject *)
{
    if (TabControl1->currentWidget() == TabUtils) {
        Feuille->first();
        return;
    }
    DeriveTurn();
    // No control of the utilities page may keep the focus: every key must reach FormKeyDown.
    if (QWidget *f = focusWidget(); f && TabUtils->isAncestorOf(f))
        f->clearFocus();
    for (QRadioButton *r : {RadioPlus, RadioMoins, RadioOK}) {
        if (r->isChecked()) {
            QButtonGroup *g = r->group();
            if (g)
                g->setExclusive(false);
            r->setChecked(false);
            if (g)
                g->setExclusive(true);
        }
    }
    lblKeyTest->setTag(0);
    lblKeyTest->setText(QStringLiteral("0"));
}

void TMainFrm::btnAddClick(QObject *Sender)
{
    if (Sender == btnAdd)
        Serie->AddValue1();
    else if (Sender == btnDec)
        Serie->DecValue1();
}

void TMainFrm::resizeEvent(QResizeEvent *e)
{
    QWidget::resizeEvent(e);
}

void TMainFrm::FormResize(QObject *)
{
    const double W = RectangleFondTab->width();
    const double H = RectangleFondTab->height();
    const ScoreLayout::Sizes s = ScoreLayout::compute(W, H);
    m_A = s.A;
    m_B = s.B;
    m_C = s.C;
    m_D = s.D;
    const int centreWidth = qMax(0, int(W) - 2 * m_A);
    // The sizes computed here are the largest: a text too long for its place (a long name, a
    // five-digit total, a lap of 999:59 in a narrow centre column) gets a smaller font
    // rather than being cut. A name stays readable: past a fifth of F it shows its start.
    Nom1Lbl->setFittedFont(s.F, false, 0, qMax(1, s.F / 5));
    Nom2Lbl->setFittedFont(s.F, false, 0, qMax(1, s.F / 5));
    for (TLabel *l : {Moyenne1Lbl, Serie1Lbl, Chrono1Lbl, AutresStatsLbl, Moyenne2Lbl, Serie2Lbl, Chrono2Lbl})
        l->setFittedFont(s.F, false);
    Total1Lbl->setFittedFont(s.E, true);
    Total2Lbl->setFittedFont(s.E, true);
    m_centreTop = s.centreTopPadding;
    lblChronoPoint->setFittedFont(s.F, false, centreWidth);
    // Wider than the centre column, but its digits stay within it: beside it lie the panels.
    ReprisesLbl->setFittedFont(s.E, true, centreWidth);
    lblSerie->setFittedFont(qMax(1, qRound(s.runFontSize)), true);
    const ScoreLayout::RunPanel p = ScoreLayout::runPanel(m_A, centreWidth, m_C, btnDec->width(), btnAdd->width());
    m_runPanelW = p.width;
    m_X = p.X;
    m_Y = p.Y;
    relayout();
}

// Places every control of the scoreboard from the sizes FormResize computed: the side
// columns stacked from the top, the centre column between them, and the pieces that reach
// over the columns (innings count, run panel and its buttons) on top of everything.
void TMainFrm::relayout()
{
    const int W = RectangleFondTab->width();
    const int H = RectangleFondTab->height();
    const int A = m_A, B = m_B, C = m_C, D = m_D;

    LayoutGauche->setGeometry(0, 0, A, H);
    Rectangle1->setGeometry(5, 0, qMax(0, A - 5), B);
    const int w1 = Rectangle1->width();
    Nom1Lbl->setGeometry(5 + 4, 5, qMax(0, w1 - 5 - 8), D);
    Chrono1Lbl->setGeometry(5 + 4, B - D - 4, qMax(0, w1 - 5 - 8), D);
    Total1Lbl->setGeometry(5, 5 + D, qMax(0, w1 - 5), qMax(0, B - 5 - 2 * D - 4));
    Moyenne1Lbl->setGeometry(5, B + 20, qMax(0, A - 5), D);
    Serie1Lbl->setGeometry(5, B + 20 + D, qMax(0, A - 5), D);
    AutresStatsLbl->setGeometry(5, H - 5 - D, qMax(0, A - 5), D);

    LayoutDroite->setGeometry(W - A, 0, A, H);
    Rectangle2->setGeometry(0, 0, qMax(0, A - 5), B);
    const int w2 = Rectangle2->width();
    Nom2Lbl->setGeometry(4, 5, qMax(0, w2 - 5 - 8), D);
    Chrono2Lbl->setGeometry(4, B - D - 4, qMax(0, w2 - 5 - 8), D);
    Total2Lbl->setGeometry(0, 5 + D, qMax(0, w2 - 5), qMax(0, B - 5 - 2 * D - 4));
    Moyenne2Lbl->setGeometry(0, B + 20, qMax(0, A - 5), D);
    Serie2Lbl->setGeometry(0, B + 20 + D, qMax(0, A - 5), D);

    const int cw = qMax(0, W - 2 * A);
    const int top = qRound(m_centreTop);
    LayoutCentre->setGeometry(A, 0, cw, H);
    LayoutChrono->setGeometry(0, top, cw, 103);
    LayoutImgChrono->setGeometry(0, 0, cw, 38);
    imgPauseChrono->setGeometry((cw - 35) / 2, 1, 35, 35);
    ImgPlayChrono->setGeometry((cw - 35) / 2, 1, 35, 35);
    // The lap time grows with D past the timer block's design height: it lies on the
    // background (a child is clipped by its parent), over the block.
    lblChronoPoint->setGeometry(A, top + 38, cw, D);
    // The run panel's area grows with the panel, so that on a tall screen the panel is
    // never cut by the bottom of the window.
    const int serieAreaH = qMax(125, C + 8);
    const int serieAreaY = H - 20 - serieAreaH;
    LayoutSerieLbl->setGeometry(0, serieAreaY, cw, serieAreaH);

    const int reprisesTop = top + 103;
    ReprisesLbl->setGeometry(A + (cw - 424) / 2, reprisesTop, 424, qMax(0, serieAreaY - reprisesTop));

    const double panelX = A + (cw - m_runPanelW) / 2.0;
    const double panelY = serieAreaY + (serieAreaH - C) / 2.0;
    RectangleSerieLbl->setGeometry(qRound(panelX), qRound(panelY), m_runPanelW, C);
    lblSerie->setGeometry(0, 0, m_runPanelW, C);
    const ScoreLayout::RunPanel p = ScoreLayout::runPanel(A, cw, C, btnDec->width(), btnAdd->width());
    btnDec->move(qRound(RectangleSerieLbl->x() + p.decX), qRound(RectangleSerieLbl->y() + p.decY));
    btnAdd->move(qRound(RectangleSerieLbl->x() + p.addX), qRound(RectangleSerieLbl->y() + p.addY));
    btnSetSerie->move(qRound(RectangleSerieLbl->x() + p.setX), qRound(RectangleSerieLbl->y() + p.setY));
    placeSaveNotice();
    relayoutMatch();
}

// --- TLabel fitting ----------------------------------------------------------------------

void TLabel::setFittedFont(int maxPixelSize, bool bold, int roomWidth, int minPixelSize)
{
    if (m_fitMax == 0)
        m_designAlignment = alignment();
    m_fitMax = qMax(1, maxPixelSize);
    m_fitMin = qBound(1, minPixelSize, m_fitMax);
    m_fitRoom = roomWidth;
    QFont f = font();
    f.setBold(bold);
    f.setPixelSize(m_fitMax);
    setFont(f);
    m_fittedSize = QSize(); // fit again, whatever was fitted before
    fitText();
}

void TLabel::fitText()
{
    if (m_fitMax <= 0)
        return;
    const QRect cr = contentsRect();
    if (text() == m_fittedText && cr.size() == m_fittedSize)
        return;
    m_fittedText = text();
    m_fittedSize = cr.size();
    const int margin = ScoreLayout::fitMargin(m_fitMax);
    const int width = m_fitRoom > 0 ? qMin(cr.width(), m_fitRoom) : cr.width();
    const QSize room(qMax(1, width - 2 * margin), qMax(1, cr.height()));
    const int px = m_fittedText.isEmpty()
                       ? m_fitMax
                       : ScoreLayout::fittedPixelSize(font(), m_fittedText, room, m_fitMax, m_fitMin);
    QFont f = font();
    if (f.pixelSize() != px) {
        f.setPixelSize(px);
        setFont(f);
    }
    // A text that does not fit even at the smallest size shows its start, whatever its side.
    const bool tooLong = QFontMetricsF(f).horizontalAdvance(m_fittedText) > width;
    const Qt::Alignment a = tooLong ? (m_designAlignment & ~Qt::AlignHorizontal_Mask) | Qt::AlignLeft
                                    : m_designAlignment;
    if (alignment() != a)
        setAlignment(a);
}

void TLabel::paintEvent(QPaintEvent *e)
{
    // Whoever wrote the text (the run object writes the run and the lap), it is fitted
    // before it is drawn.
    fitText();
    QLabel::paintEvent(e);
}

void TLabel::resizeEvent(QResizeEvent *e)
{
    QLabel::resizeEvent(e);
    fitText();
}
