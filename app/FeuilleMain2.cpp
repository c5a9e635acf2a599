// Construction, start-up and shut-down, the error guard and the after-change chain.
#include "FeuilleMain2.h"
#include "AppError.h"
#include "DurableFile.h"
#include "PrintHandoff.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTableView>
#include <QTabBar>
#include <QTabWidget>
#include <QTime>

QString defaultSharedDocumentsDir()
{
#if defined(Q_OS_WIN) || defined(Q_OS_MACOS)
    return QString(); // the platform's own folder is shared by every user already
#else
    // A folder shared by every user of the machine when an installer made one for us.
    return QStringLiteral("/var/lib/zelvano");
#endif
}

namespace {
QString defaultUserDocumentsDir()
{
#if defined(Q_OS_WIN)
    const QString pub = qEnvironmentVariable("PUBLIC");
    if (!pub.isEmpty())
        return QDir(pub).filePath(QStringLiteral("Documents"));
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
#elif defined(Q_OS_MACOS)
    return QStringLiteral("/Users/Shared");
#else
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
#endif
}
}

DocumentsFolder chooseDocumentsFolder(const QString &sharedDir, const QString &userDir)
{
    if (sharedDir.isEmpty())
        return {userDir, {}};
    const QFileInfo shared(sharedDir);
    if (!shared.exists())
        return {userDir, {}};
    // Tried for real: the permission bits do not tell about a read-only medium, an ACL or
    // a full disk.
    const QString reason = shared.isDir() ? DurableFile::probeFolder(shared.absoluteFilePath())
                                          : QStringLiteral("Ce n'est pas un dossier.");
    if (reason.isEmpty())
        return {shared.absoluteFilePath(), {}};
    return {userDir,
            QStringLiteral("Le dossier partagé \"%1\" existe mais ce compte ne peut pas y écrire. %2\n"
                           "La feuille, l'historique et les réglages sont enregistrés à la place dans :\n%3\n"
                           "Ce n'est pas la feuille partagée : donnez à ce compte le droit d'écrire dans \"%1\" "
                           "pour la retrouver.")
                .arg(QDir::toNativeSeparators(sharedDir), reason, QDir::toNativeSeparators(userDir))};
}

QString defaultDocumentsDir()
{
    return chooseDocumentsFolder(defaultSharedDocumentsDir(), defaultUserDocumentsDir()).path;
}

TMainFrm::TMainFrm(TMainFrmEnv env, QWidget *parent) : QWidget(parent), m_env(std::move(env))
{
    if (m_env.documentsDir.isNull()) {
        const DocumentsFolder chosen = chooseDocumentsFolder(
            m_env.sharedDocumentsDir.isNull() ? defaultSharedDocumentsDir() : m_env.sharedDocumentsDir,
            m_env.userDocumentsDir.isNull() ? defaultUserDocumentsDir() : m_env.userDocumentsDir);
        m_env.documentsDir = chosen.path;
        m_folderWarning = chosen.warning;
    }
    if (m_env.applicationDir.isNull())
        m_env.applicationDir = QCoreApplication::applicationDirPath();
    if (!m_env.clock)
        m_env.clock = systemMonotonicClock();
    if (!m_env.timeOfDay)
        m_env.timeOfDay = [] { return QTime::currentTime().msecsSinceStartOfDay() / 86400000.0; };
    if (!m_env.now)
        m_env.now = [] { return QDateTime::currentDateTime(); };
    if (m_env.dialogs) {
        m_dialogs = m_env.dialogs;
    } else {
        m_ownDialogs = std::make_unique<QtDialogs>(this);
        m_dialogs = m_ownDialogs.get();
    }

    Feuille = new InningsTable(this);
    Feuille->setObjectName(QStringLiteral("Feuille"));
    Clone = new InningsTable(this);
    Clone->setObjectName(QStringLiteral("Clone"));
    Feuille->afterPost = [this] { FeuilleAfterPost(); };
    Feuille->afterDelete = [this] { FeuilleAfterPost(); };

    buildUi();
    buildSaveNotice();
    connectHandlers();
    buildLiveUi();
    RectangleFondTab->installEventFilter(this);
    qApp->installEventFilter(this);
    if (m_env.runFormCreate)
        FormCreate(this);
}

TMainFrm::~TMainFrm()
{
    // A cell editor still open in the grid would commit when ~QWidget closes the window,
    // when nothing of this window is left for the model's guard and the after-post save:
    // such a pending edit is dropped while the window is whole.
    if (QWidget *editor = StringGrid1->indexWidget(StringGrid1->currentIndex()))
        emit StringGrid1->itemDelegate()->closeEditor(editor);
    qApp->removeEventFilter(this);
    if (!m_destroyed)
        FormDestroy(this);
    delete Serie;
    Serie = nullptr;
}

void TMainFrm::closeEvent(QCloseEvent *e)
{
    // A cell still being edited in the grid is posted before the window goes: the
    // operator typed it, and the backup must hold it.
    if (QWidget *editor = StringGrid1->indexWidget(StringGrid1->currentIndex())) {
        emit StringGrid1->itemDelegate()->commitData(editor);
        emit StringGrid1->itemDelegate()->closeEditor(editor);
    }
    if (!m_destroyed)
        FormDestroy(this);
    QWidget::closeEvent(e);
}

