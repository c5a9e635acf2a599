#include "Dialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

Q_DECLARE_METATYPE(DlgKind)
Q_DECLARE_METATYPE(DlgButton)

using Buttons = std::vector<DlgButton>;
Q_DECLARE_METATYPE(Buttons)

namespace {

// Runs `act` on the modal dialog as soon as it is shown. The first try comes from the
// dialog's own event loop; the number of tries is bounded, and a dialog that `act` leaves
// open is rejected so a failing test never hangs.
void whenModalShown(std::function<void(QWidget *)> act, int triesLeft = 200)
{
    QTimer::singleShot(triesLeft == 200 ? 0 : 10, [act, triesLeft] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal) {
            if (triesLeft > 0)
                whenModalShown(act, triesLeft - 1);
            return;
        }
        QPointer<QWidget> guard(modal);
        act(modal);
        if (guard && guard->isVisible()) {
            if (auto *d = qobject_cast<QDialog *>(guard.data()))
                d->reject();
        }
    });
}

QString plain(QString text)
{
    return text.remove(QLatin1Char('&'));
}

QAbstractButton *buttonWithText(QWidget *w, const QString &text)
{
    const auto buttons = w->findChildren<QAbstractButton *>();
    for (QAbstractButton *b : buttons) {
        if (plain(b->text()) == text)
            return b;
    }
    return nullptr;
}

} // namespace

class TstDialogs : public QObject {
    Q_OBJECT
private slots:
    void dialogTitle_data();
    void dialogTitle();

    void scriptedMessage_data();
    void scriptedMessage();
    void scriptedMessage_answersInQueueOrder();
    void scriptedMessage_recordsTheDefaultButton();
    void scriptedMessage_withoutCallback_isRecorded();
    void scriptedInput_data();
    void scriptedInput();
    void scriptedDialog_openedFromCallback_takesNextAnswer();

    void frenchTranslations_areInstalled();
    void qtMessage_data();
    void qtMessage();
    void qtInput_data();
    void qtInput();
};

void TstDialogs::dialogTitle_data()
{
    QTest::addColumn<DlgKind>("kind");
    QTest::addColumn<QString>("title");
    QTest::newRow("warning") << DlgKind::Warning << "Avertissement";
    QTest::newRow("error") << DlgKind::Error << "Erreur";
    QTest::newRow("information") << DlgKind::Information << "Informations";
    QTest::newRow("confirmation") << DlgKind::Confirmation << "Confirmer";
}

void TstDialogs::dialogTitle()
{
    QFETCH(DlgKind, kind);
    QTEST(::dialogTitle(kind), "title");
}

void TstDialogs::scriptedMessage_data()
{
    QTest::addColumn<Buttons>("buttons");
    QTest::addColumn<Buttons>("queued");
    QTest::addColumn<DlgButton>("expected");
    QTest::newRow("yes/no, no answer queued: No")
        << Buttons{DlgButton::Yes, DlgButton::No} << Buttons{} << DlgButton::No;
    QTest::newRow("ok/cancel, no answer queued: Cancel")
        << Buttons{DlgButton::Ok, DlgButton::Cancel} << Buttons{} << DlgButton::Cancel;
    QTest::newRow("ok only, no answer queued: Ok") << Buttons{DlgButton::Ok} << Buttons{} << DlgButton::Ok;
    QTest::newRow("yes/no, Yes queued")
        << Buttons{DlgButton::Yes, DlgButton::No} << Buttons{DlgButton::Yes} << DlgButton::Yes;
    QTest::newRow("ok/cancel, Ok queued")
        << Buttons{DlgButton::Ok, DlgButton::Cancel} << Buttons{DlgButton::Ok} << DlgButton::Ok;
}

