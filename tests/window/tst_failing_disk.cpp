// A documents folder that fails under the match: a full disk, a read-only medium, a folder
// the account may not write. Nothing the operator typed is lost, each failing operation
// reports once, the scoreboard says so while it lasts, and the next good save writes all.
//
// The disks are real: a small tmpfs mounted for the test (filled up, or remounted
// read-only), and a folder without write permission for a non-root account (as root the
// permission bits stop nothing, so that case runs again in a child process as "nobody").
#include "WindowFixture.h"
#include "DurableFile.h"

#include <QLineEdit>
#include <QPointer>
#include <QProcess>
#include <functional>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using Action = std::function<void(WindowFixture &)>;
Q_DECLARE_METATYPE(Action)

namespace {

constexpr uid_t NobodyId = 65534; // "nobody" and "nogroup" on Debian

// A tmpfs of a few pages mounted on a fresh folder, unmounted at the end.
class SmallDisk {
public:
    QTemporaryDir mountPoint;
    QString error;

    bool mount()
    {
        const QByteArray where = QFile::encodeName(mountPoint.path());
        if (::mount("zelvano-test", where.constData(), "tmpfs", MS_NOSUID | MS_NODEV, "size=256k,mode=0777") != 0) {
            error = QString::fromLocal8Bit(std::strerror(errno));
            return false;
        }
        m_mounted = true;
        return true;
    }
    bool setReadOnly(bool readOnly)
    {
        const QByteArray where = QFile::encodeName(mountPoint.path());
        const unsigned long flags = MS_REMOUNT | MS_NOSUID | MS_NODEV | (readOnly ? MS_RDONLY : 0);
        if (::mount("zelvano-test", where.constData(), "tmpfs", flags, "size=256k") == 0)
            return true;
        qWarning("remount %s: %s", readOnly ? "ro" : "rw", std::strerror(errno));
        return false;
    }
    // Writes a filler file until the disk is full.
    bool fill()
    {
        QFile filler(path(QStringLiteral("remplissage")));
        if (!filler.open(QIODevice::WriteOnly))
            return false;
        const QByteArray block(4096, 'x');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
        filler.close();
        // Proof that it is full: not one byte more goes in.
        QFile probe(path(QStringLiteral("sonde")));
        const bool full = !probe.open(QIODevice::WriteOnly) || probe.write("x", 1) != 1 || !probe.flush();
        probe.close();
        probe.remove();
        return full;
    }
    void unfill() { QFile::remove(path(QStringLiteral("remplissage"))); }
    QString path(const QString &name) const { return QDir(mountPoint.path()).filePath(name); }
    ~SmallDisk()
    {
        if (m_mounted)
            ::umount2(QFile::encodeName(mountPoint.path()).constData(), MNT_DETACH);
    }

private:
    bool m_mounted = false;
};

void editCell(WindowFixture &f, int row, int column, const QString &text)
{
    QTest::mouseClick(f.w->btnAffichTabTools, Qt::LeftButton);
    f.w->show();
    const QModelIndex cell = f.w->StringGrid1->model()->index(row, column);
    f.w->StringGrid1->setCurrentIndex(cell);
    f.w->StringGrid1->edit(cell);
    QPointer<QLineEdit> editor = f.w->StringGrid1->findChild<QLineEdit *>();
    QVERIFY(editor);
    editor->setText(text);
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_VERIFY(editor.isNull());
    QTest::mouseClick(f.w->btnAffichTabFeuille, Qt::LeftButton);
}

void deleteRow(WindowFixture &f, int row)
{
    QTest::mouseClick(f.w->btnAffichTabTools, Qt::LeftButton);
    f.w->StringGrid1->setCurrentIndex(f.w->StringGrid1->model()->index(row, 1));
    f.dialogs.answers = {DlgButton::Yes};
    QTest::mouseClick(f.w->btnDel, Qt::LeftButton);
    QTest::mouseClick(f.w->btnAffichTabFeuille, Qt::LeftButton);
}

QStringList errorsShown(const WindowFixture &f)
{
    QStringList errors;
    for (const auto &d : f.dialogs.shown) {
        if (!d.isInput && d.kind == DlgKind::Error)
            errors << d.text;
    }
    return errors;
}

QStringList filesIn(const QString &folder)
{
    QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    names.sort();
    return names;
}

// What every failing-disk match shares: 7, 5, 3 saved; then the disk fails; `during` is
// played operation by operation (each must report once and keep the sheet in memory);
// then the disk comes back and one more run is validated, which must save everything.
struct FailingMatch {
    std::function<void()> breakDisk, repairDisk;
    std::vector<std::pair<QString, Action>> during; // name of the operation, what it does
    QString sheetDuring;  // the sheet in memory once every operation ran
    QString reasonStart;  // the notice reads "Sauvegarde impossible : " + this...
};

void playFailingMatch(WindowFixture &f, const FailingMatch &m)
{
    f.start();
    f.play({7, 5, 3});
    QCOMPARE(f.savedSheet(), QStringLiteral("(7,5) (3,-)"));
    QVERIFY(f.w->lblSauvegarde->isHidden());

    m.breakDisk();
    if (QTest::currentTestFailed())
        return;
    for (const auto &[name, action] : m.during) {
        const QStringList before = errorsShown(f);
        action(f);
        if (QTest::currentTestFailed())
            return;
        const QStringList errors = errorsShown(f).mid(before.size());
        QVERIFY2(errors.size() == 1, qPrintable(name + QStringLiteral(": %1 errors shown: ").arg(errors.size())
                                                + errors.join(QStringLiteral(" | "))));
        QVERIFY2(errors.first().startsWith(QStringLiteral("Impossible de créer le fichier")),
                 qPrintable(errors.first()));
        QVERIFY2(!f.w->lblSauvegarde->isHidden(), qPrintable(name));
        QVERIFY2(f.w->lblSauvegarde->text().startsWith(QStringLiteral("Sauvegarde impossible : ") + m.reasonStart),
                 qPrintable(f.w->lblSauvegarde->text()));
    }
    QCOMPARE(f.sheet(), m.sheetDuring);
    QCOMPARE(f.savedSheet(), QStringLiteral("(7,5) (3,-)")); // the last good save, whole

    m.repairDisk();
    const int errorsBefore = int(errorsShown(f).size());
    f.play({8});
    QCOMPARE(int(errorsShown(f).size()), errorsBefore);
    QVERIFY(f.w->lblSauvegarde->isHidden());
    QCOMPARE(f.savedSheet(), f.sheet());
    // Nothing left of the failed attempts but the files of the program.
    for (const QString &name : filesIn(f.dir.path()))
        QVERIFY2(!name.contains(QLatin1String(DurableFile::TemporaryMark)), qPrintable(name));
    // And a restart finds it all.
    const QString saved = f.sheet();
    f.restart();
    QCOMPARE(f.sheet(), saved);
}

// The operations a failing disk must not spoil, from (7,5) (3,-) with player 2 to play.
std::vector<std::pair<QString, Action>> everyOperation()
{
    return {
        {QStringLiteral("validation"), [](WindowFixture &f) { f.type(QStringLiteral("4\n")); }},   // (3,4) (-,-)
        {QStringLiteral("validation again"), [](WindowFixture &f) { f.type(QStringLiteral("12\n")); }}, // (12,-)
        {QStringLiteral("undo"), [](WindowFixture &f) { f.key(Qt::Key_Backspace); }},               // (-,-)
        {QStringLiteral("point by point"), [](WindowFixture &f) { f.type(QStringLiteral("++\n")); }},   // (2,-)
        {QStringLiteral("grid edit"), [](WindowFixture &f) { editCell(f, 0, 1, QStringLiteral("9")); }}, // (9,5)
        {QStringLiteral("delete"), [](WindowFixture &f) { deleteRow(f, 1); }},                    // row 2 gone
        {QStringLiteral("validation after the delete"), [](WindowFixture &f) { f.type(QStringLiteral("6\n")); }},
    };
}
const QString SheetAfterEveryOperation = QStringLiteral("(9,5) (2,6) (-,-)");

bool runningAsRoot()
{
    return ::geteuid() == 0;
}

} // namespace