void TMainFrm::FormCreate(QObject *Sender)
{
    // 1. the run object
    Serie = new TSerie(lblSerie, lblChronoPoint, m_env.clock);
    attachMatchToSerie();
    // 2. the backup path: the documents folder and "FeuilleMatch.bin"
    QString folder = m_env.documentsDir;
    if (!folder.isEmpty()) {
        QDir().mkpath(folder);
        if (!folder.endsWith(QLatin1Char('/')) && !folder.endsWith(QDir::separator()))
            folder += QLatin1Char('/');
    }
    BackupBin = folder + QStringLiteral("FeuilleMatch.bin");
    removeStaleTemporaryFiles();
    // 3. pages are switched by the header buttons
    TabControl1->tabBar()->hide();
    // 4. colours as the window description sets them, before any repaint of the turn
    color1 = Rectangle1->fill();
    color2 = Rectangle2->fill();
    ColorFond = RectangleFondTab->fill();
    // 5. the statistic labels keep their player's colour
    Moyenne1Lbl->setFontColor(color1);
    Serie1Lbl->setFontColor(color1);
    Moyenne2Lbl->setFontColor(color2);
    Serie2Lbl->setFontColor(color2);
    // 6. half a second, in days
    fdTime13Max = 0.5 / 86400;
    // 7.
    Label1->setText(QStringLiteral("Backup : ") + QDir::toNativeSeparators(BackupBin));
    // 8.
    IsKeyDown = false;
    // 9.
    ReadIni();
    // 10. and 11.
    loadBackupAtStart();
    Clone->cloneCursor(*Feuille);
    // 12.
    Serie->Reset();
    // 13.
    TabControl1->setCurrentWidget(TabAffichage);
    // 14. a first start writes the backup at once with its one empty row
    if (Feuille->isEmpty())
        guard([&] { Feuille->appendEmpty(); });
    // 15. to 18.
    guard([&] { TabControl1Change(Sender); });
    UpdateStats();
    btnClockClick(nullptr);
    imgPauseChronoClick(nullptr);
    guard([&] { Feuille->last(); });
    if (!m_folderWarning.isEmpty())
        m_dialogs->message(DlgKind::Warning, m_folderWarning, {DlgButton::Ok});
}

// A crash or power cut between the creation of a save's temporary file and its rename
// leaves that file behind ("FeuilleMatch.bin.zelvano-tmp-3fa9c2e1b7d4"); the real files are
// whole either way. Only names that our durable writes make are removed: a person's own
// copies ("FeuilleMatch.txt.backup", "FeuilleMatch.ini.saison") stay where they are.
void TMainFrm::removeStaleTemporaryFiles()
{
    const QFileInfo backup(BackupBin);
    const QString base = backup.completeBaseName();
    DurableFile::removeTemporaries(backup.absolutePath(),
                                   {backup.fileName(), base + QStringLiteral(".txt"), base + QStringLiteral(".ini"),
                                    QFileInfo(PrintHandoff::printFilePath(BackupBin)).fileName(),
                                    QStringLiteral(".zelvano-probe")});
}

void TMainFrm::loadBackupAtStart()
{
    if (!QFile::exists(BackupBin)) {
        Feuille->openEmpty();
        return;
    }
    try {
        Feuille->loadFromFile(BackupBin);
        return;
    } catch (const AppError &e) {
        // An unreadable backup must neither stop the program nor be overwritten by the
        // next save: it is kept aside under a new name and a fresh sheet opens.
        const QString aside = BackupBin + QStringLiteral(".illisible-")
            + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
        QString kept;
        if (QFile::rename(BackupBin, aside) || QFile::copy(BackupBin, aside))
            kept = QStringLiteral("Le fichier a été conservé sous le nom :\n%1").arg(QDir::toNativeSeparators(aside));
        else
            kept = QStringLiteral("Le fichier n'a pas pu être mis de côté ; copiez-le avant de saisir une série.");
        Feuille->openEmpty();
        m_dialogs->message(DlgKind::Error,
                           QStringLiteral("La feuille du match en cours ne peut pas être relue.\n%1\n%2\n"
                                          "Une nouvelle feuille est ouverte.")
                               .arg(e.message(), kept),
                           {DlgButton::Ok});
    }
}

void TMainFrm::FormDestroy(QObject *)
{
    m_destroyed = true;
    // The last change could not be saved: one more try, in case the disk came back.
    if (!m_backupFailure.isEmpty()) {
        try {
            Feuille->saveToFile(BackupBin);
        } catch (const AppError &) {
        }
    }
    guard([&] { WriteIni(); });
}

