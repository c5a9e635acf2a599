// Construction, start-up and shut-down, the error guard and the after-change chain.
#include "FeuilleMain2.h"
#include "AppError.h"

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

QString defaultDocumentsDir()
{
#if defined(Q_OS_WIN)
    const QString pub = qEnvironmentVariable("PUBLIC");
    if (!pub.isEmpty())
        return QDir(pub).filePath(QStringLiteral("Documents"));
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
#elif defined(Q_OS_MACOS)
    return QStringLiteral("/Users/Shared");
#else
    // A folder shared by every user of the machine when an installer made one for us.
    const QFileInfo shared(QStringLiteral("/var/lib/zelvano"));
    if (shared.isDir() && shared.isWritable())
        return shared.absoluteFilePath();
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
#endif
}

TMainFrm::TMainFrm(TMainFrmEnv env, QWidget *parent) : QWidget(parent), m_env(std::move(env))
{
    if (m_env.documentsDir.isNull())
        m_env.documentsDir = defaultDocumentsDir();
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
}

// A crash or power cut between the creation of a save's temporary file and its rename
// leaves that file behind ("FeuilleMatch.bin.Ab12Cd"); the real files are whole either way.
void TMainFrm::removeStaleTemporaryFiles()
{
    const QFileInfo backup(BackupBin);
    const QRegularExpression stale(QStringLiteral("^%1\\.(bin|txt|ini)\\.[A-Za-z0-9]{6}$")
                                       .arg(QRegularExpression::escape(backup.completeBaseName())));
    QDir dir = backup.absoluteDir();
    for (const QString &name : dir.entryList(QDir::Files | QDir::Hidden)) {
        if (stale.match(name).hasMatch())
            dir.remove(name);
    }
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
    guard([&] { WriteIni(); });
}

void TMainFrm::FeuilleAfterPost()
{
    UpdateStats();
    liveChanged();
    Feuille->saveToFile(BackupBin);
    ++m_backupWrites;
}

void TMainFrm::guard(const std::function<void()> &f)
{
    // Whatever the handler changed goes to the club server once it has returned.
    struct Publish {
        TMainFrm *w;
        ~Publish() { w->liveChanged(); }
    } publish{this};
    QString message;
    try {
        f();
        return;
    } catch (const AppError &e) {
        message = e.message();
    } catch (const std::exception &e) {
        message = QString::fromLocal8Bit(e.what());
    }
    m_dialogs->message(DlgKind::Error, message, {DlgButton::Ok});
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