class tst_failing_disk : public QObject {
    Q_OBJECT
private slots:
    void durableWrite_fullDisk_keepsTheOldFileAndNoTemporary();
    void failingSave_keepsEveryPoint_data();
    void failingSave_keepsEveryPoint();
    void newMatch_historyCannotBeWritten_sheetKept();
    void newMatch_backupCannotBeWritten_matchStarts();
    void startUp_removesOnlyOurTemporaryFiles();
    void documentsFolder_choice_data();
    void documentsFolder_choice();
    void documentsFolder_sharedUnusable_saysSoAtStart();
    void withoutWritePermission();
    void saveNotice_fitsTheCentreColumn_data();
    void saveNotice_fitsTheCentreColumn();
};

void tst_failing_disk::durableWrite_fullDisk_keepsTheOldFileAndNoTemporary()
{
    if (!runningAsRoot())
        QSKIP("mounting a small disk needs root (CI runs as root)");
    SmallDisk disk;
    QVERIFY2(disk.mount(), qPrintable(disk.error));
    const QString target = disk.path(QStringLiteral("FeuilleMatch.ini"));
    QCOMPARE(DurableFile::write(target, "ancien\n"), QString());
    ::chmod(QFile::encodeName(target).constData(), 0640);
    QVERIFY(disk.fill());
    QCOMPARE(DurableFile::write(target, QByteArray(10000, 'n')), QStringLiteral("Le disque est plein."));
    QFile old(target);
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("ancien\n"));
    old.close();
    QCOMPARE(filesIn(disk.mountPoint.path()), (QStringList{QStringLiteral("FeuilleMatch.ini"), QStringLiteral("remplissage")}));
    disk.unfill();
    QCOMPARE(DurableFile::write(target, "nouveau\n"), QString());
    struct stat st;
    QCOMPARE(::stat(QFile::encodeName(target).constData(), &st), 0);
    QCOMPARE(int(st.st_mode & 07777), 0640); // the replacement keeps the file's permissions
    QVERIFY(disk.setReadOnly(true));
    QCOMPARE(DurableFile::write(target, "x"), QStringLiteral("Le support est en lecture seule."));
    QVERIFY(disk.setReadOnly(false));
}

