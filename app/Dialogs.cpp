#include "Dialogs.h"

#include <QFont>

#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTranslator>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>

QString dialogTitle(DlgKind kind)
{
    switch (kind) {
    case DlgKind::Warning:
        return QStringLiteral("Avertissement");
    case DlgKind::Error:
        return QStringLiteral("Erreur");
    case DlgKind::Information:
        return QStringLiteral("Informations");
    case DlgKind::Confirmation:
        return QStringLiteral("Confirmer");
    }
    return QString();
}

namespace {

QMessageBox::Icon iconOf(DlgKind kind)
{
    switch (kind) {
    case DlgKind::Warning:
        return QMessageBox::Warning;
    case DlgKind::Error:
        return QMessageBox::Critical;
    case DlgKind::Information:
        return QMessageBox::Information;
    case DlgKind::Confirmation:
        return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButton standardOf(DlgButton b)
{
    switch (b) {
    case DlgButton::Ok:
        return QMessageBox::Ok;
    case DlgButton::Cancel:
        return QMessageBox::Cancel;
    case DlgButton::Yes:
        return QMessageBox::Yes;
    case DlgButton::No:
        return QMessageBox::No;
    }
    return QMessageBox::NoButton;
}

// The operator always reads French buttons, whether or not Qt's own translations are
// installed on the machine.
QString frenchText(DlgButton b)
{
    switch (b) {
    case DlgButton::Ok:
        return QStringLiteral("OK");
    case DlgButton::Cancel:
        return QStringLiteral("Annuler");
    case DlgButton::Yes:
        return QStringLiteral("&Oui");
    case DlgButton::No:
        return QStringLiteral("&Non");
    }
    return QString();
}

bool contains(const std::vector<DlgButton> &buttons, DlgButton b)
{
    return std::find(buttons.begin(), buttons.end(), b) != buttons.end();
}

// What closing a box without pressing a button (Escape, the close box) answers.
DlgButton escapeAnswer(const std::vector<DlgButton> &buttons)
{
    if (contains(buttons, DlgButton::Cancel))
        return DlgButton::Cancel;
    if (contains(buttons, DlgButton::No))
        return DlgButton::No;
    return DlgButton::Ok;
}

} // namespace

namespace {
// The operator answers from a step or two away: questions are set larger than the
// desktop's default.
QFont readableFont(QFont font)
{
    font.setPixelSize(18);
    return font;
}
}

void QtDialogs::message(DlgKind kind, const QString &text, const std::vector<DlgButton> &buttons,
                        std::function<void(DlgButton)> onClose,
                        std::optional<DlgButton> defaultButton)
{
    std::vector<DlgButton> offered = buttons;
    if (offered.empty())
        offered.push_back(DlgButton::Ok);
    const DlgButton onEscape = escapeAnswer(offered);

    DlgButton answer = onEscape;
    {
        QMessageBox box(iconOf(kind), dialogTitle(kind), text, QMessageBox::NoButton, m_parent);
        box.setTextFormat(Qt::PlainText);
        box.setFont(readableFont(box.font()));
        std::vector<std::pair<QAbstractButton *, DlgButton>> map;
        for (DlgButton b : offered) {
            QPushButton *button = box.addButton(standardOf(b));
            button->setText(frenchText(b));
            map.emplace_back(button, b);
            if (b == onEscape)
                box.setEscapeButton(button);
            if (defaultButton && b == *defaultButton)
                box.setDefaultButton(button);
        }
        box.exec();
        // The callback runs after the box is gone: it may open the next dialog.
        QAbstractButton *clicked = box.clickedButton();
        for (const auto &entry : map) {
            if (entry.first == clicked)
                answer = entry.second;
        }
    }
    if (onClose)
        onClose(answer);
}

void QtDialogs::inputQuery(const QString &caption, const QStringList &prompts,
                           const QStringList &values,
                           std::function<void(bool, const QStringList &)> onClose)
{
    bool ok = false;
    QStringList texts = values;
    {
        QDialog dialog(m_parent);
        dialog.setWindowTitle(caption);
        dialog.setFont(readableFont(dialog.font()));
        auto *layout = new QVBoxLayout(&dialog);
        std::vector<QLineEdit *> edits;
        for (int i = 0; i < prompts.size(); ++i) {
            auto *label = new QLabel(prompts.at(i), &dialog);
            label->setTextFormat(Qt::PlainText);
            auto *edit = new QLineEdit(i < values.size() ? values.at(i) : QString(), &dialog);
            edit->setObjectName(QStringLiteral("inputQueryEdit%1").arg(i));
            label->setBuddy(edit);
            layout->addWidget(label);
            layout->addWidget(edit);
            edits.push_back(edit);
        }
        auto *box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
        box->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
        box->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Annuler"));
        QObject::connect(box, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
        QObject::connect(box, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
        layout->addWidget(box);
        dialog.setMinimumWidth(320);
        if (!edits.empty())
            edits.front()->selectAll();

        ok = dialog.exec() == QDialog::Accepted;
        if (ok) {
            texts.clear();
            for (QLineEdit *edit : edits)
                texts << edit->text();
        }
    }
    if (onClose)
        onClose(ok, texts);
}

bool installFrenchTranslations()
{
    static std::unique_ptr<QTranslator> translator;
    if (translator)
        return true;
    if (!QCoreApplication::instance())
        return false;
    auto candidate = std::make_unique<QTranslator>();
    if (!candidate->load(QStringLiteral("qtbase_fr"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    if (!QCoreApplication::installTranslator(candidate.get()))
        return false;
    translator = std::move(candidate);
    return true;
}

void ScriptedDialogs::message(DlgKind kind, const QString &text,
                              const std::vector<DlgButton> &buttons,
                              std::function<void(DlgButton)> onClose,
                              std::optional<DlgButton> defaultButton)
{
    Shown s;
    s.kind = kind;
    s.text = text;
    s.buttons = buttons;
    s.defaultButton = defaultButton;
    shown.push_back(s);

    DlgButton answer = buttons.empty() ? DlgButton::Ok : buttons.back();
    if (!answers.empty()) {
        answer = answers.front();
        answers.erase(answers.begin());
    }
    if (onClose)
        onClose(answer);
}

void ScriptedDialogs::inputQuery(const QString &caption, const QStringList &prompts,
                                 const QStringList &values,
                                 std::function<void(bool, const QStringList &)> onClose)
{
    Shown s;
    s.isInput = true;
    s.text = caption;
    s.prompts = prompts;
    s.values = values;
    shown.push_back(s);

    bool ok = false;
    QStringList texts = values;
    if (!inputAnswers.empty()) {
        ok = inputAnswers.front().first;
        texts = inputAnswers.front().second;
        inputAnswers.erase(inputAnswers.begin());
    }
    if (onClose)
        onClose(ok, texts);
}
