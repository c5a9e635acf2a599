// Every input an operator or a file can get wrong, in one table: each gets its clear
// French message (or is quietly refused where the program never reports it), and nothing
// of the match is lost.
#include "WindowFixture.h"

#include <QDir>
#include <QLineEdit>
#include <QPointer>
#include <functional>

using Action = std::function<void(WindowFixture &)>;
Q_DECLARE_METATYPE(Action)

namespace {
void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(bytes);
}
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
void sendWith(WindowFixture &f, const QString &host, const QString &port)
{
    f.w->EditHost->setText(host);
    f.w->EditPort->setText(port);
    QTest::mouseClick(f.w->btnprintFeuille, Qt::LeftButton);
}
void editDuration(WindowFixture &f, const QStringList &texts)
{
    QTest::mouseClick(f.w->btnClockSum, Qt::LeftButton);
    f.dialogs.inputAnswers = {{true, texts}};
    QTest::mouseClick(f.w->Chrono1Lbl, Qt::LeftButton);
}
}

class tst_bad_input : public QObject {
    Q_OBJECT
private slots:
    void badInput_data()
    {
        QTest::addColumn<Action>("before"); // done before the window starts
        QTest::addColumn<Action>("action"); // done after 7, 5 and 3 were played
        QTest::addColumn<QString>("message"); // start of the one error shown; empty: none
        QTest::addColumn<QString>("run");     // the run label afterwards
        QTest::addColumn<QString>("sheet");   // the sheet afterwards, in memory and on disk
        const Action none = [](WindowFixture &) {};
        const QString played = QStringLiteral("(7,5) (3,-)");

        QTest::newRow("digit overflow") << none << Action([](WindowFixture &f) { f.type(QStringLiteral("99999999999")); })
                                        << "" << "999999999" << played;
        QTest::newRow("cell: letters") << none << Action([](WindowFixture &f) { editCell(f, 0, 1, QStringLiteral("12a")); })
                                       << "'12a' n'est pas une valeur entière correcte" << "--" << played;
        QTest::newRow("cell: decimal") << none << Action([](WindowFixture &f) { editCell(f, 0, 2, QStringLiteral("2,5")); })
                                       << "'2,5' n'est pas une valeur entière correcte" << "--" << played;
        QTest::newRow("cell: beyond 32 bits")
            << none << Action([](WindowFixture &f) { editCell(f, 0, 1, QStringLiteral("3000000000")); })
            << "'3000000000' n'est pas une valeur entière correcte" << "--" << played;
        QTest::newRow("duration: empty minutes")
            << none << Action([](WindowFixture &f) { editDuration(f, {QString(), QStringLiteral("5")}); })
            << "'' n'est pas une valeur entière correcte" << "--" << played;
        QTest::newRow("duration: text seconds")
            << none << Action([](WindowFixture &f) { editDuration(f, {QStringLiteral("2"), QStringLiteral("dix")}); })
            << "'dix' n'est pas une valeur entière correcte" << "--" << played;
        QTest::newRow("port: text")
            << none << Action([](WindowFixture &f) { sendWith(f, QStringLiteral("127.0.0.1"), QStringLiteral("port")); })
            << "'port' n'est pas une valeur entière correcte" << "--" << played;
        QTest::newRow("port: zero")
            << none << Action([](WindowFixture &f) { sendWith(f, QStringLiteral("127.0.0.1"), QStringLiteral("0")); })
            << "Le port 0" << "--" << played;
        QTest::newRow("host: empty") << none << Action([](WindowFixture &f) { sendWith(f, QString(), QStringLiteral("50000")); })
                                     << "Aucun serveur indiqué" << "--" << played;
        QTest::newRow("settings: garbage values give the defaults")
            << Action([](WindowFixture &f) {
                   writeFile(f.path(QStringLiteral("FeuilleMatch.ini")),
                             "[REMOTE]\nKeyOK=haut\nKeyPlus=\n[TEMPS]\nChrono1=12:00\nInChrono=oui\n[\nnimporte quoi\n");
               })
            << Action([](WindowFixture &f) {
                   QCOMPARE(f.w->KeyOK(), 38);
                   QCOMPARE(f.w->KeyPlus(), 37);
                   QCOMPARE(f.w->Chrono1(), 0);
                   QVERIFY(!f.w->btnClock->isChecked() && !f.w->btnClockSum->isChecked());
               })
            << "" << "--" << played;
        QTest::newRow("damaged backup")
            << Action([](WindowFixture &f) { writeFile(f.backup(), QByteArray(300, '\xFF')); })
            << Action([](WindowFixture &f) {
                   const QStringList aside = QDir(f.dir.path()).entryList({QStringLiteral("*.illisible-*")});
                   QCOMPARE(aside.size(), 1);
                   QFile kept(f.path(aside.first()));
                   QVERIFY(kept.open(QIODevice::ReadOnly));
                   QCOMPARE(kept.readAll(), QByteArray(300, '\xFF'));
               })
            << "La feuille du match en cours ne peut pas être relue" << "--" << played;
        QTest::newRow("history cannot be read")
            << Action([](WindowFixture &f) { QDir(f.dir.path()).mkdir(QStringLiteral("FeuilleMatch.txt")); })
            << Action([](WindowFixture &f) {
                   f.dialogs.answers = {DlgButton::Yes};
                   f.key(Qt::Key_F2);
               })
            << "Impossible d'ouvrir le fichier" << "--" << played;
        QTest::newRow("backup cannot be written, then can again")
            << none
            << Action([](WindowFixture &f) {
                   QFile::remove(f.backup());
                   QDir(f.dir.path()).mkdir(QStringLiteral("FeuilleMatch.bin"));
                   f.type(QStringLiteral("4\n"));
                   // The validation completed in memory: the turn passed, the next inning is there.
                   QCOMPARE(f.sheet(), QStringLiteral("(7,5) (3,4) (-,-)"));
                   QVERIFY(f.w->Joueur1());
                   QDir(f.dir.path()).rmdir(QStringLiteral("FeuilleMatch.bin"));
                   f.type(QStringLiteral("9\n")); // player 1's run of the next inning, saved with the rest
               })
            << "Impossible de créer le fichier" << "--" << "(7,5) (3,4) (9,-)";
    }
    void badInput()
    {
        QFETCH(Action, before);
        QFETCH(Action, action);
        QFETCH(QString, message);
        QFETCH(QString, run);
        QFETCH(QString, sheet);
        WindowFixture f;
        before(f);
        f.start();
        f.play({7, 5, 3});
        action(f);
        if (QTest::currentTestFailed())
            return;
        QStringList errors;
        for (const auto &d : f.dialogs.shown) {
            if (d.kind == DlgKind::Error)
                errors << d.text;
        }
        if (message.isEmpty()) {
            QCOMPARE(errors, QStringList());
        } else {
            QCOMPARE(errors.size(), 1);
            QVERIFY2(errors.first().startsWith(message), qPrintable(errors.first()));
        }
        QCOMPARE(f.w->lblSerie->text(), run);
        QCOMPARE(f.sheet(), sheet);
        QCOMPARE(f.savedSheet(), sheet);
    }
};

QTEST_MAIN(tst_bad_input)
#include "tst_bad_input.moc"
