// Every text of the scoreboard is readable whole, at every screen size: no text is cut by
// its label or by any widget the label lies in, however long the names, the totals, the
// innings count or the times.
//
// ZV_SCREENSHOT_DIR=folder keeps a picture of every case there.
#include "WindowFixture.h"
#include "ScoreLayout.h"

#include <QFontMetrics>

namespace {

const QString LongName1 = QStringLiteral("Jean-Pierre Dupont-Maximilien");
const QString LongName2 = QStringLiteral("Anne-Charlotte Maximilien Lefèvre");

// What of `w` can be seen: its rect cut by every ancestor's, in the window's coordinates.
QRect visibleRect(const QWidget *w, const QWidget *window)
{
    QRect r(w->mapTo(window, QPoint(0, 0)), w->size());
    for (const QWidget *p = w->parentWidget(); p && p != window; p = p->parentWidget())
        r &= QRect(p->mapTo(window, QPoint(0, 0)), p->size());
    return r & window->rect();
}

// Where the label draws its text, in the window's coordinates.
QRect textBox(const QLabel *l, const QWidget *window)
{
    const QFontMetrics fm(l->font());
    const QRect box = fm.boundingRect(l->contentsRect(), int(l->alignment()) | Qt::TextSingleLine, l->text());
    return box.translated(l->mapTo(window, QPoint(0, 0)));
}

QString describe(const QLabel *l, const QWidget *window)
{
    const QRect box = textBox(l, window), seen = visibleRect(l, window);
    return QStringLiteral("%1 \"%2\" at %3 px: text %4,%5 %6x%7, visible %8,%9 %10x%11")
        .arg(l->objectName(), l->text())
        .arg(l->font().pixelSize())
        .arg(box.x()).arg(box.y()).arg(box.width()).arg(box.height())
        .arg(seen.x()).arg(seen.y()).arg(seen.width()).arg(seen.height());
}

void saveBackup(const QString &path, int innings, qint32 pts1, qint32 pts2)
{
    InningsTable t;
    t.openEmpty();
    for (int i = 0; i < innings; ++i) {
        t.appendEmpty();
        t.edit();
        t.setField(InningsTable::Pts1, pts1);
        if (i + 1 < innings) // the last inning: player 2 still to play
            t.setField(InningsTable::Pts2, pts2);
        t.post();
    }
    t.saveToFile(path);
}

} // namespace

class tst_window_clipping : public QObject {
    Q_OBJECT

    static void showAt(TMainFrm &w, QSize size)
    {
        w.resize(size);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTRY_COMPARE(w.RectangleFondTab->height(), size.height() - 48);
    }

    static void setName(WindowFixture &f, TLabel *label, const QString &name)
    {
        f.dialogs.inputAnswers = {{true, {name}}};
        QTest::mouseClick(label, Qt::LeftButton);
        QCOMPARE(label->text(), name);
    }

