// Reading the print file and laying the sheet out.
#include "Cp1252.h"
#include "PrintSheet.h"
#include "SheetPainter.h"

#include <QFile>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QTemporaryDir>
#include <QTextItem>
#include <QtTest>

using namespace PrintSheet;

namespace {

QByteArray readData(const QString &name)
{
    QFile f(QStringLiteral(ZV_PRINTER_DATA "/") + name);
    if (!f.open(QIODevice::ReadOnly))
        qFatal("missing test file %s", qPrintable(f.fileName()));
    return f.readAll();
}

// Bytes with their NULs, without the literal's terminator.
template <qsizetype N>
QByteArray raw(const char (&bytes)[N])
{
    return QByteArray(bytes, N - 1);
}

// "pts1|pts2" per inning, an empty side where the player has not played.
QStringList describe(const Sheet &sheet)
{
    QStringList rows;
    for (const Inning &i : sheet.innings)
        rows << (i.pts1 ? QString::number(*i.pts1) : QString()) + QLatin1Char('|')
                    + (i.pts2 ? QString::number(*i.pts2) : QString());
    return rows;
}

Sheet sheetOf(int innings)
{
    Sheet s;
    s.name1 = QStringLiteral("Alice");
    s.name2 = QStringLiteral("Bruno");
    s.date = QStringLiteral("01/02/2024 10:00");
    for (int i = 0; i < innings; ++i)
        s.innings.append({i % 7, (i * 3) % 5});
    return s;
}

// The printable area of A4 within 15 mm margins, in the device units of `dpi`.
QSizeF a4At(int dpi)
{
    const QPageLayout layout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(15, 15, 15, 15),
                             QPageLayout::Millimeter);
    return layout.paintRectPixels(dpi).size();
}

// A page that keeps what is drawn on it: every text item with its box and every rectangle,
// both in device coordinates.
struct Drawing {
    struct Text {
        QString text;
        QRectF box;
    };
    QList<Text> texts;
    QList<QRectF> rects;
};

class RecordingEngine : public QPaintEngine {
public:
    Drawing drawn;

    RecordingEngine() : QPaintEngine(QPaintEngine::AllFeatures) {}
    bool begin(QPaintDevice *) override { return true; }
    bool end() override { return true; }
    void updateState(const QPaintEngineState &) override {}
    Type type() const override { return QPaintEngine::User; }
    void drawPixmap(const QRectF &, const QPixmap &, const QRectF &) override {}
    void drawPath(const QPainterPath &) override {}
    void drawPolygon(const QPointF *, int, PolygonDrawMode) override {}
    void drawLines(const QLineF *, int) override {}
    void drawEllipse(const QRectF &) override {}
    void drawRects(const QRectF *r, int n) override
    {
        for (int i = 0; i < n; ++i)
            drawn.rects.append(state->transform().mapRect(r[i]));
    }
    void drawTextItem(const QPointF &p, const QTextItem &ti) override
    {
        const QRectF box(p.x(), p.y() - ti.ascent(), ti.width(), ti.ascent() + ti.descent());
        drawn.texts.append({ti.text(), state->transform().mapRect(box)});
    }
};

class RecordingPage : public QPaintDevice {
public:
    explicit RecordingPage(QSize size) : m_size(size) {}
    QPaintEngine *paintEngine() const override { return &engine; }
    mutable RecordingEngine engine;

protected:
    int metric(PaintDeviceMetric m) const override
    {
        switch (m) {
        case PdmWidth: return m_size.width();
        case PdmHeight: return m_size.height();
        case PdmWidthMM: return qRound(m_size.width() * 25.4 / 300);
        case PdmHeightMM: return qRound(m_size.height() * 25.4 / 300);
        case PdmDepth: return 32;
        case PdmNumColors: return std::numeric_limits<int>::max();
        case PdmDpiX: case PdmDpiY: case PdmPhysicalDpiX: case PdmPhysicalDpiY: return 300;
        case PdmDevicePixelRatio: return 1;
        case PdmDevicePixelRatioScaled: return int(devicePixelRatioFScale());
        }
        return 0;
    }

private:
    QSize m_size;
};

// Records page `page` of `sheet` laid out on A4 at 300 dpi.
Drawing record(const Sheet &sheet, int page, QSize *size = nullptr)
{
    const QSize a4 = a4At(300).toSize();
    RecordingPage device(a4);
    {
        QPainter painter(&device);
        SheetPainter::paintPage(painter, QRectF(QPointF(0, 0), a4), sheet, page);
    }
    if (size)
        *size = a4;
    return device.engine.drawn;
}

