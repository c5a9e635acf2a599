// The scoreboard killed at random moments loses at most the change it was making.
//
// crash_driver plays a random operator on the real window as fast as it can; this test
// kills it with SIGKILL at a random moment, again and again, each time restarting on the
// folder the previous run left. After every kill:
// - the backup loads and holds exactly the sheet after the last change the driver reported
//   as saved, or after the next one (the kill fell between the rename and the report);
// - the history file holds whole sheets only: exactly the sheets archived before that
//   point, byte for byte in its text-file form;
// - the settings file, when there is one, holds every setting with a value the program
//   could have written.
// The expected sheets come from playing the same script again in this process, from the
// same folder and the same random start, and recording the rows after every save.
//
// Environment: ZV_CRASHKILL_START replays a run (the overall random start it printed),
// ZV_CRASHKILL_KILLS (200) and ZV_CRASHKILL_BUDGET_S (240) bound the run.
#include "CrashScript.h"
#include "AppError.h"
#include "IniFile.h"
#include "InningsTable.h"
#include "LineList.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <optional>
#include <vector>

namespace {

using Rows = std::vector<InningRow>;

const QString BackupName = QStringLiteral("FeuilleMatch.bin");
const QString IniName = QStringLiteral("FeuilleMatch.ini");
const QString HistoryName = QStringLiteral("FeuilleMatch.txt");

struct Sheet {
    QString name1, name2;
    QStringList rows; // "pts1<TAB>pts2", a null as an empty field
    bool operator==(const Sheet &o) const { return name1 == o.name1 && name2 == o.name2 && rows == o.rows; }
};

QString rowText(const InningRow &r)
{
    const auto field = [](const std::optional<qint32> &v) { return v ? QString::number(*v) : QString(); };
    return field(r.pts[0]) + QLatin1Char('\t') + field(r.pts[1]);
}

QString describe(const Rows &rows)
{
    QStringList parts;
    for (const InningRow &r : rows)
        parts << QLatin1Char('(') + rowText(r).replace(QLatin1Char('\t'), QLatin1Char(',')) + QLatin1Char(')');
    return parts.join(QLatin1Char(' '));
}

QString describe(const std::vector<Sheet> &sheets)
{
    QStringList parts;
    for (const Sheet &s : sheets)
        parts << QStringLiteral("[%1|%2: %3 rows]").arg(s.name1, s.name2).arg(s.rows.size());
    return parts.join(QLatin1Char(' '));
}

// Reads the backup as a restart would; nullopt and the reason when it does not load.
std::optional<Rows> loadBackup(const QString &path, QString *why)
{
    InningsTable table;
    try {
        table.loadFromFile(path);
    } catch (const AppError &e) {
        *why = e.message();
        return std::nullopt;
    }
    return table.rows();
}

// Parses the history file into its sheets and checks its exact bytes: every entry of the
// latest sheet stored as text CR CR LF, every entry of an earlier sheet as text CR LF
// followed by an empty line (what loading and saving again makes of it).
bool parseHistory(const QByteArray &bytes, std::vector<Sheet> *sheets, QString *why)
{
    static const QRegularExpression header(
        QStringLiteral("^([^\\t]*)\\t([^\\t]*)\\t(\\d\\d)/(\\d\\d)/(\\d{4}) (\\d\\d):(\\d\\d)$"));
    static const QRegularExpression row(QStringLiteral("^(-?\\d+)?\\t(-?\\d+)?$"));
    sheets->clear();
    LineList list;
    list.loadFromBytes(bytes);
    if (list.count() % 2 != 0) {
        *why = QStringLiteral("odd number of entries (%1)").arg(list.count());
        return false;
    }
    QStringList texts;
    for (int i = 0; i < list.count(); i += 2) {
        if (list.entries.at(i).isEmpty() || !list.entries.at(i + 1).isEmpty()) {
            *why = QStringLiteral("entry %1 is not a text followed by an empty entry").arg(i);
            return false;
        }
        texts << list.entries.at(i);
    }
    for (const QString &text : std::as_const(texts)) {
        const QRegularExpressionMatch h = header.match(text);
        if (h.hasMatch()) {
            const QDate date(h.captured(5).toInt(), h.captured(4).toInt(), h.captured(3).toInt());
            const QTime time(h.captured(6).toInt(), h.captured(7).toInt());
            if (!date.isValid() || !time.isValid()) {
                *why = QStringLiteral("header with an impossible date: %1").arg(text);
                return false;
            }
            sheets->push_back({h.captured(1), h.captured(2), {}});
        } else if (row.match(text).hasMatch() && !sheets->empty()) {
            sheets->back().rows << text;
        } else {
            *why = QStringLiteral("neither a header nor a row of a sheet: \"%1\"").arg(text);
            return false;
        }
    }
    for (const Sheet &s : *sheets) {
        if (s.rows.isEmpty()) {
            *why = QStringLiteral("a sheet without rows");
            return false;
        }
    }
    LineList expected;
    expected.encoding = list.encoding;
    for (int i = 0; i < texts.size(); ++i) {
        const bool latest = i >= texts.size() - (sheets->empty() ? 0 : sheets->back().rows.size() + 1);
        if (latest) {
            expected.entries << texts.at(i) + QLatin1Char('\r');
        } else {
            expected.entries << texts.at(i) << QString();
        }
    }
    if (expected.toBytes() != bytes) {
        *why = QStringLiteral("the bytes are not those of whole sheets (%1 bytes)").arg(bytes.size());
        return false;
    }
    return true;
}

std::optional<std::vector<Sheet>> readHistory(const QString &path, QString *why)
{
    std::vector<Sheet> sheets;
    if (!QFile::exists(path))
        return sheets;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *why = f.errorString();
        return std::nullopt;
    }
    if (!parseHistory(f.readAll(), &sheets, why))
        return std::nullopt;
    return sheets;
}

