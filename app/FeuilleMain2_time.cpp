// Time controls: the timing mode, pause and resume, the lap restart and the cumulative times.
#include "FeuilleMain2.h"
#include "IntConv.h"

#include <QToolButton>

void TMainFrm::setChrono1(qint64 value)
{
    fChrono1 = value;
    Chrono1Lbl->setText(TSerie::msToStrMs(value));
}

void TMainFrm::setChrono2(qint64 value)
{
    fChrono2 = value;
    Chrono2Lbl->setText(TSerie::msToStrMs(value));
}

void TMainFrm::btnClockClick(QObject *Sender)
{
    if (Sender) {
        QToolButton *other = Sender == btnClock ? btnClockSum : btnClock;
        auto *sender = qobject_cast<QToolButton *>(Sender);
        if (sender && sender->isChecked())
            other->setChecked(false);
    }
    // Every click restarts the timing of the run in progress, paused.
    Serie->setEnabledChrono(btnClockSum->isChecked() || btnClock->isChecked());
    LayoutImgChrono->setVisible(Serie->EnabledChrono());
    lblChronoPoint->setVisible(Serie->EnabledChrono());
    Chrono1Lbl->setVisible(btnClockSum->isChecked());
    Chrono2Lbl->setVisible(btnClockSum->isChecked());
    imgPauseChronoClick(nullptr);
    placeSaveNotice(); // its band grows while the lap time is hidden
    if (Sender)
        WriteIni(); // the mode the operator chose survives a crash
}

void TMainFrm::imgPauseChronoClick(QObject *Sender)
{
    if (Sender)
        Serie->setPausedChrono(!Serie->PausedChrono());
    const bool paused = Serie->PausedChrono();
    imgPauseChrono->setVisible(!paused);
    ImgPlayChrono->setVisible(paused);
}

void TMainFrm::lblChronoPointClick(QObject *)
{
    if (!Serie->EnabledChrono())
        return;
    m_dialogs->message(DlgKind::Confirmation, QStringLiteral("Remettre à zéro le chrono en cours"),
                       {DlgButton::Ok, DlgButton::Cancel}, [this](DlgButton answer) {
                           if (answer == DlgButton::Ok)
                               Serie->SetZeroChrono(false);
                       });
}

void TMainFrm::Chrono1LblClick(QObject *Sender)
{
    if (!Serie->EnabledChrono())
        return;
    const bool first = Sender == Chrono1Lbl;
    const qint64 s = (first ? Chrono1() : Chrono2()) / 1000;
    m_dialogs->inputQuery(QStringLiteral("Modifier la durée"), {QStringLiteral("minutes"), QStringLiteral("secondes")},
                          {QString::number(s / 60), QString::number(s % 60)},
                          [this, first](bool ok, const QStringList &texts) {
                              if (!ok || texts.size() < 2)
                                  return;
                              const qint32 minutes = strToInt(texts.at(0));
                              const qint32 seconds = strToInt(texts.at(1));
                              // In 64 bits: 35 792 minutes and more do not fit in 32.
                              const qint64 ms = qint64(minutes) * 60000 + qint64(seconds) * 1000;
                              if (first)
                                  setChrono1(ms);
                              else
                                  setChrono2(ms);
                              WriteIni();
                          });
}