void tst_failing_disk::failingSave_keepsEveryPoint_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("full disk") << "full";
    QTest::newRow("read-only medium") << "readonly";
}

void tst_failing_disk::failingSave_keepsEveryPoint()
{
    QFETCH(QString, kind);
    if (!runningAsRoot())
        QSKIP("mounting a small disk needs root (CI runs as root)");
    SmallDisk disk;
    QVERIFY2(disk.mount(), qPrintable(disk.error));
    WindowFixture f(disk.mountPoint.path());
    QVERIFY(f.dir.isValid());

    FailingMatch m;
    if (kind == QLatin1String("full")) {
        m.breakDisk = [&] { QVERIFY(disk.fill()); };
        m.repairDisk = [&] { disk.unfill(); };
        m.reasonStart = QStringLiteral("le disque est plein");
    } else {
        m.breakDisk = [&] { QVERIFY(disk.setReadOnly(true)); };
        m.repairDisk = [&] { QVERIFY(disk.setReadOnly(false)); };
        m.reasonStart = QStringLiteral("le support est en lecture seule");
    }
    m.during = everyOperation();
    m.sheetDuring = SheetAfterEveryOperation;
    playFailingMatch(f, m);
}

void tst_failing_disk::newMatch_historyCannotBeWritten_sheetKept()
{
    if (!runningAsRoot())
        QSKIP("mounting a small disk needs root (CI runs as root)");
    SmallDisk disk;
    QVERIFY2(disk.mount(), qPrintable(disk.error));
    WindowFixture f(disk.mountPoint.path());
    QVERIFY(f.dir.isValid());
    f.start();
    f.play({7, 5, 3});
    QVERIFY(disk.fill());
    f.dialogs.answers = {DlgButton::Yes};
    f.key(Qt::Key_F2);
    const QStringList errors = errorsShown(f);
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors.first().contains(QStringLiteral("FeuilleMatch.txt")), qPrintable(errors.first()));
    QCOMPARE(f.sheet(), QStringLiteral("(7,5) (3,-)")); // not emptied
    QVERIFY(!f.w->Joueur1());
    disk.unfill();
    f.dialogs.answers = {DlgButton::Yes};
    f.key(Qt::Key_F2);
    QCOMPARE(errorsShown(f).size(), 1);
    QCOMPARE(f.savedSheet(), QStringLiteral("(-,-)"));
    QVERIFY(QFile::exists(f.path(QStringLiteral("FeuilleMatch.txt"))));
}