QString withoutSpaces(QString s)
{
    return s.remove(QLatin1Char(' '));
}

} // namespace

class TestPrintSheet : public QObject {
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void loadErrors_data();
    void loadErrors();
    void formatAverage_data();
    void formatAverage();
    void cp1252_data();
    void cp1252();
    void paginate_data();
    void paginate();
    void paginate_isTheSameAtEveryResolution();
    void paintPage_drawsTheSheet_data();
    void paintPage_drawsTheSheet();
    void longNames_areDrawnWhole_data();
    void longNames_areDrawnWhole();
    void signatureBoxes_forBothPlayersAndTheReferee();
};

void TestPrintSheet::parse_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("name1");
    QTest::addColumn<QString>("name2");
    QTest::addColumn<QString>("date");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<qint64>("total1");
    QTest::addColumn<qint64>("total2");
    QTest::addColumn<int>("played1");
    QTest::addColumn<int>("played2");
    QTest::addColumn<QString>("average1");
    QTest::addColumn<QString>("average2");
    QTest::addColumn<int>("best1"); // -1: none
    QTest::addColumn<int>("best2");

    const QString remi = QStringLiteral("R\u00e9mi S\u00e9v\u00e9rac");
    const QString francois = QStringLiteral("Fran\u00e7ois L\u0153uvre");
    QTest::newRow("scoreboard file, player 2 to play")
        << readData(QStringLiteral("sheet.txt")) << remi << francois << QStringLiteral("05/03/2016 14:05")
        << QStringList{"3|2", "0|5", "7|0", "1|4", "2|1", "5|8", "12|"} << qint64(30) << qint64(20) << 7 << 6
        << QStringLiteral("4,286") << QStringLiteral("3,333") << 12 << 8;
    QTest::newRow("scoreboard file, new match")
        << readData(QStringLiteral("new-match.txt")) << QStringLiteral("Joueur 1") << QStringLiteral("Joueur 2")
        << QStringLiteral("07/11/2023 20:30") << QStringList{"|"} << qint64(0) << qint64(0) << 0 << 0
        << QStringLiteral("0,000") << QStringLiteral("0,000") << -1 << -1;
    QTest::newRow("crlf endings") << QByteArray("A\tB\t01/01/2020 10:00\r\n4\t6\r\n\t\r\n") << "A" << "B"
                                  << "01/01/2020 10:00" << QStringList{"4|6", "|"} << qint64(4) << qint64(6) << 1 << 1
                                  << "4,000" << "6,000" << 4 << 6;
    QTest::newRow("lf endings, no final break")
        << QByteArray("A\tB\t01/01/2020 10:00\n4\t6\n1\t") << "A" << "B" << "01/01/2020 10:00"
        << QStringList{"4|6", "1|"} << qint64(5) << qint64(6) << 2 << 1 << "2,500" << "6,000" << 4 << 6;
    QTest::newRow("trailing empty line") << QByteArray("A\tB\td\r\r\n2\t3\r\r\n\r\n") << "A" << "B" << "d"
                                         << QStringList{"2|3"} << qint64(2) << qint64(3) << 1 << 1 << "2,000"
                                         << "3,000" << 2 << 3;
    QTest::newRow("blank line after every line, as after a reload")
        << QByteArray("A\tB\td\r\n\r\n2\t3\r\n\r\n5\t\r\n\r\n") << "A" << "B" << "d" << QStringList{"2|3", "5|"}
        << qint64(7) << qint64(3) << 2 << 1 << "3,500" << "3,000" << 5 << 3;
    QTest::newRow("utf-8 with byte-order mark")
        << QByteArray("\xEF\xBB\xBFZo\xC3\xAB\tJ\xC3\xA9r\xC3\xB4me\td\r\n1\t0\r\n") << QStringLiteral("Zo\u00eb")
        << QStringLiteral("J\u00e9r\u00f4me") << "d" << QStringList{"1|0"} << qint64(1) << qint64(0) << 1 << 1
        << "1,000" << "0,000" << 1 << 0;
    QTest::newRow("utf-16 little-endian with byte-order mark")
        << raw("\xFF\xFE" "A\0\t\0B\0\t\0d\0\r\0\n\0" "9\0\t\0" "1\0") << "A" << "B" << "d"
        << QStringList{"9|1"} << qint64(9) << qint64(1) << 1 << 1 << "9,000" << "1,000" << 9 << 1;
    QTest::newRow("no date, header without a second tab")
        << QByteArray("A\tB\r\n1\t1\r\n") << "A" << "B" << "" << QStringList{"1|1"} << qint64(1) << qint64(1) << 1
        << 1 << "1,000" << "1,000" << 1 << 1;
    QTest::newRow("header only") << QByteArray("A\tB\td\r\r\n") << "A" << "B" << "d" << QStringList{} << qint64(0)
                                 << qint64(0) << 0 << 0 << "0,000" << "0,000" << -1 << -1;
    QTest::newRow("a NUL ends the text") << raw("A\tB\td\r\n3\t4\r\n\0garbage") << "A" << "B" << "d"
                                         << QStringList{"3|4"} << qint64(3) << qint64(4) << 1 << 1 << "3,000"
                                         << "4,000" << 3 << 4;
    QTest::newRow("signs, spaces and 32-bit limits")
        << QByteArray("A\tB\td\n-2\t+3\n 2147483647 \t-2147483648\n") << "A" << "B" << "d"
        << QStringList{"-2|3", "2147483647|-2147483648"} << qint64(2147483645) << qint64(-2147483645) << 2 << 2
        << "1073741822,500" << "-1073741822,500" << 2147483647 << 3;
}