void TstDialogs::scriptedMessage()
{
    QFETCH(Buttons, buttons);
    QFETCH(Buttons, queued);
    QFETCH(DlgButton, expected);

    ScriptedDialogs dialogs;
    dialogs.answers = queued;
    int calls = 0;
    DlgButton got = DlgButton::Ok;
    dialogs.message(DlgKind::Confirmation, QStringLiteral("Nouveau match ?"), buttons,
                    [&](DlgButton b) {
                        ++calls;
                        got = b;
                    });
    QCOMPARE(calls, 1);
    QCOMPARE(got, expected);
    QCOMPARE(dialogs.count(), 1);
    QVERIFY(dialogs.last());
    QVERIFY(!dialogs.last()->isInput);
    QCOMPARE(dialogs.last()->kind, DlgKind::Confirmation);
    QCOMPARE(dialogs.last()->text, QStringLiteral("Nouveau match ?"));
    QVERIFY(dialogs.last()->buttons == buttons);
    QVERIFY(!dialogs.last()->defaultButton); // none given: the toolkit's choice
    QVERIFY(dialogs.answers.empty());
}

void TstDialogs::scriptedMessage_recordsTheDefaultButton()
{
    ScriptedDialogs dialogs;
    dialogs.message(DlgKind::Information, QStringLiteral("Effacer ?"), {DlgButton::Yes, DlgButton::No}, {},
                    DlgButton::No);
    dialogs.message(DlgKind::Warning, QStringLiteral("Continuer ?"), {DlgButton::Ok, DlgButton::Cancel}, {},
                    DlgButton::Ok);
    QCOMPARE(dialogs.count(), 2);
    QVERIFY(dialogs.shown[0].defaultButton == std::optional<DlgButton>(DlgButton::No));
    QVERIFY(dialogs.shown[1].defaultButton == std::optional<DlgButton>(DlgButton::Ok));
}

void TstDialogs::scriptedMessage_answersInQueueOrder()
{
    ScriptedDialogs dialogs;
    dialogs.answers = {DlgButton::Yes, DlgButton::No};
    std::vector<DlgButton> got;
    const Buttons yesNo{DlgButton::Yes, DlgButton::No};
    for (int i = 0; i < 3; ++i)
        dialogs.message(DlgKind::Confirmation, QString::number(i), yesNo,
                        [&](DlgButton b) { got.push_back(b); });
    // Two queued answers, then the default: the last button.
    QVERIFY(got == (Buttons{DlgButton::Yes, DlgButton::No, DlgButton::No}));
    QCOMPARE(dialogs.count(), 3);
    QCOMPARE(dialogs.shown[1].text, QStringLiteral("1"));
}

void TstDialogs::scriptedMessage_withoutCallback_isRecorded()
{
    ScriptedDialogs dialogs;
    dialogs.answers = {DlgButton::Ok};
    dialogs.message(DlgKind::Error, QStringLiteral("Erreur de fichier"), {DlgButton::Ok});
    QCOMPARE(dialogs.count(), 1);
    QCOMPARE(dialogs.last()->kind, DlgKind::Error);
    QVERIFY(dialogs.answers.empty()); // the answer was consumed all the same
}

void TstDialogs::scriptedInput_data()
{
    QTest::addColumn<bool>("queue");
    QTest::addColumn<bool>("queuedOk");
    QTest::addColumn<QStringList>("queuedTexts");
    QTest::addColumn<bool>("expectedOk");
    QTest::addColumn<QStringList>("expectedTexts");
    const QStringList values{QStringLiteral("Joueur 1"), QStringLiteral("Joueur 2")};
    QTest::newRow("nothing queued: cancelled with the values")
        << false << false << QStringList() << false << values;
    QTest::newRow("queued OK with texts")
        << true << true << QStringList{"Anne", "Marc"} << true << QStringList{"Anne", "Marc"};
    QTest::newRow("queued cancel") << true << false << values << false << values;
}

