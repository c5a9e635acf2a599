#pragma once
// Every message box and input dialog of the window goes through this interface, so tests
// can script the answers. The answer is handed to a callback when the dialog closes.
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

class QWidget;

enum class DlgKind { Warning, Error, Information, Confirmation };
enum class DlgButton { Ok, Cancel, Yes, No };

class IDialogs {
public:
    virtual ~IDialogs() = default;
    // Modal message box of a kind (title "Avertissement", "Erreur", "Informations",
    // "Confirmer") with the given buttons; onClose receives the button pressed (Cancel or
    // No when the box is closed otherwise, Escape included). defaultButton is the one that
    // Enter presses; without it the toolkit chooses.
    virtual void message(DlgKind kind, const QString &text, const std::vector<DlgButton> &buttons,
                         std::function<void(DlgButton)> onClose = {},
                         std::optional<DlgButton> defaultButton = std::nullopt) = 0;
    // Modal input dialog: caption, one prompt and one prefilled value per field; onClose
    // receives whether OK was pressed and the texts as entered.
    virtual void inputQuery(const QString &caption, const QStringList &prompts,
                            const QStringList &values,
                            std::function<void(bool ok, const QStringList &texts)> onClose) = 0;
};

QString dialogTitle(DlgKind kind);

// The real dialogs: QMessageBox / a small QDialog, French titles and standard buttons.
class QtDialogs : public IDialogs {
public:
    explicit QtDialogs(QWidget *parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget *parent) { m_parent = parent; }
    void message(DlgKind kind, const QString &text, const std::vector<DlgButton> &buttons,
                 std::function<void(DlgButton)> onClose = {},
                 std::optional<DlgButton> defaultButton = std::nullopt) override;
    void inputQuery(const QString &caption, const QStringList &prompts, const QStringList &values,
                    std::function<void(bool, const QStringList &)> onClose) override;

private:
    QWidget *m_parent;
};

// Loads Qt's own French translations (qtbase_fr) so standard buttons read Oui, Non,
// OK, Annuler. Returns false when they are not installed.
bool installFrenchTranslations();

// Test double: records every dialog and answers from queues.
class ScriptedDialogs : public IDialogs {
public:
    struct Shown {
        bool isInput = false;
        DlgKind kind = DlgKind::Information;
        QString text;              // message text, or the input caption
        std::vector<DlgButton> buttons;
        std::optional<DlgButton> defaultButton; // the button Enter would press
        QStringList prompts;
        QStringList values;
    };
    std::vector<Shown> shown;
    std::vector<DlgButton> answers;                       // consumed front first
    std::vector<std::pair<bool, QStringList>> inputAnswers; // consumed front first

    void message(DlgKind kind, const QString &text, const std::vector<DlgButton> &buttons,
                 std::function<void(DlgButton)> onClose = {},
                 std::optional<DlgButton> defaultButton = std::nullopt) override;
    void inputQuery(const QString &caption, const QStringList &prompts, const QStringList &values,
                    std::function<void(bool, const QStringList &)> onClose) override;
    // With no queued answer a message box answers its last button (No, Cancel or OK)
    // and an input dialog is cancelled.
    const Shown *last() const { return shown.empty() ? nullptr : &shown.back(); }
    int count() const { return int(shown.size()); }
};