void TestPrintSheet::parse()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, name1);
    QFETCH(QString, name2);
    QFETCH(QString, date);
    QFETCH(QStringList, rows);
    QFETCH(qint64, total1);
    QFETCH(qint64, total2);
    QFETCH(int, played1);
    QFETCH(int, played2);
    QFETCH(QString, average1);
    QFETCH(QString, average2);
    QFETCH(int, best1);
    QFETCH(int, best2);

    Sheet sheet;
    QString error;
    QVERIFY2(parseSheet(bytes, &sheet, &error), qPrintable(error));
    QCOMPARE(sheet.name1, name1);
    QCOMPARE(sheet.name2, name2);
    QCOMPARE(sheet.date, date);
    QCOMPARE(describe(sheet), rows);

    const PlayerSummary s1 = summarize(sheet, 1), s2 = summarize(sheet, 2);
    QCOMPARE(s1.total, total1);
    QCOMPARE(s2.total, total2);
    QCOMPARE(s1.played, played1);
    QCOMPARE(s2.played, played2);
    QCOMPARE(PrintSheet::formatAverage(s1.total, s1.played), average1);
    QCOMPARE(PrintSheet::formatAverage(s2.total, s2.played), average2);
    QCOMPARE(s1.best.value_or(-1), best1);
    QCOMPARE(s2.best.value_or(-1), best2);
}

void TestPrintSheet::loadErrors_data()
{
    QTest::addColumn<QString>("kind"); // "bytes": the bytes are written to a file first
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("expected"); // fragments of the message

    const QByteArray header("A\tB\t05/03/2016 14:05\r\r\n");
    QByteArray manyInnings = header;
    for (int i = 0; i <= MaxInnings; ++i)
        manyInnings += "1\t1\r\r\n";

    QTest::newRow("missing file") << "missing" << QByteArray() << QStringList{"introuvable", "absent.txt"};
    QTest::newRow("a folder") << "folder" << QByteArray() << QStringList{"dossier"};
    QTest::newRow("empty file") << "bytes" << QByteArray() << QStringList{"vide"};
    QTest::newRow("only a byte-order mark") << "bytes" << QByteArray("\xEF\xBB\xBF") << QStringList{"vide"};
    QTest::newRow("only line breaks") << "bytes" << QByteArray("\r\r\n\r\n\n") << QStringList{"vide"};
    QTest::newRow("header without a tab")
        << "bytes" << QByteArray("Joueur 1 Joueur 2 05/03/2016\r\r\n3\t4\r\r\n") << QStringList{"Ligne 1", "en-t\u00eate"};
    QTest::newRow("letters for points, counted in CR CR LF lines")
        << "bytes" << header + "3\t4\r\r\n5\tx7\r\r\n" << QStringList{"Ligne 3", "'x7' n'est pas une valeur enti\u00e8re correcte"};
    QTest::newRow("decimal points") << "bytes" << header + "2.5\t1\r\r\n" << QStringList{"Ligne 2", "'2.5'"};
    QTest::newRow("hexadecimal points") << "bytes" << header + "0x10\t1\r\r\n" << QStringList{"Ligne 2", "'0x10'"};
    QTest::newRow("points beyond 32 bits") << "bytes" << header + "1\t2147483648\r\r\n"
                                           << QStringList{"Ligne 2", "'2147483648'"};
    QTest::newRow("a lone sign") << "bytes" << header + "-\t1\r\r\n" << QStringList{"Ligne 2", "'-'"};
    QTest::newRow("inning without a tab") << "bytes" << header + "1\t1\n12\n" << QStringList{"Ligne 3", "tabulation"};
    QTest::newRow("inning with three fields") << "bytes" << header + "1\t1\t1\n" << QStringList{"Ligne 2", "tabulation"};
    QTest::newRow("very long bad field is cut short")
        << "bytes" << header + QByteArray(5000, 'z') + "\t1\n" << QStringList{"Ligne 2", QString(40, QLatin1Char('z')) + QChar(0x2026) + "'"};
    QTest::newRow("more innings than any match") << "bytes" << manyInnings << QStringList{"10 000 reprises"};
    QTest::newRow("file too large") << "bytes" << QByteArray(MaxFileBytes + 1, '\n') << QStringList{"trop volumineux"};
}