void TstDialogs::scriptedInput()
{
    QFETCH(bool, queue);
    QFETCH(bool, queuedOk);
    QFETCH(QStringList, queuedTexts);
    QFETCH(bool, expectedOk);
    QFETCH(QStringList, expectedTexts);

    const QStringList prompts{QStringLiteral("Joueur 1"), QStringLiteral("Joueur 2")};
    const QStringList values{QStringLiteral("Joueur 1"), QStringLiteral("Joueur 2")};
    ScriptedDialogs dialogs;
    if (queue)
        dialogs.inputAnswers.push_back({queuedOk, queuedTexts});
    int calls = 0;
    bool gotOk = !expectedOk;
    QStringList gotTexts;
    dialogs.inputQuery(QStringLiteral("Noms des joueurs"), prompts, values,
                       [&](bool ok, const QStringList &texts) {
                           ++calls;
                           gotOk = ok;
                           gotTexts = texts;
                       });
    QCOMPARE(calls, 1);
    QCOMPARE(gotOk, expectedOk);
    QCOMPARE(gotTexts, expectedTexts);
    QCOMPARE(dialogs.count(), 1);
    QVERIFY(dialogs.last()->isInput);
    QCOMPARE(dialogs.last()->text, QStringLiteral("Noms des joueurs"));
    QCOMPARE(dialogs.last()->prompts, prompts);
    QCOMPARE(dialogs.last()->values, values);
    QVERIFY(dialogs.inputAnswers.empty());
}

void TstDialogs::scriptedDialog_openedFromCallback_takesNextAnswer()
{
    ScriptedDialogs dialogs;
    dialogs.answers = {DlgButton::Yes, DlgButton::Ok};
    DlgButton inner = DlgButton::Cancel;
    dialogs.message(DlgKind::Confirmation, QStringLiteral("first"), {DlgButton::Yes, DlgButton::No},
                    [&](DlgButton b) {
                        QCOMPARE(b, DlgButton::Yes);
                        dialogs.message(DlgKind::Information, QStringLiteral("second"),
                                        {DlgButton::Ok, DlgButton::Cancel},
                                        [&](DlgButton b2) { inner = b2; });
                    });
    QCOMPARE(inner, DlgButton::Ok);
    QCOMPARE(dialogs.count(), 2);
    QCOMPARE(dialogs.shown[0].text, QStringLiteral("first"));
    QCOMPARE(dialogs.shown[1].text, QStringLiteral("second"));
}

void TstDialogs::frenchTranslations_areInstalled()
{
    if (!installFrenchTranslations())
        QSKIP("Qt's French translations (qtbase_fr) are not installed");
    // A second call keeps the one translator and still succeeds.
    QVERIFY(installFrenchTranslations());
    // Qt's own texts now read in French.
    QCOMPARE(QCoreApplication::translate("QLineEdit", "&Undo"), QStringLiteral("&Annuler"));
}