// A failed save ends nothing but that save: the change stays in memory, the operation that
// made it completes (the turn passes, the next inning is appended), and the next save that
// succeeds writes the whole sheet. The operator sees the error once per operation, when
// the guard around it ends, and the notice on the scoreboard until a save succeeds.
void TMainFrm::FeuilleAfterPost()
{
    UpdateStats();
    liveChanged();
    try {
        Feuille->saveToFile(BackupBin);
    } catch (const AppError &e) {
        m_backupFailure = e.reason().isEmpty() ? e.message() : e.reason();
        m_unreportedSave = e.message()
            + QStringLiteral("\nLe match continue : chaque point reste en mémoire et sera enregistré "
                             "dès qu'une sauvegarde réussira.");
        QString reason = m_backupFailure;
        if (reason.endsWith(QLatin1Char('.')))
            reason.chop(1);
        if (reason.size() > 1 && reason.at(1).isLower())
            reason[0] = reason.at(0).toLower();
        lblSauvegarde->setText(QStringLiteral("Sauvegarde impossible : ") + reason);
        lblSauvegarde->show();
        placeSaveNotice();
        if (m_guardDepth == 0)
            reportUnshownSaveError();
        return;
    }
    ++m_backupWrites;
    m_unreportedSave.clear();
    if (!m_backupFailure.isEmpty()) {
        m_backupFailure.clear();
        lblSauvegarde->hide();
    }
}

void TMainFrm::reportUnshownSaveError(const QString &thrown)
{
    QString message = thrown;
    if (!m_unreportedSave.isEmpty()) {
        message = message.isEmpty() ? m_unreportedSave : message + QStringLiteral("\n\n") + m_unreportedSave;
        m_unreportedSave.clear();
    }
    if (!message.isEmpty())
        m_dialogs->message(DlgKind::Error, message, {DlgButton::Ok});
}

void TMainFrm::guard(const std::function<void()> &f)
{
    // Whatever the handler changed goes to the club server once it has returned.
    struct Publish {
        TMainFrm *w;
        ~Publish() { w->liveChanged(); }
    } publish{this};
    QString message;
    {
        struct Depth {
            int &d;
            explicit Depth(int &depth) : d(depth) { ++d; }
            ~Depth() { --d; }
        } depth(m_guardDepth);
        try {
            f();
        } catch (const AppError &e) {
            message = e.message();
        } catch (const std::exception &e) {
            message = QString::fromLocal8Bit(e.what());
        }
    }
    // A save that failed inside a nested guard is shown once, when the outer one ends.
    if (m_guardDepth > 0) {
        if (!message.isEmpty())
            m_dialogs->message(DlgKind::Error, message, {DlgButton::Ok});
        return;
    }
    reportUnshownSaveError(message);
}

// The notice fills the empty band at the top of the centre column, above the lap time
// (down to the innings count while timing is off and the lap time hidden), in the largest
// bold font whose wrapped text fits the band.
void TMainFrm::buildSaveNotice()
{
    lblSauvegarde = new QLabel(RectangleFondTab);
    lblSauvegarde->setObjectName(QStringLiteral("lblSauvegarde"));
    lblSauvegarde->setTextFormat(Qt::PlainText);
    lblSauvegarde->setWordWrap(true);
    lblSauvegarde->setAlignment(Qt::AlignCenter);
    lblSauvegarde->setMargin(3);
    lblSauvegarde->setAttribute(Qt::WA_TransparentForMouseEvents);
    lblSauvegarde->setStyleSheet(
        QStringLiteral("#lblSauvegarde { background: #C62828; color: #FFFFFF; border-radius: 6px; }"));
    lblSauvegarde->hide();
}

void TMainFrm::placeSaveNotice()
{
    if (!lblSauvegarde || lblSauvegarde->isHidden())
        return;
    const int cw = qMax(0, RectangleFondTab->width() - 2 * m_A);
    const bool timing = Serie && Serie->EnabledChrono();
    const int bottom = timing ? qRound(m_centreTop) : ReprisesLbl->y();
    const int bandH = qMax(24, bottom - 6);
    const QRect r(m_A + 3, 3, qMax(24, cw - 6), bandH);
    lblSauvegarde->setGeometry(r);
    const QRect inside = lblSauvegarde->contentsRect().adjusted(3, 3, -3, -3);
    QFont f = lblSauvegarde->font();
    f.setBold(true);
    for (int px = qMax(8, bandH / 2); px >= 6; --px) {
        f.setPixelSize(px);
        const QRect need = QFontMetrics(f).boundingRect(QRect(0, 0, inside.width(), 1 << 20),
                                                        Qt::AlignCenter | Qt::TextWordWrap, lblSauvegarde->text());
        if (need.width() <= inside.width() && need.height() <= inside.height())
            break;
    }
    lblSauvegarde->setFont(f);
    lblSauvegarde->raise();
}

QString TMainFrm::iniPath() const
{
    return QFileInfo(BackupBin).path() + QLatin1Char('/') + QFileInfo(BackupBin).completeBaseName()
        + QStringLiteral(".ini");
}

QString TMainFrm::historyPath() const
{
    return QFileInfo(BackupBin).path() + QLatin1Char('/') + QFileInfo(BackupBin).completeBaseName()
        + QStringLiteral(".txt");
}