// The history can be written but the backup cannot (a folder stands in its place): the
// new match starts in memory; the finished sheet is in the history.
void tst_failing_disk::newMatch_backupCannotBeWritten_matchStarts()
{
    WindowFixture f;
    f.start();
    f.play({7, 5, 3});
    QTest::mouseClick(f.w->btnClockSum, Qt::LeftButton);
    f.w->setChrono1(61000);
    QVERIFY(QFile::remove(f.backup()));
    QVERIFY(QDir(f.dir.path()).mkdir(QStringLiteral("FeuilleMatch.bin")));
    f.dialogs.answers = {DlgButton::Yes};
    f.key(Qt::Key_F2);
    const QStringList errors = errorsShown(f);
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors.first().startsWith(QStringLiteral("Impossible de créer le fichier")), qPrintable(errors.first()));
    QCOMPARE(f.sheet(), QStringLiteral("(-,-)"));
    QVERIFY(f.w->Joueur1());
    QCOMPARE(f.w->Chrono1(), 0);
    QCOMPARE(f.w->Chrono1Lbl->text(), QStringLiteral("00:00"));
    QCOMPARE(f.w->lblSauvegarde->text(), QStringLiteral("Sauvegarde impossible : un dossier porte ce nom"));
    QVERIFY(!f.w->lblSauvegarde->isHidden());
    QFile history(f.path(QStringLiteral("FeuilleMatch.txt")));
    QVERIFY(history.open(QIODevice::ReadOnly));
    QVERIFY(history.readAll().contains("3\t\r\r\n"));
    QVERIFY(QDir(f.dir.path()).rmdir(QStringLiteral("FeuilleMatch.bin")));
    f.play({4});
    QVERIFY(f.w->lblSauvegarde->isHidden());
    QCOMPARE(f.savedSheet(), QStringLiteral("(4,-)"));
}

void tst_failing_disk::startUp_removesOnlyOurTemporaryFiles()
{
    WindowFixture f;
    const QStringList kept = {
        QStringLiteral("FeuilleMatch.txt.backup"),  QStringLiteral("FeuilleMatch.bin.ancien"),
        QStringLiteral("FeuilleMatch.ini.saison"),  QStringLiteral("FeuilleMatch.txt.Ab12Cd"),
        QStringLiteral("notes du club.txt"),        QStringLiteral("FeuilleMatch.bin.zelvano-tmp-0123456789AB"),
        QStringLiteral("FeuilleMatch.bin.zelvano-tmp-0123456789a"), QStringLiteral("Autre.bin.zelvano-tmp-0123456789ab"),
        QStringLiteral(".cache"),
    };
    const QStringList ours = {
        QStringLiteral("FeuilleMatch.bin.zelvano-tmp-0123456789ab"), QStringLiteral("FeuilleMatch.txt.zelvano-tmp-ffffffffffff"),
        QStringLiteral("FeuilleMatch.ini.zelvano-tmp-a1b2c3d4e5f6"), QStringLiteral("tmp.txt.zelvano-tmp-000000000000"),
        QStringLiteral(".zelvano-probe.zelvano-tmp-9876543210fe"),
    };
    for (const QString &name : kept + ours) {
        QFile file(f.path(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(name.toUtf8());
    }
    f.start();
    QStringList expected = kept;
    expected << QStringLiteral("FeuilleMatch.bin"); // the first start writes the backup
    expected.sort();
    QCOMPARE(filesIn(f.dir.path()), expected);
    for (const QString &name : kept) {
        QFile file(f.path(name));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), name.toUtf8());
    }
}

void tst_failing_disk::documentsFolder_choice_data()
{
    QTest::addColumn<QString>("shared"); // what stands at the shared folder's place
    QTest::addColumn<bool>("chosen");    // the shared folder is used
    QTest::addColumn<QString>("reason"); // in the warning when it is not; empty: no warning
    QTest::newRow("absent") << "absent" << false << "";
    QTest::newRow("writable folder") << "folder" << true << "";
    QTest::newRow("a file") << "file" << false << "Ce n'est pas un dossier.";
    QTest::newRow("read-only medium") << "readonly" << false << "Le support est en lecture seule.";
}