void TstDialogs::qtMessage_data()
{
    QTest::addColumn<DlgKind>("kind");
    QTest::addColumn<Buttons>("buttons");
    QTest::addColumn<QStringList>("buttonTexts");
    QTest::addColumn<QString>("press"); // a button's text, "<Escape>" or "<close>"
    QTest::addColumn<DlgButton>("expected");
    QTest::addColumn<int>("icon");
    QTest::addColumn<int>("defaultButton"); // a DlgButton, or -1: the toolkit's choice

    const Buttons yesNo{DlgButton::Yes, DlgButton::No};
    const Buttons okCancel{DlgButton::Ok, DlgButton::Cancel};
    const Buttons ok{DlgButton::Ok};
    const QStringList ouiNon{"Oui", "Non"};
    const QStringList okAnnuler{"OK", "Annuler"};
    QTest::newRow("confirmation, Oui") << DlgKind::Confirmation << yesNo << ouiNon << "Oui"
                                       << DlgButton::Yes << int(QMessageBox::Question) << -1;
    QTest::newRow("confirmation, Non") << DlgKind::Confirmation << yesNo << ouiNon << "Non"
                                       << DlgButton::No << int(QMessageBox::Question) << -1;
    QTest::newRow("confirmation, Escape gives No") << DlgKind::Confirmation << yesNo << ouiNon
                                                   << "<Escape>" << DlgButton::No
                                                   << int(QMessageBox::Question) << -1;
    QTest::newRow("warning, OK") << DlgKind::Warning << okCancel << okAnnuler << "OK"
                                 << DlgButton::Ok << int(QMessageBox::Warning) << -1;
    QTest::newRow("warning, Annuler") << DlgKind::Warning << okCancel << okAnnuler << "Annuler"
                                      << DlgButton::Cancel << int(QMessageBox::Warning) << -1;
    QTest::newRow("warning, closed gives Cancel") << DlgKind::Warning << okCancel << okAnnuler
                                                  << "<close>" << DlgButton::Cancel
                                                  << int(QMessageBox::Warning) << -1;
    QTest::newRow("error, OK") << DlgKind::Error << ok << QStringList{"OK"} << "OK"
                               << DlgButton::Ok << int(QMessageBox::Critical) << -1;
    QTest::newRow("information, Escape gives Ok") << DlgKind::Information << ok
                                                  << QStringList{"OK"} << "<Escape>"
                                                  << DlgButton::Ok << int(QMessageBox::Information) << -1;
    // The new-match and delete questions: Enter out of habit answers No, not Yes.
    const int no = int(DlgButton::No);
    QTest::newRow("default Non, Return gives No") << DlgKind::Information << yesNo << ouiNon << "<Return>"
                                                  << DlgButton::No << int(QMessageBox::Information) << no;
    QTest::newRow("default Non, Enter gives No") << DlgKind::Information << yesNo << ouiNon << "<Enter>"
                                                 << DlgButton::No << int(QMessageBox::Information) << no;
    QTest::newRow("default Non, Escape gives No") << DlgKind::Information << yesNo << ouiNon << "<Escape>"
                                                  << DlgButton::No << int(QMessageBox::Information) << no;
    QTest::newRow("default Non, Tab to Oui then Return gives Yes")
        << DlgKind::Information << yesNo << ouiNon << "<Tab><Return>" << DlgButton::Yes
        << int(QMessageBox::Information) << no;
    QTest::newRow("default Non, Oui clicked") << DlgKind::Information << yesNo << ouiNon << "Oui"
                                              << DlgButton::Yes << int(QMessageBox::Information) << no;
    QTest::newRow("default Oui, Return gives Yes") << DlgKind::Information << yesNo << ouiNon << "<Return>"
                                                   << DlgButton::Yes << int(QMessageBox::Information)
                                                   << int(DlgButton::Yes);
}