void TestPrintSheet::loadErrors()
{
    QFETCH(QString, kind);
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, expected);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QString path = dir.filePath(QStringLiteral("absent.txt"));
    if (kind == QLatin1String("folder")) {
        path = dir.path();
    } else if (kind == QLatin1String("bytes")) {
        path = dir.filePath(QStringLiteral("tmp.txt"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QCOMPARE(f.write(bytes), bytes.size());
    }

    Sheet sheet;
    sheet.name1 = QStringLiteral("untouched");
    QString error;
    QVERIFY(!loadSheet(path, &sheet, &error));
    for (const QString &fragment : expected)
        QVERIFY2(error.contains(fragment), qPrintable(error));
    QVERIFY2(error.contains(path), qPrintable(error));
    QCOMPARE(sheet.name1, QStringLiteral("untouched"));
}

void TestPrintSheet::formatAverage_data()
{
    QTest::addColumn<qint64>("total");
    QTest::addColumn<int>("played");
    QTest::addColumn<QString>("expected");

    QTest::newRow("no inning yet") << qint64(0) << 0 << "0,000";
    QTest::newRow("whole") << qint64(15) << 3 << "5,000";
    QTest::newRow("thirds round down") << qint64(10) << 3 << "3,333";
    QTest::newRow("thirds round up") << qint64(2) << 3 << "0,667";
    QTest::newRow("exact half rounds away from zero") << qint64(1) << 16 << "0,063";
    QTest::newRow("negative half") << qint64(-1) << 2 << "-0,500";
    QTest::newRow("tiny negative shows no minus") << qint64(-1) << 3000 << "0,000";
    QTest::newRow("no thousands separator") << qint64(123456789) << 1 << "123456789,000";
    QTest::newRow("largest possible total") << qint64(2147483647) * MaxInnings << MaxInnings << "2147483647,000";
}

void TestPrintSheet::formatAverage()
{
    QFETCH(qint64, total);
    QFETCH(int, played);
    QFETCH(QString, expected);
    QCOMPARE(PrintSheet::formatAverage(total, played), expected);
}

void TestPrintSheet::cp1252_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");

    QTest::newRow("ascii") << QByteArray("Joueur 1\t") << QStringLiteral("Joueur 1\t");
    QTest::newRow("latin-1 accents") << QByteArray("\xE9\xE8\xE7\xC0\xFF") << QStringLiteral("\u00e9\u00e8\u00e7\u00c0\u00ff");
    QTest::newRow("euro at 0x80") << QByteArray("\x80") << QStringLiteral("\u20ac");
    QTest::newRow("oe ligatures") << QByteArray("\x8C\x9C") << QStringLiteral("\u0152\u0153");
    QTest::newRow("quotes and dashes") << QByteArray("\x91\x92\x93\x94\x96\x97")
                                       << QStringLiteral("\u2018\u2019\u201c\u201d\u2013\u2014");
    QTest::newRow("y diaeresis at 0x9F") << QByteArray("\x9F") << QStringLiteral("\u0178");
    QTest::newRow("undefined bytes stay C1 controls") << QByteArray("\x81\x8D\x8F\x90\x9D")
                                                      << QStringLiteral("\u0081\u008d\u008f\u0090\u009d");
    QTest::newRow("no-break space and 0xA0 upwards") << QByteArray("\xA0\xAB\xBB") << QStringLiteral("\u00a0\u00ab\u00bb");
}