// Every setting present, with a value the script or the defaults could have given it.
bool checkSettings(const QString &path, QString *why)
{
    const IniFile ini(path);
    const auto need = [&](const char *section, const char *key) -> std::optional<QString> {
        const auto v = ini.value(QLatin1String(section), QLatin1String(key));
        if (!v)
            *why = QStringLiteral("[%1] %2 missing").arg(QLatin1String(section), QLatin1String(key));
        return v;
    };
    for (const char *key : {"KeyPlus", "KeyMoins", "KeyOK", "KeyChrono"}) {
        const auto v = need("REMOTE", key);
        if (!v)
            return false;
        bool ok = false;
        const int code = v->toInt(&ok);
        if (!ok || !CrashScript::isAssignableCode(code)) {
            *why = QStringLiteral("[REMOTE] %1=%2").arg(QLatin1String(key), *v);
            return false;
        }
    }
    for (const char *key : {"joueur1", "joueur2"}) {
        const auto v = need("JOUEURS", key);
        if (!v)
            return false;
        if (!CrashScript::playerNames().contains(*v)) {
            *why = QStringLiteral("[JOUEURS] %1=\"%2\"").arg(QLatin1String(key), *v);
            return false;
        }
    }
    const std::pair<const char *, const char *> fixed[] = {
        {"TEMPS", "Chrono1"}, {"TEMPS", "Chrono2"}, {"TEMPS", "InChrono"}};
    for (const auto &[section, key] : fixed) {
        const auto v = need(section, key);
        if (!v)
            return false;
        if (*v != QLatin1String("0")) {
            *why = QStringLiteral("[%1] %2=%3").arg(QLatin1String(section), QLatin1String(key), *v);
            return false;
        }
    }
    const auto host = need("WIFI", "host");
    const auto port = need("WIFI", "port");
    if (!host || !port)
        return false;
    if (*host != QLatin1String("192.168.1.20") || *port != QLatin1String("50000")) {
        *why = QStringLiteral("[WIFI] %1:%2").arg(*host, *port);
        return false;
    }
    return true;
}

bool copyFolder(const QString &from, const QString &to)
{
    const QDir src(from);
    for (const QString &name : src.entryList(QDir::Files | QDir::Hidden)) {
        QFile::remove(QDir(to).filePath(name));
        if (!QFile::copy(src.filePath(name), QDir(to).filePath(name)))
            return false;
    }
    return true;
}

// What the script did from a folder, played again in this process.
struct Replay {
    std::optional<Rows> initial;            // the backup it started from; nullopt: none
    std::vector<Rows> states;               // states[k]: the rows after k saves (states[0] = initial)
    struct Archive {
        qint64 savesBefore;                 // saves completed when the sheet was archived
        Sheet sheet;
    };
    std::vector<Archive> archives;
    QStringList unexpected;
    int steps = 0;
};

