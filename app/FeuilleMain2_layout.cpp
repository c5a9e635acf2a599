// Pages, the scoreboard's adaptive layout and the counting buttons.
#include "FeuilleMain2.h"
#include "ScoreLayout.h"

#include <QAbstractButton>
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

void TMainFrm::applyFont(QWidget *w, double pixelSize, bool bold)
{
    QFont f = w->font();
    f.setPixelSize(qMax(1, qRound(pixelSize)));
    f.setBold(bold);
    w->setFont(f);
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
    for (QWidget *l : {static_cast<QWidget *>(Nom1Lbl), static_cast<QWidget *>(Moyenne1Lbl),
                       static_cast<QWidget *>(Serie1Lbl), static_cast<QWidget *>(Chrono1Lbl),
                       static_cast<QWidget *>(AutresStatsLbl), static_cast<QWidget *>(Nom2Lbl),
                       static_cast<QWidget *>(Moyenne2Lbl), static_cast<QWidget *>(Serie2Lbl),
                       static_cast<QWidget *>(Chrono2Lbl), static_cast<QWidget *>(lblChronoPoint)})
        applyFont(l, s.F);
    applyFont(Total1Lbl, s.E, true);
    applyFont(Total2Lbl, s.E, true);
    m_centreTop = s.centreTopPadding;
    applyFont(ReprisesLbl, s.E, true);
    applyFont(lblSerie, s.runFontSize, true);
    const double centreWidth = W - 2.0 * m_A;
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
    lblChronoPoint->setGeometry(0, 38, cw, D);
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
}
