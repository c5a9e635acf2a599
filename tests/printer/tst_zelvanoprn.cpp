// The print program run as the scoreboard's users run it: ZelvanoPrn --pdf OUT FILE, without
// any display; the PDF is read back with poppler's pdfinfo and pdftotext.
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Run {
    int exitCode = -1;
    QString stdErr;
};

Run runPrinter(const QStringList &args)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // No display at all: the program has to find its way without one.
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(ZELVANOPRN), args);
    Run r;
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit)
        return r;
    r.exitCode = p.exitCode();
    r.stdErr = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

QString tool(const QString &name)
{
    return QStandardPaths::findExecutable(name);
}

QByteArray runTool(const QString &name, const QStringList &args)
{
    QProcess p;
    p.start(tool(name), args);
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return QByteArray();
    return p.readAllStandardOutput();
}

int pdfPages(const QString &pdf)
{
    const QString info = QString::fromUtf8(runTool(QStringLiteral("pdfinfo"), {pdf}));
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("^Pages:\\s+(\\d+)"),
                                                         QRegularExpression::MultilineOption)
                                          .match(info);
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

QString pdfText(const QString &pdf, int page)
{
    return QString::fromUtf8(runTool(QStringLiteral("pdftotext"),
                                     {QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"),
                                      QString::number(page), QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf,
                                      QStringLiteral("-")}));
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray longMatch(int innings)
{
    QByteArray bytes("Alice\tBruno\t01/02/2024 10:00\r\r\n");
    for (int i = 0; i < innings; ++i)
        bytes += QByteArray::number(i % 7) + '\t' + QByteArray::number(i % 4) + "\r\r\n";
    return bytes;
}

} // namespace

class TestZelvanoPrn : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void pdf_data();
    void pdf();
    void pdfErrors_data();
    void pdfErrors();
};

void TestZelvanoPrn::initTestCase()
{
    if (tool(QStringLiteral("pdfinfo")).isEmpty() || tool(QStringLiteral("pdftotext")).isEmpty())
        QSKIP("poppler-utils (pdfinfo, pdftotext) are not installed");
}

void TestZelvanoPrn::pdf_data()
{
    QTest::addColumn<QString>("source"); // a file of the test data, or "long:N"
    QTest::addColumn<int>("minPages");
    QTest::addColumn<int>("maxPages");
    QTest::addColumn<QStringList>("firstPage");
    QTest::addColumn<QStringList>("lastPage");

    QTest::newRow("match in progress")
        << "sheet.txt" << 1 << 1
        << QStringList{"Feuille de match", "R\u00e9mi S\u00e9v\u00e9rac", "Fran\u00e7ois L\u0153uvre", "05/03/2016 14:05",
                       "Reprise", "Cumul"}
        << QStringList{"R\u00e9sultat", "Reprises jou\u00e9es", "30", "20", "4,286", "3,333", "Meilleure s\u00e9rie", "Page 1 / 1"};
    QTest::newRow("new match") << "new-match.txt" << 1 << 1 << QStringList{"Joueur 1", "Joueur 2", "07/11/2023 20:30"}
                               << QStringList{"0,000", "Page 1 / 1"};
    QTest::newRow("long match") << "long:120" << 2 << 6 << QStringList{"Feuille de match", "Alice", "Bruno", "Page 1 /"}
                                << QStringList{"Feuille de match (suite)", "Reprise", "120", "R\u00e9sultat"};
}

void TestZelvanoPrn::pdf()
{
    QFETCH(QString, source);
    QFETCH(int, minPages);
    QFETCH(int, maxPages);
    QFETCH(QStringList, firstPage);
    QFETCH(QStringList, lastPage);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QString input = QStringLiteral(ZV_PRINTER_DATA "/") + source;
    if (source.startsWith(QLatin1String("long:"))) {
        input = dir.filePath(QStringLiteral("tmp.txt"));
        QVERIFY(writeFile(input, longMatch(source.mid(5).toInt())));
    }
    const QString pdf = dir.filePath(QStringLiteral("feuille avec espaces.pdf"));

    const Run run = runPrinter({QStringLiteral("--pdf"), pdf, input});
    QVERIFY2(run.exitCode == 0, qPrintable(run.stdErr));
    const int pages = pdfPages(pdf);
    QVERIFY2(pages >= minPages && pages <= maxPages, qPrintable(QString::number(pages)));

    const QString first = pdfText(pdf, 1), last = pdfText(pdf, pages);
    for (const QString &fragment : firstPage)
        QVERIFY2(first.contains(fragment), qPrintable(fragment + QStringLiteral(" not in:\n") + first));
    for (const QString &fragment : lastPage)
        QVERIFY2(last.contains(fragment), qPrintable(fragment + QStringLiteral(" not in:\n") + last));
    if (pages > 1)
        QVERIFY2(!first.contains(QStringLiteral("R\u00e9sultat")), "the result belongs after the last inning");
}

void TestZelvanoPrn::pdfErrors_data()
{
    QTest::addColumn<QString>("situation");
    QTest::addColumn<QStringList>("expected"); // fragments of the message on stderr

    QTest::newRow("missing file") << "missing" << QStringList{"introuvable", "absent.txt"};
    QTest::newRow("points that are no integer") << "bad" << QStringList{"Ligne 3", "'trois'", "tmp.txt"};
    QTest::newRow("empty file") << "empty" << QStringList{"vide"};
    QTest::newRow("output folder missing") << "no-output-folder" << QStringList{"Impossible de cr\u00e9er le fichier"};
    QTest::newRow("no input given") << "no-input" << QStringList{"Utilisation"};
}

void TestZelvanoPrn::pdfErrors()
{
    QFETCH(QString, situation);
    QFETCH(QStringList, expected);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString input = dir.filePath(QStringLiteral("tmp.txt"));
    QString pdf = dir.filePath(QStringLiteral("out.pdf"));
    QStringList args{QStringLiteral("--pdf"), pdf, input};
    if (situation == QLatin1String("missing"))
        args.last() = dir.filePath(QStringLiteral("absent.txt"));
    else if (situation == QLatin1String("bad"))
        QVERIFY(writeFile(input, "A\tB\td\r\r\n1\t2\r\r\ntrois\t4\r\r\n"));
    else if (situation == QLatin1String("empty"))
        QVERIFY(writeFile(input, QByteArray()));
    else if (situation == QLatin1String("no-output-folder")) {
        QVERIFY(writeFile(input, "A\tB\td\r\r\n1\t2\r\r\n"));
        pdf = dir.filePath(QStringLiteral("absent/out.pdf"));
        args[1] = pdf;
    } else if (situation == QLatin1String("no-input"))
        args.removeLast();

    const Run run = runPrinter(args);
    QCOMPARE(run.exitCode, 2);
    for (const QString &fragment : expected)
        QVERIFY2(run.stdErr.contains(fragment), qPrintable(run.stdErr));
    QVERIFY(!QFile::exists(pdf));
}

QTEST_GUILESS_MAIN(TestZelvanoPrn)
#include "tst_zelvanoprn.moc"