void TestPrintSheet::cp1252()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    QCOMPARE(Cp1252::decode(bytes), expected);
}

void TestPrintSheet::paginate_data()
{
    QTest::addColumn<int>("innings");
    QTest::addColumn<int>("minPages");
    QTest::addColumn<int>("maxPages");

    QTest::newRow("new match") << 0 << 1 << 1;
    QTest::newRow("one inning") << 1 << 1 << 1;
    QTest::newRow("a short match") << 25 << 1 << 1;
    QTest::newRow("a long match") << 120 << 3 << 5;
    QTest::newRow("the largest sheet") << MaxInnings << 200 << 400;
}

void TestPrintSheet::paginate()
{
    QFETCH(int, innings);
    QFETCH(int, minPages);
    QFETCH(int, maxPages);

    const QList<SheetPainter::PageSpan> pages = SheetPainter::paginate(sheetOf(innings), a4At(300));
    QVERIFY2(pages.size() >= minPages && pages.size() <= maxPages, qPrintable(QString::number(pages.size())));
    // Every inning once, in order; the result once, after the last inning.
    int next = 0;
    for (int i = 0; i < pages.size(); ++i) {
        QCOMPARE(pages[i].firstRow, next);
        QVERIFY(pages[i].rowCount >= 0);
        if (i + 1 < pages.size()) {
            QVERIFY(pages[i].rowCount > 0);
            QVERIFY(!pages[i].summary);
        }
        next += pages[i].rowCount;
    }
    QCOMPARE(next, innings);
    QVERIFY(pages.last().summary);
}

void TestPrintSheet::paginate_isTheSameAtEveryResolution()
{
    for (int innings : {30, 35, 40, 120, 1000}) {
        const Sheet sheet = sheetOf(innings);
        const QList<SheetPainter::PageSpan> reference = SheetPainter::paginate(sheet, a4At(1200));
        for (int dpi : {72, 96, 300, 600}) {
            const QList<SheetPainter::PageSpan> pages = SheetPainter::paginate(sheet, a4At(dpi));
            QCOMPARE(pages.size(), reference.size());
            for (int i = 0; i < pages.size(); ++i)
                QCOMPARE(pages[i].rowCount, reference[i].rowCount);
        }
    }
}

void TestPrintSheet::paintPage_drawsTheSheet_data()
{
    QTest::addColumn<int>("innings");
    QTest::addColumn<int>("page");

    QTest::newRow("new match") << 0 << 0;
    QTest::newRow("first page of a long match") << 120 << 0;
    QTest::newRow("continuation page") << 120 << 1;
    QTest::newRow("last page") << 120 << SheetPainter::pageCount(sheetOf(120), a4At(60)) - 1;
}

void TestPrintSheet::paintPage_drawsTheSheet()
{
    QFETCH(int, innings);
    QFETCH(int, page);

    const QSizeF size = a4At(60);
    QImage image(size.toSize(), QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        SheetPainter::paintPage(painter, QRectF(QPointF(0, 0), size), sheetOf(innings), page);
    }
    // Ink at the top (the title) and in the footer line near the bottom.
    auto inked = [&image](int fromRow, int toRow) {
        for (int y = fromRow; y < toRow; ++y)
            for (int x = 0; x < image.width(); ++x)
                if (qGray(image.pixel(x, y)) < 160)
                    return true;
        return false;
    };
    QVERIFY(inked(0, image.height() / 20));
    QVERIFY(inked(image.height() * 19 / 20, image.height()));
}

void TestPrintSheet::longNames_areDrawnWhole_data()
{
    QTest::addColumn<QString>("name1");
    QTest::addColumn<QString>("name2");
    QTest::addColumn<int>("innings");
    QTest::addColumn<int>("page");
    QTest::addColumn<int>("times"); // how often each name is on that page

    const QString jp = QStringLiteral("Jean-Pierre Dupont-Maximilien de la Tour d'Auvergne");
    const QString ac = QStringLiteral("Anne-Charlotte Maximilien Lef\u00e8vre-Saint-Exup\u00e9ry");
    // On a one-page sheet: the card, the table's header, the result and the signature box.
    QTest::newRow("two long names") << jp << ac << 3 << 0 << 4;
    QTest::newRow("one word, no place to break") << QStringLiteral("Wolfeschlegelsteinhausenbergerdorffvoralternwarengewissenhaftschaferswessenschafewarenwohlgepflegeundsorgfaltigkeitbeschutzen")
                                                 << QStringLiteral("Li") << 3 << 0 << 4;
    // A continuation page: its header and the table's.
    QTest::newRow("continuation page") << jp << ac << 120 << 1 << 2;
}