// Plays the script from `folder` (a copy, changed by the replay) until `targetSaves` saves
// have completed. Returns false when that takes unreasonably many steps.
bool replay(const QString &folder, quint64 start, qint64 targetSaves, Replay *out)
{
    QString why;
    const QString backup = QDir(folder).filePath(BackupName);
    out->initial = QFile::exists(backup) ? loadBackup(backup, &why) : std::nullopt;
    out->states.assign(1, out->initial.value_or(Rows{}));

    ScriptedWindow sw;
    sw.onSave = [&](qint64) { out->states.push_back(sw.window->Feuille->rows()); };
    sw.open(folder);
    out->unexpected << sw.takeUnexpectedDialogs();
    CrashScript script(sw, start);
    const qint64 maxSteps = 200000 + 1000 * targetSaves;
    while (sw.saves < targetSaves) {
        if (out->steps++ > maxSteps)
            return false;
        const Rows before = sw.window->Feuille->rows();
        const QString name1 = sw.window->Nom1Lbl->text();
        const QString name2 = sw.window->Nom2Lbl->text();
        const qint64 savesBefore = sw.saves;
        const CrashScript::Action action = script.step();
        QApplication::processEvents();
        if (action == CrashScript::Action::NewMatch) {
            Sheet sheet{name1, name2, {}};
            for (const InningRow &r : before)
                sheet.rows << rowText(r);
            out->archives.push_back({savesBefore, sheet});
        }
        out->unexpected << sw.takeUnexpectedDialogs();
    }
    return true;
}

struct RunOutput {
    bool running = false;
    qint64 saves = 0;
    QStringList dialogs;
};

RunOutput parseOutput(const QByteArray &out)
{
    RunOutput r;
    const QList<QByteArray> lines = out.split('\n');
    // Only whole lines count: the last piece has no line break yet.
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        const QByteArray &line = lines.at(i);
        if (line == "running")
            r.running = true;
        else if (line.startsWith("saves "))
            r.saves = line.mid(6).toLongLong();
        else if (line.startsWith("dialog "))
            r.dialogs << QString::fromUtf8(line.mid(7));
    }
    return r;
}

// The offscreen platform says so for every window shown; hundreds of windows are shown here.
QtMessageHandler previousHandler = nullptr;
void quietHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (message == QLatin1String("This plugin does not support propagateSizeHints()"))
        return;
    previousHandler(type, context, message);
}

quint64 envNumber(const char *name, quint64 fallback)
{
    bool ok = false;
    const quint64 v = qEnvironmentVariable(name).toULongLong(&ok, 0);
    return ok ? v : fallback;
}

} // namespace

class tst_CrashKill : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { previousHandler = qInstallMessageHandler(quietHandler); }
    void replay_sameStartValue_sameSaves();
    void historyCheck_acceptsWholeSheets();
    void historyCheck_rejectsDamage_data();
    void historyCheck_rejectsDamage();
    void killedAtRandomMoments_restartsFromLastOrPreviousChange();

private:
    QByteArray goodHistory() const;
};

// The reference states are only worth something if playing the script is deterministic.
void tst_CrashKill::replay_sameStartValue_sameSaves()
{
    QTemporaryDir a, b;
    QVERIFY(a.isValid() && b.isValid());
    Replay ra, rb;
    QVERIFY(replay(a.path(), 0x2024c0ffeeULL, 400, &ra));
    QVERIFY(replay(b.path(), 0x2024c0ffeeULL, 400, &rb));
    QVERIFY2(ra.unexpected.isEmpty(), qPrintable(ra.unexpected.join(QLatin1Char('\n'))));
    QCOMPARE(ra.states.size(), rb.states.size());
    for (size_t i = 0; i < ra.states.size(); ++i)
        QVERIFY2(ra.states[i] == rb.states[i], qPrintable(QStringLiteral("save %1 differs").arg(i)));
    QCOMPARE(ra.archives.size(), rb.archives.size());
    QVERIFY2(!ra.archives.empty(), "400 saves without a new match: the script never archives");

    // The history written by the replay is exactly the archived sheets.
    QString why;
    const auto sheets = readHistory(QDir(a.path()).filePath(HistoryName), &why);
    QVERIFY2(sheets, qPrintable(why));
    QCOMPARE(sheets->size(), ra.archives.size());
    for (size_t i = 0; i < sheets->size(); ++i)
        QVERIFY2((*sheets)[i] == ra.archives[i].sheet, qPrintable(QStringLiteral("sheet %1").arg(i)));
}

