#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <QtTest>

class TstIcons : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void icon_data();
    void icon();
    void resource_holdsNoOtherIcon();
};

void TstIcons::initTestCase()
{
    // The icons live in a static library: its resources must be registered by hand.
    Q_INIT_RESOURCE(zelvano_icons);
}

static const QStringList &iconNames()
{
    static const QStringList names{
        "gears", "sheet", "stopwatch", "stopwatch-sum", "printer",
        "plus", "minus", "check", "pause", "play"};
    return names;
}

void TstIcons::icon_data()
{
    QTest::addColumn<QString>("path");
    for (const QString &name : iconNames())
        QTest::newRow(qPrintable(name)) << QStringLiteral(":/icons/%1.svg").arg(name);
}

void TstIcons::icon()
{
    QFETCH(QString, path);
    QVERIFY2(QFile::exists(path), qPrintable(path));
    QSvgRenderer renderer(path);
    QVERIFY(renderer.isValid());
    QCOMPARE(renderer.viewBoxF(), QRectF(0, 0, 32, 32));

    // Drawn at toolbar size, the picture covers a fair part of its square and is not blank.
    QImage image(32, 32, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        renderer.render(&p);
    }
    int opaque = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) > 128)
                ++opaque;
    QVERIFY2(opaque > 32 * 32 / 8, qPrintable(QString::number(opaque)));
}

void TstIcons::resource_holdsNoOtherIcon()
{
    QStringList found = QDir(QStringLiteral(":/icons")).entryList(QDir::Files);
    QStringList expected;
    for (const QString &name : iconNames())
        expected << name + QStringLiteral(".svg");
    found.sort();
    expected.sort();
    QCOMPARE(found, expected);
}

QTEST_MAIN(TstIcons)
#include "tst_icons.moc"