void TestPrintSheet::longNames_areDrawnWhole()
{
    QFETCH(QString, name1);
    QFETCH(QString, name2);
    QFETCH(int, innings);
    QFETCH(int, page);
    QFETCH(int, times);

    Sheet sheet = sheetOf(innings);
    sheet.name1 = name1;
    sheet.name2 = name2;
    QSize size;
    const Drawing drawn = record(sheet, page, &size);
    QString all;
    for (const Drawing::Text &t : drawn.texts) {
        QVERIFY2(!t.text.contains(QChar(0x2026)), qPrintable(t.text)); // no ellipsis anywhere
        QVERIFY2(t.box.left() >= -1 && t.box.right() <= size.width() + 1, qPrintable(t.text));
        all += withoutSpaces(t.text);
    }
    QCOMPARE(all.count(withoutSpaces(name1)), times);
    QCOMPARE(all.count(withoutSpaces(name2)), times);
    // However long, no text runs into another.
    for (qsizetype i = 0; i < drawn.texts.size(); ++i)
        for (qsizetype j = i + 1; j < drawn.texts.size(); ++j) {
            const QRectF a = drawn.texts[i].box.adjusted(1, 1, -1, -1), b = drawn.texts[j].box.adjusted(1, 1, -1, -1);
            QVERIFY2(!a.intersects(b), qPrintable(drawn.texts[i].text + QStringLiteral(" / ") + drawn.texts[j].text));
        }
}

void TestPrintSheet::signatureBoxes_forBothPlayersAndTheReferee()
{
    for (int innings : {0, 25, 120}) {
        const Sheet sheet = sheetOf(innings);
        const int last = SheetPainter::pageCount(sheet, a4At(300)) - 1;
        if (innings <= 25)
            QCOMPARE(last, 0); // a short match stays on one sheet of paper, signatures included
        QSize size;
        const Drawing drawn = record(sheet, last, &size);
        const qreal mm = size.width() / 180.0;
        auto textBox = [&drawn](const QString &s) {
            for (const Drawing::Text &t : drawn.texts)
                if (t.text == s)
                    return t.box;
            return QRectF();
        };
        const QRectF result = textBox(QStringLiteral("R\u00e9sultat"));
        QVERIFY(!result.isNull());
        const QString captions[3] = {QStringLiteral("Signature du joueur 1"), QStringLiteral("Signature du joueur 2"),
                                     QStringLiteral("Signature de l'arbitre")};
        const QString under[3] = {QStringLiteral("Alice"), QStringLiteral("Bruno"), QStringLiteral("Nom :")};
        qreal previousRight = -1;
        for (int k = 0; k < 3; ++k) {
            const QRectF caption = textBox(captions[k]);
            QVERIFY2(!caption.isNull(), qPrintable(captions[k]));
            QVERIFY(caption.top() > result.bottom() + 30 * mm); // under the result table
            // The box right under its caption: room to sign (over 5 cm by 1.5 cm), the name
            // of whoever signs inside it.
            QRectF box;
            for (const QRectF &r : drawn.rects)
                if (r.width() > 50 * mm && r.height() > 15 * mm && r.left() <= caption.left() + 1
                    && r.right() >= caption.right() && r.top() >= caption.bottom() - 1 && r.top() < caption.bottom() + 3 * mm)
                    box = r;
            QVERIFY2(!box.isNull(), qPrintable(captions[k]));
            QVERIFY(box.left() > previousRight); // side by side
            previousRight = box.right();
            QVERIFY(box.bottom() <= size.height());
            bool named = false;
            for (const Drawing::Text &t : drawn.texts)
                named = named || (t.text == under[k] && box.contains(t.box));
            QVERIFY2(named, qPrintable(under[k]));
        }
    }
}

QTEST_MAIN(TestPrintSheet)
#include "tst_printsheet.moc"
