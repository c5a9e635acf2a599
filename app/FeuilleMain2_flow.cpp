// The inning flow: the turn and its display, validation, undo, deletion, new match, names.
#include "FeuilleMain2.h"

namespace {
constexpr QRgb Black = 0xFF000000;
}

void TMainFrm::setJoueur1(bool value)
{
    fJoueur1 = value;
    // The player to play gets a panel in their colour with a solid border and black texts;
    // the other panel blends into the background with texts in that player's colour.
    TRectangle *active = value ? Rectangle1 : Rectangle2;
    TRectangle *other = value ? Rectangle2 : Rectangle1;
    active->setFill(value ? color1 : color2);
    active->setStrokeSolid(true);
    RectangleSerieLbl->setFill(value ? color1 : color2);
    other->setFill(ColorFond);
    other->setStrokeSolid(false);
    TLabel *const p1[] = {Nom1Lbl, Total1Lbl, Chrono1Lbl};
    TLabel *const p2[] = {Nom2Lbl, Total2Lbl, Chrono2Lbl};
    for (TLabel *l : value ? p1 : p2)
        l->setFontColor(Black);
    for (TLabel *l : value ? p2 : p1)
        l->setFontColor(value ? color2 : color1);
    refreshMatch();
}

void TMainFrm::btnSetSerieClick(QObject *)
{
    if (refuseValidationAfterEnd())
        return;
    const TEnrSerie run = Serie->Reset();
    Feuille->edit();
    if (Joueur1()) {
        setChrono1(Chrono1() + run.msecsSerie);
        Feuille->setField(InningsTable::Pts1, run.pointsSerie);
    } else {
        setChrono2(Chrono2() + run.msecsSerie);
        Feuille->setField(InningsTable::Pts2, run.pointsSerie);
    }
    Feuille->post();
    setJoueur1(!Joueur1());
    if (Joueur1())
        Feuille->appendEmpty(); // the next inning
}

void TMainFrm::DeriveTurn()
{
    Feuille->last();
    setJoueur1(Feuille->isNull(InningsTable::Pts1));
}

void TMainFrm::UndoLastSerie()
{
    Feuille->last();
    if (!Joueur1()) {
        // Player 1's run of the inning in progress is taken back.
        setJoueur1(true);
        Feuille->edit();
        Feuille->clearField(InningsTable::Pts1);
        Feuille->clearField(InningsTable::Pts2);
        Feuille->post();
        return;
    }
    if (Feuille->recordCount() > 1) {
        // Back into the previous inning: its player 2 run is taken back.
        Feuille->deleteCurrent();
        setJoueur1(false);
        Feuille->last();
        if (!Feuille->isNull(InningsTable::Pts2)) {
            Feuille->edit();
            Feuille->clearField(InningsTable::Pts2);
            Feuille->post();
        }
        return;
    }
    if (!Feuille->isNull(InningsTable::Pts1)) {
        Feuille->edit();
        Feuille->clearField(InningsTable::Pts1);
        Feuille->post();
    }
}

void TMainFrm::btnDelClick(QObject *)
{
    if (Feuille->isEmpty())
        return;
    const QString question = QStringLiteral("Supprimer la reprise %1 ?").arg(Feuille->recNo());
    m_dialogs->message(DlgKind::Information, question, {DlgButton::Yes, DlgButton::No},
                       [this](DlgButton answer) {
                           if (answer == DlgButton::Yes)
                               Feuille->deleteCurrent();
                       },
                       DlgButton::No);
}

void TMainFrm::btnStartClick(QObject *)
{
    m_dialogs->message(DlgKind::Information, QStringLiteral("Effacer les données actuelles ?"),
                       {DlgButton::Yes, DlgButton::No}, [this](DlgButton answer) {
                           if (answer != DlgButton::Yes)
                               return;
                           ArchiveSheet();
                           Feuille->emptyTable();
                           Feuille->appendEmpty();
                           Serie->Reset();
                           setChrono1(0);
                           setChrono2(0);
                           setJoueur1(true);
                           matchNewMatch();
                       },
                       DlgButton::No); // Enter out of habit must not empty the sheet
}

void TMainFrm::Nom1LblClick(QObject *Sender)
{
    auto *label = qobject_cast<TLabel *>(Sender);
    if (!label)
        return;
    m_dialogs->inputQuery(QStringLiteral("Saisir le nom du joueur"), {QStringLiteral("Nom :")}, {label->text()},
                          [this, label](bool ok, const QStringList &texts) {
                              if (!ok || texts.isEmpty())
                                  return;
                              label->setText(texts.first());
                              WriteIni(); // a crash must not bring the old name back
                          });
}

void TMainFrm::SwapNames()
{
    if (Feuille->recordCount() >= 2)
        return;
    const QString name1 = Nom1Lbl->text();
    Nom1Lbl->setText(Nom2Lbl->text());
    Nom2Lbl->setText(name1);
    WriteIni();
}