void tst_failing_disk::documentsFolder_choice()
{
    QFETCH(QString, shared);
    QFETCH(bool, chosen);
    QFETCH(QString, reason);
    QTemporaryDir root;
    const QString user = root.filePath(QStringLiteral("Documents"));
    QString sharedPath = root.filePath(QStringLiteral("zelvano"));
    SmallDisk disk;
    if (shared == QLatin1String("folder")) {
        QVERIFY(QDir().mkpath(sharedPath));
    } else if (shared == QLatin1String("file")) {
        QFile file(sharedPath);
        QVERIFY(file.open(QIODevice::WriteOnly));
    } else if (shared == QLatin1String("readonly")) {
        if (!runningAsRoot())
            QSKIP("mounting a small disk needs root (CI runs as root)");
        QVERIFY2(disk.mount(), qPrintable(disk.error));
        QVERIFY(disk.setReadOnly(true));
        sharedPath = disk.mountPoint.path();
    }
    const DocumentsFolder folder = chooseDocumentsFolder(sharedPath, user);
    QCOMPARE(folder.path, chosen ? QFileInfo(sharedPath).absoluteFilePath() : user);
    if (reason.isEmpty()) {
        QCOMPARE(folder.warning, QString());
    } else {
        QVERIFY2(folder.warning.contains(QStringLiteral("\"%1\"").arg(sharedPath)), qPrintable(folder.warning));
        QVERIFY2(folder.warning.contains(user), qPrintable(folder.warning));
        QVERIFY2(folder.warning.contains(reason), qPrintable(folder.warning));
    }
    if (shared == QLatin1String("readonly"))
        QVERIFY(disk.setReadOnly(false));
    // The probe leaves nothing behind.
    if (chosen)
        QCOMPARE(filesIn(sharedPath), QStringList());
}

void tst_failing_disk::documentsFolder_sharedUnusable_saysSoAtStart()
{
    QTemporaryDir root;
    const QString sharedPath = root.filePath(QStringLiteral("zelvano"));
    QFile file(sharedPath);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    const QString user = root.filePath(QStringLiteral("Documents"));

    WindowFixture f;
    TMainFrmEnv env = f.env();
    env.documentsDir = QString();
    env.sharedDocumentsDir = sharedPath;
    env.userDocumentsDir = user;
    f.w = std::make_unique<TMainFrm>(env);
    QCOMPARE(f.w->BackupBin, user + QStringLiteral("/FeuilleMatch.bin"));
    QCOMPARE(f.dialogs.count(), 1);
    QCOMPARE(f.dialogs.last()->kind, DlgKind::Warning);
    QVERIFY(f.dialogs.last()->text.startsWith(QStringLiteral("Le dossier partagé \"%1\"").arg(sharedPath)));
    QVERIFY(f.dialogs.last()->text.contains(user));
    QVERIFY(QFile::exists(f.w->BackupBin));

    // A shared folder that is fine is used silently.
    QVERIFY(file.remove());
    QVERIFY(QDir().mkpath(sharedPath));
    f.dialogs.shown.clear();
    f.w = std::make_unique<TMainFrm>(env);
    QCOMPARE(f.w->BackupBin, sharedPath + QStringLiteral("/FeuilleMatch.bin"));
    QCOMPARE(f.dialogs.count(), 0);
}

// A folder the account may not write: a documents folder made read-only in the middle of
// the match, and a shared folder left read-only by an installer. As root the permission
// bits stop no write, so root runs this same test again as "nobody".
void tst_failing_disk::withoutWritePermission()
{
    if (runningAsRoot()) {
        // The program, copied where "nobody" may run it, and a folder it may write.
        QTemporaryDir place(QStringLiteral("/tmp/zelvano-nobody-XXXXXX"));
        QVERIFY(place.isValid());
        QVERIFY(::chmod(QFile::encodeName(place.path()).constData(), 0755) == 0);
        const QString copy = place.filePath(QStringLiteral("tst_failing_disk"));
        QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), copy));
        QVERIFY(::chmod(QFile::encodeName(copy).constData(), 0755) == 0);
        const QString tmp = place.filePath(QStringLiteral("tmp"));
        QVERIFY(QDir().mkpath(tmp));
        QVERIFY(::chmod(QFile::encodeName(tmp).constData(), 01777) == 0);

        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TMPDIR"), tmp);
        env.insert(QStringLiteral("HOME"), tmp);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        child.setProcessEnvironment(env);
        child.setWorkingDirectory(tmp);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.setChildProcessModifier([] {
            if (::setgroups(0, nullptr) != 0 || ::setgid(NobodyId) != 0 || ::setuid(NobodyId) != 0)
                ::_exit(126);
        });
        child.start(copy, {QStringLiteral("withoutWritePermission")});
        QVERIFY2(child.waitForFinished(120000), "the run as nobody did not end");
        const QString output = QString::fromLocal8Bit(child.readAll());
        QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
                 qPrintable(QStringLiteral("as nobody (exit %1):\n").arg(child.exitCode()) + output));
        QVERIFY2(output.contains(QStringLiteral("PASS   : tst_failing_disk::withoutWritePermission()")),
                 qPrintable(output));
        return;
    }

    // Mid-match: the documents folder becomes read-only.
    {
        WindowFixture f;
        const QByteArray folder = QFile::encodeName(f.dir.path());
        FailingMatch m;
        m.breakDisk = [&] { QVERIFY(::chmod(folder.constData(), 0555) == 0); };
        m.repairDisk = [&] { QVERIFY(::chmod(folder.constData(), 0755) == 0); };
        m.reasonStart = QStringLiteral("accès refusé");
        m.during = everyOperation();
        m.sheetDuring = SheetAfterEveryOperation;
        playFailingMatch(f, m);
        if (QTest::currentTestFailed())
            return;
    }

    // The shared folder exists but this account may not write it.
    QTemporaryDir root;
    const QString shared = root.filePath(QStringLiteral("zelvano"));
    QVERIFY(QDir().mkpath(shared));
    QVERIFY(::chmod(QFile::encodeName(shared).constData(), 0555) == 0);
    const QString user = root.filePath(QStringLiteral("Documents"));
    const DocumentsFolder folder = chooseDocumentsFolder(shared, user);
    QCOMPARE(folder.path, user);
    QVERIFY2(folder.warning.contains(QStringLiteral("Accès refusé")), qPrintable(folder.warning));
    QVERIFY2(folder.warning.contains(shared) && folder.warning.contains(user), qPrintable(folder.warning));
}

