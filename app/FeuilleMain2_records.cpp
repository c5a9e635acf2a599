// The settings file, the sheet text and the history, the print hand-off, network sending.
#include "FeuilleMain2.h"
#include "AppError.h"
#include "IniFile.h"
#include "LineList.h"
#include "NetSend.h"
#include "PrintHandoff.h"
#include "SheetText.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QRadioButton>
#include <QToolButton>

namespace {
const QString DefaultHost = QStringLiteral("192.168.1.20");

struct BusyCursor {
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
};
}

void TMainFrm::ReadIni()
{
    const IniFile ini(iniPath());
    const QString remote = QStringLiteral("REMOTE");
    setKeyPlus(quint16(ini.readInteger(remote, QStringLiteral("KeyPlus"), 37)));
    setKeyMoins(quint16(ini.readInteger(remote, QStringLiteral("KeyMoins"), 39)));
    setKeyOK(quint16(ini.readInteger(remote, QStringLiteral("KeyOK"), 38)));
    setKeyChrono(quint16(ini.readInteger(remote, QStringLiteral("KeyChrono"), 40)));
    const QString joueurs = QStringLiteral("JOUEURS");
    Nom1Lbl->setText(ini.readString(joueurs, QStringLiteral("joueur1"), QStringLiteral("Joueur 1")));
    Nom2Lbl->setText(ini.readString(joueurs, QStringLiteral("joueur2"), QStringLiteral("Joueur 2")));
    const QString temps = QStringLiteral("TEMPS");
    setChrono1(qint64(ini.readInteger(temps, QStringLiteral("Chrono1"), 0)));
    setChrono2(qint64(ini.readInteger(temps, QStringLiteral("Chrono2"), 0)));
    const QString wifi = QStringLiteral("WIFI");
    EditHost->setText(ini.readString(wifi, QStringLiteral("host"), DefaultHost));
    EditPort->setText(ini.readString(wifi, QStringLiteral("port"), QStringLiteral("50000")));
    const qint32 mode = ini.readInteger(temps, QStringLiteral("InChrono"), 0);
    btnClock->setChecked(mode == 1);
    btnClockSum->setChecked(mode == 2);
    readClubSettings(ini);
    readMatchIni(ini);
}

void TMainFrm::WriteIni()
{
    IniFile ini(iniPath());
    const QString remote = QStringLiteral("REMOTE");
    ini.writeInteger(remote, QStringLiteral("KeyPlus"), KeyPlus());
    ini.writeInteger(remote, QStringLiteral("KeyMoins"), KeyMoins());
    ini.writeInteger(remote, QStringLiteral("KeyOK"), KeyOK());
    ini.writeInteger(remote, QStringLiteral("KeyChrono"), KeyChrono());
    const QString joueurs = QStringLiteral("JOUEURS");
    ini.writeString(joueurs, QStringLiteral("joueur1"), Nom1Lbl->text());
    ini.writeString(joueurs, QStringLiteral("joueur2"), Nom2Lbl->text());
    // The file holds 32-bit values: the low 32 bits, as a signed number.
    const QString temps = QStringLiteral("TEMPS");
    ini.writeInteger(temps, QStringLiteral("Chrono1"), qint32(quint32(quint64(Chrono1()))));
    ini.writeInteger(temps, QStringLiteral("Chrono2"), qint32(quint32(quint64(Chrono2()))));
    const QString wifi = QStringLiteral("WIFI");
    ini.writeString(wifi, QStringLiteral("host"), EditHost->text());
    ini.writeString(wifi, QStringLiteral("port"), EditPort->text());
    ini.writeInteger(temps, QStringLiteral("InChrono"), btnClock->isChecked() ? 1 : btnClockSum->isChecked() ? 2 : 0);
    writeClubSettings(ini);
    writeMatchIni(ini);
    ini.save();
}

void TMainFrm::SheetToStrings(LineList &list)
{
    const QDateTime when = m_env.now();
    list.entries.append(SheetText::headerEntry(Nom1Lbl->text(), Nom2Lbl->text(), when, m_locale));
    Feuille->first();
    while (!Feuille->eof()) {
        list.entries.append(SheetText::rowEntry(Feuille->asText(InningsTable::Pts1), Feuille->asText(InningsTable::Pts2)));
        Feuille->next();
    }
}

void TMainFrm::ArchiveSheet()
{
    if (Feuille->recordCount() == 0)
        return;
    LineList list;
    const QString path = historyPath();
    // Whatever happens, the cursor ends on the last row, where the next run is written.
    struct ToLast {
        InningsTable *t;
        ~ToLast()
        {
            try {
                t->last();
            } catch (...) {
            }
        }
    } toLast{Feuille};
    if (QFile::exists(path))
        list.loadFromFile(path);
    SheetToStrings(list);
    // Rewritten through a temporary file: a crash in the middle keeps every archived match.
    list.saveToFile(path, true);
    if (list.count() > SheetText::HistoryWarningThreshold)
        m_dialogs->message(DlgKind::Warning, SheetText::historyWarning(path, list.count()), {DlgButton::Ok});
}

void TMainFrm::btnPrintClick(QObject *)
{
    if (Feuille->recordCount() == 0) {
        m_dialogs->message(DlgKind::Error, QStringLiteral("La feuille en cours est vide"), {DlgButton::Ok});
        return;
    }
    LineList list;
    SheetToStrings(list);
    const QString printFile = PrintHandoff::printFilePath(BackupBin);
    list.saveToFile(printFile);
    writePrintMatchFile(printFile);
    PrintHandoff::startDetached(PrintHandoff::printProgramPath(m_env.applicationDir), printFile);
}

void TMainFrm::btnprintFeuilleClick(QObject *)
{
    QString message;
    LineList list;
    if (RadioFeuilleEnCours->isChecked()) {
        if (Feuille->recordCount() == 0)
            message = QStringLiteral("Feuille en cours vide");
        else
            SheetToStrings(list);
    } else {
        const QString path = historyPath();
        if (QFile::exists(path))
            list.loadFromFile(path);
        else
            message = QStringLiteral("Aucune archive disponible");
    }
    if (!message.isEmpty()) {
        m_dialogs->message(DlgKind::Error, message, {DlgButton::Ok});
        return;
    }
    const QString host = EditHost->text();
    const quint16 port = NetSend::portFromText(EditPort->text());
    const QByteArray frame = NetSend::buildFrame(list.entries);
    {
        BusyCursor busy;
        NetSend::sendFrame(host, port, frame, 4000);
    }
    WriteIni();
}