    // Paints the window as a person would see it, and keeps the picture when asked to.
    static void look(TMainFrm &w, const QString &name)
    {
        const QPixmap shot = w.grab();
        const QString dir = qEnvironmentVariable("ZV_SCREENSHOT_DIR");
        if (!dir.isEmpty())
            shot.save(QDir(dir).filePath(name + QStringLiteral(".png")));
    }

private slots:
    void scoreboardText_isNeverClipped_data()
    {
        QTest::addColumn<QSize>("window");
        QTest::addColumn<bool>("longTexts");
        const QList<QSize> sizes{{1024, 768}, {1280, 720}, {1920, 1080}, {3840, 2160}};
        for (const QSize s : sizes) {
            const QByteArray size = QByteArray::number(s.width()) + 'x' + QByteArray::number(s.height());
            QTest::newRow(size + " at start") << s << false;
            QTest::newRow(size + " long texts") << s << true;
        }
    }
    void scoreboardText_isNeverClipped()
    {
        QFETCH(QSize, window);
        QFETCH(bool, longTexts);
        WindowFixture f;
        if (longTexts) // 1234 innings of 81 and 7: a five-digit total, a four-digit count
            saveBackup(f.backup(), 1234, 81, 7);
        TMainFrm &w = f.start();
        showAt(w, window);
        QTest::mouseClick(w.btnClockSum, Qt::LeftButton); // every time label shown
        QTest::mouseClick(w.AutresStatsLbl, Qt::LeftButton); // and the general average
        if (longTexts) {
            setName(f, w.Nom1Lbl, LongName1);
            setName(f, w.Nom2Lbl, LongName2);
            w.setChrono1(59999000);
            w.setChrono2(59999000);
            f.type(QStringLiteral("99999")); // the run being typed
            f.key(Qt::Key_Asterisk, Qt::NoModifier, QStringLiteral("*")); // the lap runs
            f.clockMs += 59999000;
            w.Serie->ShowChrono();
            QCOMPARE(w.ReprisesLbl->text(), QStringLiteral("1234"));
            QCOMPARE(w.Total1Lbl->text(), QStringLiteral("99954"));
            QCOMPARE(w.lblChronoPoint->text(), QStringLiteral("999:59"));
            QCOMPARE(w.Chrono2Lbl->text(), QStringLiteral("999:59"));
            QCOMPARE(w.lblSerie->text(), QStringLiteral("99999"));
        }
        look(w, QStringLiteral("%1x%2-%3").arg(window.width()).arg(window.height())
                    .arg(longTexts ? QStringLiteral("long") : QStringLiteral("start")));

        const ScoreLayout::Sizes s = ScoreLayout::compute(w.RectangleFondTab->width(), w.RectangleFondTab->height());
        int checked = 0;
        for (TLabel *l : w.TabAffichage->findChildren<TLabel *>()) {
            if (!l->isVisibleTo(&w) || l->text().isEmpty())
                continue;
            ++checked;
            QVERIFY2(visibleRect(l, &w).contains(textBox(l, &w)), qPrintable(describe(l, &w)));
            // The sizes FormResize computes are the largest; a smaller font only where needed.
            const bool small = l->height() == s.D;
            QVERIFY2(l->font().pixelSize() <= (small ? s.F : s.E), qPrintable(describe(l, &w)));
        }
        // Long texts: both panels (name, total, time, average, runs), general average, lap,
        // innings, run; at start the totals, runs and general average are empty.
        QCOMPARE(checked, longTexts ? 14 : 9);
        if (!longTexts) {
            for (TLabel *l : {w.Nom1Lbl, w.Nom2Lbl, w.Moyenne2Lbl})
                QCOMPARE(l->font().pixelSize(), s.F);
            for (TLabel *l : {w.Total1Lbl, w.ReprisesLbl})
                QCOMPARE(l->font().pixelSize(), s.E);
        } else {
            QVERIFY(w.Nom1Lbl->font().pixelSize() < s.F);
            QVERIFY(w.Nom2Lbl->font().pixelSize() < s.F);
        }
    }

    void lapTime_liesOnTheBackground_notInTheTimerBlock()
    {
        WindowFixture f;
        TMainFrm &w = f.start();
        showAt(w, QSize(1920, 1080));
        QTest::mouseClick(w.btnClock, Qt::LeftButton);
        // D = 129 is taller than the timer block's design height 103.
        QCOMPARE(w.lblChronoPoint->height(), 129);
        QCOMPARE(w.LayoutChrono->height(), 103);
        QCOMPARE(w.lblChronoPoint->parentWidget(), static_cast<QWidget *>(w.RectangleFondTab));
        QCOMPARE(w.lblChronoPoint->mapTo(&w, QPoint(0, 0)), w.LayoutChrono->mapTo(&w, QPoint(0, 38)));
        QCOMPARE(w.lblChronoPoint->width(), w.LayoutCentre->width());
        // Still the label that takes the click, under the innings count drawn over it.
        f.dialogs.answers = {DlgButton::Cancel};
        QTest::mouseClick(w.lblChronoPoint, Qt::LeftButton, {}, QPoint(w.lblChronoPoint->width() / 2, 100));
        QCOMPARE(f.dialogs.count(), 1);
        QCOMPARE(f.dialogs.last()->text, QStringLiteral("Remettre à zéro le chrono en cours"));
    }

    void nameTooLongForAnySize_showsItsStart()
    {
        WindowFixture f;
        TMainFrm &w = f.start();
        showAt(w, QSize(1024, 768));
        const QString name = QStringLiteral("Anne-Charlotte ").repeated(12) + QStringLiteral("Fin");
        setName(f, w.Nom2Lbl, name);
        look(w, QStringLiteral("1024x768-absurd-name"));
        const ScoreLayout::Sizes s = ScoreLayout::compute(w.RectangleFondTab->width(), w.RectangleFondTab->height());
        QCOMPARE(w.Nom2Lbl->font().pixelSize(), s.F / 5); // as small as a name gets
        const QRect box = textBox(w.Nom2Lbl, &w), seen = visibleRect(w.Nom2Lbl, &w);
        QVERIFY2(box.left() >= seen.left() && box.left() < seen.left() + 10, qPrintable(describe(w.Nom2Lbl, &w)));
        // A name that fits again is right-aligned again, at the largest size.
        setName(f, w.Nom2Lbl, QStringLiteral("Zoé"));
        w.grab();
        QCOMPARE(w.Nom2Lbl->font().pixelSize(), s.F);
        QVERIFY(w.Nom2Lbl->alignment() & Qt::AlignRight);
    }
};

QTEST_MAIN(tst_window_clipping)
#include "tst_window_clipping.moc"