QByteArray tst_CrashKill::goodHistory() const
{
    // Two archives: the first sheet loaded and saved again, the second as written.
    return QByteArrayLiteral("Zo\xe9\tJoueur 2\t05/03/2016 14:05\r\n\r\n7\t15\r\n\r\n\t\r\n\r\n"
                             "Joueur 1\tJoueur 2\t06/03/2016 09:00\r\r\n-1\t0\r\r\n3\t\r\r\n");
}

void tst_CrashKill::historyCheck_acceptsWholeSheets()
{
    std::vector<Sheet> sheets;
    QString why;
    QVERIFY2(parseHistory(goodHistory(), &sheets, &why), qPrintable(why));
    QCOMPARE(sheets.size(), size_t(2));
    QCOMPARE(sheets[0], (Sheet{QStringLiteral("Zoé"), QStringLiteral("Joueur 2"), {QStringLiteral("7\t15"), QStringLiteral("\t")}}));
    QCOMPARE(sheets[1], (Sheet{QStringLiteral("Joueur 1"), QStringLiteral("Joueur 2"), {QStringLiteral("-1\t0"), QStringLiteral("3\t")}}));
}

void tst_CrashKill::historyCheck_rejectsDamage_data()
{
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray good = goodHistory();
    QTest::newRow("cut inside the last row") << good.left(good.size() - 4);
    QTest::newRow("cut after the last row's CR") << good.left(good.size() - 2);
    QTest::newRow("cut inside a header") << good.left(good.indexOf("Joueur 1") + 5);
    QTest::newRow("latest sheet in the loaded form") << QByteArray(good).replace("\r\r\n", "\r\n\r\n");
    QTest::newRow("earlier sheet in the written form") << QByteArray(good).replace("15\r\n\r\n", "15\r\r\n");
    QTest::newRow("header without rows") << QByteArrayLiteral("A\tB\t05/03/2016 14:05\r\r\n");
    QTest::newRow("row before any header") << QByteArrayLiteral("7\t15\r\r\n");
    QTest::newRow("impossible date") << QByteArrayLiteral("A\tB\t31/02/2016 14:05\r\r\n1\t2\r\r\n");
    QTest::newRow("zeros from a torn write") << QByteArray(good).append(QByteArray(16, '\0'));
}

void tst_CrashKill::historyCheck_rejectsDamage()
{
    QFETCH(QByteArray, bytes);
    std::vector<Sheet> sheets;
    QString why;
    QVERIFY(!parseHistory(bytes, &sheets, &why));
}