void TstDialogs::qtMessage()
{
    QFETCH(DlgKind, kind);
    QFETCH(Buttons, buttons);
    QFETCH(QStringList, buttonTexts);
    QFETCH(QString, press);
    QFETCH(DlgButton, expected);
    QFETCH(int, icon);
    QFETCH(int, defaultButton);

    const QString text = QStringLiteral("<b>Supprimer</b> la reprise 3 ?");
    QString seenTitle;
    QString seenText;
    int seenFormat = -1;
    int seenIcon = -1;
    QStringList seenButtons;
    bool pressed = false;
    whenModalShown([&](QWidget *w) {
        auto *box = qobject_cast<QMessageBox *>(w);
        if (!box)
            return;
        seenTitle = box->windowTitle();
        seenText = box->text();
        seenFormat = int(box->textFormat());
        seenIcon = int(box->icon());
        for (QAbstractButton *b : box->buttons())
            seenButtons << plain(b->text());
        if (press.startsWith(QLatin1Char('<')) && press != QLatin1String("<close>")) {
            // Keys as the operator presses them, to whatever has the focus in the box.
            for (const QString &name : press.mid(1, press.size() - 2).split(QStringLiteral("><"))) {
                const Qt::Key key = name == QLatin1String("Escape") ? Qt::Key_Escape
                    : name == QLatin1String("Tab")                 ? Qt::Key_Tab
                    : name == QLatin1String("Enter")               ? Qt::Key_Enter
                                                                   : Qt::Key_Return;
                QWidget *target = box->focusWidget() ? box->focusWidget() : box;
                QTest::keyClick(target, key, key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
            }
            pressed = true;
        } else if (press == QLatin1String("<close>")) {
            box->close();
            pressed = true;
        } else if (QAbstractButton *b = buttonWithText(box, press)) {
            b->click();
            pressed = true;
        }
    });

    QtDialogs dialogs;
    int calls = 0;
    DlgButton got = DlgButton::Yes;
    std::optional<DlgButton> defaultChoice;
    if (defaultButton >= 0)
        defaultChoice = DlgButton(defaultButton);
    dialogs.message(
        kind, text, buttons,
        [&](DlgButton b) {
            ++calls;
            got = b;
        },
        defaultChoice);
    QVERIFY(pressed);
    QCOMPARE(calls, 1);
    QCOMPARE(got, expected);
    QCOMPARE(seenTitle, ::dialogTitle(kind));
    QCOMPARE(seenText, text);
    QCOMPARE(seenFormat, int(Qt::PlainText));
    QCOMPARE(seenIcon, icon);
    seenButtons.sort();
    buttonTexts.sort();
    QCOMPARE(seenButtons, buttonTexts);
}

void TstDialogs::qtInput_data()
{
    QTest::addColumn<QStringList>("typed"); // replaces the field's text; empty list: untouched
    QTest::addColumn<QString>("press");
    QTest::addColumn<bool>("expectedOk");
    QTest::addColumn<QStringList>("expectedTexts");
    const QStringList values{QStringLiteral("Joueur 1"), QStringLiteral("Joueur 2")};
    QTest::newRow("OK with new names")
        << QStringList{"Anne", "Marc"} << "OK" << true << QStringList{"Anne", "Marc"};
    QTest::newRow("OK untouched") << QStringList() << "OK" << true << values;
    QTest::newRow("Annuler keeps the values")
        << QStringList{"Anne", "Marc"} << "Annuler" << false << values;
    QTest::newRow("Escape keeps the values")
        << QStringList{"Anne", "Marc"} << "<Escape>" << false << values;
}

void TstDialogs::qtInput()
{
    QFETCH(QStringList, typed);
    QFETCH(QString, press);
    QFETCH(bool, expectedOk);
    QFETCH(QStringList, expectedTexts);

    QString seenTitle;
    QStringList seenValues;
    bool pressed = false;
    whenModalShown([&](QWidget *w) {
        seenTitle = w->windowTitle();
        for (int i = 0; i < 2; ++i) {
            auto *edit = w->findChild<QLineEdit *>(QStringLiteral("inputQueryEdit%1").arg(i));
            if (!edit)
                return;
            seenValues << edit->text();
            if (!typed.isEmpty())
                edit->setText(typed.at(i));
        }
        if (press == QLatin1String("<Escape>")) {
            QTest::keyClick(w, Qt::Key_Escape);
            pressed = true;
        } else if (QAbstractButton *b = buttonWithText(w, press)) {
            b->click();
            pressed = true;
        }
    });

    QtDialogs dialogs;
    int calls = 0;
    bool gotOk = !expectedOk;
    QStringList gotTexts;
    dialogs.inputQuery(QStringLiteral("Noms des joueurs"),
                       {QStringLiteral("Joueur 1 :"), QStringLiteral("Joueur 2 :")},
                       {QStringLiteral("Joueur 1"), QStringLiteral("Joueur 2")},
                       [&](bool ok, const QStringList &texts) {
                           ++calls;
                           gotOk = ok;
                           gotTexts = texts;
                       });
    QVERIFY(pressed);
    QCOMPARE(calls, 1);
    QCOMPARE(seenTitle, QStringLiteral("Noms des joueurs"));
    QCOMPARE(seenValues, (QStringList{QStringLiteral("Joueur 1"), QStringLiteral("Joueur 2")}));
    QCOMPARE(gotOk, expectedOk);
    QCOMPARE(gotTexts, expectedTexts);
}

QTEST_MAIN(TstDialogs)
#include "tst_dialogs.moc"