void tst_failing_disk::saveNotice_fitsTheCentreColumn_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("timing");
    for (const QSize size : {QSize(1024, 768), QSize(1280, 720), QSize(1920, 1080), QSize(3840, 2160)}) {
        const QByteArray name = QByteArray::number(size.width()) + 'x' + QByteArray::number(size.height());
        QTest::newRow(name + ", timing off") << size << false;
        QTest::newRow(name + ", timing on") << size << true;
    }
}

void tst_failing_disk::saveNotice_fitsTheCentreColumn()
{
    QFETCH(QSize, size);
    QFETCH(bool, timing);
    WindowFixture f;
    f.start();
    f.w->resize(size);
    f.w->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.w.get()));
    if (timing)
        QTest::mouseClick(f.w->btnClock, Qt::LeftButton); // the lap time shows below the notice
    QVERIFY(QFile::remove(f.backup()));
    QVERIFY(QDir(f.dir.path()).mkdir(QStringLiteral("FeuilleMatch.bin")));
    f.type(QStringLiteral("7\n"));
    QLabel *notice = f.w->findChild<QLabel *>(QStringLiteral("lblSauvegarde"));
    QVERIFY(notice && notice->isVisible());
    QApplication::processEvents();

    // Inside the centre column, above the lap-time block, and its text inside the label.
    QWidget *fond = f.w->RectangleFondTab;
    const QRect r = notice->geometry();
    const QRect centre = f.w->LayoutCentre->geometry();
    QVERIFY2(centre.contains(r), qPrintable(QStringLiteral("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height())));
    // What shows of the lap-time block while timing is on, the innings count, the run panel.
    for (QWidget *other : {static_cast<QWidget *>(f.w->LayoutImgChrono), static_cast<QWidget *>(f.w->lblChronoPoint),
                           static_cast<QWidget *>(f.w->ReprisesLbl), static_cast<QWidget *>(f.w->RectangleSerieLbl)}) {
        QCOMPARE(other->isVisible(), timing || (other != f.w->LayoutImgChrono && other != f.w->lblChronoPoint));
        if (!other->isVisible())
            continue;
        const QRect o(other->mapTo(fond, QPoint(0, 0)), other->size());
        QVERIFY2(!r.intersects(o), qPrintable(other->objectName()));
    }
    const int m = notice->margin();
    const QRect inside = notice->contentsRect().adjusted(m, m, -m, -m);
    const QRect need = notice->fontMetrics().boundingRect(inside, Qt::AlignCenter | Qt::TextWordWrap, notice->text());
    QVERIFY2(inside.contains(need), qPrintable(notice->text()));
    QVERIFY(notice->font().pixelSize() >= 16);
    if (size == QSize(1280, 720) || size == QSize(1024, 768)) {
        const QString shot = QDir::temp().filePath(
            QStringLiteral("zelvano-save-notice-%1x%2-%3.png").arg(size.width()).arg(size.height()).arg(timing));
        f.w->grab().save(shot);
        qInfo("screenshot: %s", qPrintable(shot));
    }
}

QTEST_MAIN(tst_failing_disk)
#include "tst_failing_disk.moc"