void tst_CrashKill::killedAtRandomMoments_restartsFromLastOrPreviousChange()
{
    const quint64 overall = envNumber("ZV_CRASHKILL_START", QRandomGenerator::global()->generate64());
    const int wantedKills = int(envNumber("ZV_CRASHKILL_KILLS", 200));
    const qint64 budgetMs = qint64(envNumber("ZV_CRASHKILL_BUDGET_S", 240)) * 1000;
    const int runsPerChain = 20; // then a fresh folder, so the history stays small
    qInfo("random start 0x%016llx (replay with ZV_CRASHKILL_START=0x%016llx)",
          (unsigned long long)overall, (unsigned long long)overall);

    QTemporaryDir root;
    QVERIFY(root.isValid());
    ScriptRandom killRandom(ScriptRandom::derive(overall, ~0ULL));
    QElapsedTimer elapsed;
    elapsed.start();
    int made = 0, survived = 0, chain = 0, runInChain = runsPerChain, settingsChecked = 0;
    qint64 savesSeen = 0, archivesSeen = 0;
    int killsAfterRename = 0; // the backup already held the save the driver had not reported
    QStringList temporariesSeen;
    QString chainDir;
    QStringList failures;

    while (made < wantedKills && !elapsed.hasExpired(budgetMs)) {
        if (runInChain == runsPerChain) {
            chainDir = root.filePath(QStringLiteral("chain-%1").arg(++chain));
            QVERIFY(QDir().mkpath(chainDir));
            runInChain = 0;
        }
        ++runInChain;
        const quint64 start = ScriptRandom::derive(overall, quint64(made));
        const int delayMs = int(killRandom.below(301));
        const QString where = QStringLiteral("kill %1 (start 0x%2, chain %3, run %4, %5 ms)")
                                  .arg(made + 1)
                                  .arg(start, 16, 16, QLatin1Char('0'))
                                  .arg(chain)
                                  .arg(runInChain)
                                  .arg(delayMs);

        // The folder as this run starts from it, for the replay.
        QTemporaryDir replayDir;
        QVERIFY(replayDir.isValid());
        QVERIFY(copyFolder(chainDir, replayDir.path()));
        QString startWhy;
        const auto startSheets = readHistory(QDir(replayDir.path()).filePath(HistoryName), &startWhy);
        QVERIFY2(startSheets, qPrintable(where + QStringLiteral(": the history to start from: ") + startWhy));

        QProcess driver;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("LC_ALL"), QStringLiteral("fr_FR.UTF-8")); // dates as dd/mm/yyyy hh:nn
        driver.setProcessEnvironment(env);
        driver.start(QStringLiteral(ZV_CRASH_DRIVER),
                     {chainDir, QStringLiteral("0x%1").arg(start, 16, 16, QLatin1Char('0'))});
        QVERIFY2(driver.waitForStarted(10000), qPrintable(driver.errorString()));
        QByteArray out;
        QDeadlineTimer startUp(30000);
        while (!parseOutput(out).running && driver.state() == QProcess::Running && !startUp.hasExpired()) {
            driver.waitForReadyRead(int(qMin<qint64>(startUp.remainingTime(), 1000)));
            out += driver.readAllStandardOutput();
        }
        QVERIFY2(parseOutput(out).running, qPrintable(where + QStringLiteral(": the driver did not start: ")
                                                       + QString::fromLocal8Bit(driver.readAllStandardError())));
        // Let it play for the random delay, reading what it reports meanwhile.
        QDeadlineTimer killAt(delayMs);
        while (!killAt.hasExpired() && driver.state() == QProcess::Running) {
            driver.waitForReadyRead(int(qMax<qint64>(killAt.remainingTime(), 0)));
            out += driver.readAllStandardOutput();
        }
        QVERIFY2(driver.state() == QProcess::Running,
                 qPrintable(where + QStringLiteral(": the driver stopped by itself: ")
                            + QString::fromLocal8Bit(driver.readAllStandardError())));
        driver.kill(); // SIGKILL
        QVERIFY(driver.waitForFinished(10000));
        out += driver.readAllStandardOutput();
        ++made;

        const RunOutput run = parseOutput(out);
        QString failure;
        Replay expected;
        if (!run.dialogs.isEmpty())
            failure = QStringLiteral("the driver met dialogs: ") + run.dialogs.join(QStringLiteral(" / "));
        else if (!replay(replayDir.path(), start, run.saves + 1, &expected))
            failure = QStringLiteral("the replay did not reach save %1").arg(run.saves + 1);
        else if (!expected.unexpected.isEmpty())
            failure = QStringLiteral("the replay met dialogs: ") + expected.unexpected.join(QStringLiteral(" / "));

        // The backup: the state after save c or after save c + 1.
        const qint64 c = run.saves;
        bool atNext = false;
        if (failure.isEmpty()) {
            const QString backup = QDir(chainDir).filePath(BackupName);
            QString why;
            if (!QFile::exists(backup)) {
                if (c != 0 || expected.initial)
                    failure = QStringLiteral("no backup after %1 saves").arg(c);
            } else if (const auto rows = loadBackup(backup, &why); !rows) {
                failure = QStringLiteral("the backup does not load: ") + why;
            } else if (*rows == expected.states.at(size_t(c))) {
                atNext = *rows == expected.states.at(size_t(c + 1));
            } else if (*rows == expected.states.at(size_t(c + 1))) {
                atNext = true;
            } else {
                failure = QStringLiteral("backup %1 is neither save %2 %3 nor save %4 %5")
                              .arg(describe(*rows))
                              .arg(c)
                              .arg(describe(expected.states.at(size_t(c))))
                              .arg(c + 1)
                              .arg(describe(expected.states.at(size_t(c + 1))));
            }
        }

        // The history: the sheets it started with, then those archived before save c; the
        // sheet archived between saves c and c + 1 too when the backup holds save c + 1,
        // perhaps when it holds save c.
        if (failure.isEmpty()) {
            QString why;
            const auto actual = readHistory(QDir(chainDir).filePath(HistoryName), &why);
            if (!actual) {
                failure = QStringLiteral("the history file is damaged: ") + why;
            } else {
                std::vector<Sheet> required = *startSheets;
                std::optional<Sheet> optional;
                for (const Replay::Archive &a : expected.archives) {
                    if (a.savesBefore < c)
                        required.push_back(a.sheet);
                    else if (a.savesBefore == c)
                        optional = a.sheet;
                }
                std::vector<Sheet> withOptional = required;
                if (optional)
                    withOptional.push_back(*optional);
                const bool asRequired = *actual == required;
                const bool asWithOptional = optional && *actual == withOptional;
                if (!asRequired && !asWithOptional)
                    failure = QStringLiteral("history %1 is neither %2 nor %3")
                                  .arg(describe(*actual), describe(required), describe(withOptional));
                else if (optional && atNext && !asWithOptional
                         && expected.states.at(size_t(c)) != expected.states.at(size_t(c + 1)))
                    failure = QStringLiteral("the backup holds the new match but the history lacks the finished one");
            }
        }

        // The settings, when some action wrote them.
        if (failure.isEmpty()) {
            const QString ini = QDir(chainDir).filePath(IniName);
            QString why;
            if (QFile::exists(ini)) {
                if (!checkSettings(ini, &why))
                    failure = QStringLiteral("the settings file is wrong: ") + why;
                else
                    ++settingsChecked;
            }
        }

        // Nothing but the three files, and the temporary file of a replacement the kill
        // interrupted between its creation and its rename (<file>.zelvano-tmp-<12 hex>):
        // it does no harm to the data and the next start removes it, but it is counted.
        if (failure.isEmpty()) {
            static const QRegularExpression temporary(
                QStringLiteral("^FeuilleMatch\\.(bin|txt|ini)\\.zelvano-tmp-[0-9a-f]{12}$"));
            QStringList stray = QDir(chainDir).entryList(QDir::Files | QDir::Hidden);
            stray.removeAll(BackupName);
            stray.removeAll(IniName);
            stray.removeAll(HistoryName);
            for (const QString &name : std::as_const(stray)) {
                if (!temporary.match(name).hasMatch()) {
                    failure = QStringLiteral("a foreign file in the documents folder: ") + name;
                } else if (!temporariesSeen.contains(name)) {
                    temporariesSeen << name;
                    qInfo("%s: left behind %s", qPrintable(where), qPrintable(name));
                }
            }
        }

        if (failure.isEmpty()) {
            ++survived;
            savesSeen += c;
            archivesSeen += qint64(std::count_if(expected.archives.begin(), expected.archives.end(),
                                                 [c](const Replay::Archive &a) { return a.savesBefore < c; }));
            if (atNext && expected.states.at(size_t(c)) != expected.states.at(size_t(c + 1)))
                ++killsAfterRename;
        } else {
            failures << where + QStringLiteral(", after %1 reported saves: ").arg(c) + failure;
            qWarning("%s", qPrintable(failures.last()));
            runInChain = runsPerChain; // go on from a fresh folder
        }
    }

    const QString summary =
        QStringLiteral("kills survived / kills made: %1 / %2 in %3 s, random start 0x%4 "
                       "(%5 saves and %6 new matches before the kills, %7 kills after a rename "
                       "not yet reported, %8 temporary files left behind)")
            .arg(survived)
            .arg(made)
            .arg(elapsed.elapsed() / 1000.0, 0, 'f', 1)
            .arg(overall, 16, 16, QLatin1Char('0'))
            .arg(savesSeen)
            .arg(archivesSeen)
            .arg(killsAfterRename)
            .arg(temporariesSeen.size());
    qInfo("%s", qPrintable(summary));
    QDir().mkpath(QStringLiteral(ZV_E2E_ARTIFACTS));
    QFile log(QStringLiteral(ZV_E2E_ARTIFACTS "/crashkill.txt"));
    if (log.open(QIODevice::Append | QIODevice::Text))
        log.write(QDateTime::currentDateTime().toString(Qt::ISODate).toUtf8() + ' ' + summary.toUtf8() + '\n');

    QVERIFY2(failures.isEmpty(), qPrintable(failures.mid(0, 5).join(QLatin1Char('\n'))));
    QVERIFY2(made >= wantedKills,
             qPrintable(QStringLiteral("only %1 kills within the time budget").arg(made)));
    QVERIFY2(settingsChecked > 0, "no run wrote the settings file: its check never ran");
}

QTEST_MAIN(tst_CrashKill)
#include "tst_crashkill.moc"
