#include "CrashScript.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QRadioButton>
#include <QPushButton>
#include <QToolButton>

quint64 ScriptRandom::next()
{
    quint64 z = (m_state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

quint64 ScriptRandom::derive(quint64 overall, quint64 index)
{
    ScriptRandom r(overall ^ (index * 0xD1B54A32D192ED03ULL));
    r.next();
    return r.next();
}

void ScriptedWindow::open(const QString &folder)
{
    TMainFrmEnv env;
    env.documentsDir = folder;
    env.dialogs = &dialogs;
    env.runFormCreate = false; // the save hook must be in place before the first save
    window = std::make_unique<TMainFrm>(env);
    TMainFrm *w = window.get();
    const auto wrap = [this](std::function<void()> inner) {
        return [this, inner] {
            inner(); // refreshes the statistics and replaces the backup file; may throw
            ++saves;
            if (onSave)
                onSave(saves);
        };
    };
    w->Feuille->afterPost = wrap(w->Feuille->afterPost);
    w->Feuille->afterDelete = wrap(w->Feuille->afterDelete);
    w->FormCreate(w);
    w->resize(1024, 600);
    w->show();
    w->activateWindow();
    QApplication::setActiveWindow(w); // the offscreen platform has no window manager
    QApplication::processEvents();
}

QStringList ScriptedWindow::takeUnexpectedDialogs()
{
    QStringList unexpected;
    for (const ScriptedDialogs::Shown &s : dialogs.shown) {
        if (s.isInput && s.text == QStringLiteral("Saisir le nom du joueur"))
            continue;
        if (!s.isInput && s.kind == DlgKind::Information
            && s.text == QStringLiteral("Effacer les données actuelles ?"))
            continue;
        // The history warning once the file holds more than 2000 entries.
        if (!s.isInput && s.kind == DlgKind::Warning && s.text.startsWith(QStringLiteral("Le fichier historique")))
            continue;
        unexpected << QStringLiteral("%1: %2").arg(dialogTitle(s.kind), s.text);
    }
    dialogs.shown.clear();
    dialogs.answers.clear();
    dialogs.inputAnswers.clear();
    return unexpected;
}

const QStringList &CrashScript::playerNames()
{
    static const QStringList names = {
        QStringLiteral("Joueur 1"), QStringLiteral("Joueur 2"), QStringLiteral("Zoé"),
        QStringLiteral("François Lefèvre"), QStringLiteral("Ævar Østergård"), QStringLiteral("Dupont-Müller"),
        QStringLiteral(" Léa "), QStringLiteral("Éric ; Léon = 2"), QString(),
    };
    return names;
}

namespace {
// Page Up, Page Down, End, Home and the four arrows: never pressed by the script.
const int AssignableQtKeys[] = {Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_End, Qt::Key_Home,
                                Qt::Key_Left,   Qt::Key_Up,       Qt::Key_Right, Qt::Key_Down};
}

bool CrashScript::isAssignableCode(int code)
{
    return code >= 33 && code <= 40;
}

void CrashScript::key(int qtKey, const QString &text)
{
    TMainFrm *w = m_sw.window.get();
    QKeyEvent press(QEvent::KeyPress, qtKey, Qt::NoModifier, text);
    QApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, qtKey, Qt::NoModifier, text);
    QApplication::sendEvent(w, &release);
}

void CrashScript::click(QWidget *target)
{
    const QPointF local(target->width() / 2.0, target->height() / 2.0);
    const QPointF global = target->mapToGlobal(local);
    QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(target, &release);
}

void CrashScript::renamePlayer()
{
    TMainFrm *w = m_sw.window.get();
    const QStringList &names = playerNames();
    const QString name = names.at(int(m_random.below(quint32(names.size()))));
    m_sw.dialogs.inputAnswers.push_back({true, {name}});
    click(m_random.below(2) == 0 ? w->Nom1Lbl : w->Nom2Lbl);
}

// On the utilities page: check an action, capture a key on its radio button, assign it
// (which writes the settings file), and come back to the scoreboard.
void CrashScript::assignRemoteKey()
{
    TMainFrm *w = m_sw.window.get();
    QRadioButton *const radios[] = {w->RadioPlus, w->RadioMoins, w->RadioOK, w->RadioChrono};
    QRadioButton *radio = radios[m_random.below(4)];
    const int qtKey = AssignableQtKeys[m_random.below(sizeof AssignableQtKeys / sizeof AssignableQtKeys[0])];
    w->btnAffichTabTools->click();
    radio->setChecked(true);
    radio->setFocus(Qt::OtherFocusReason);
    QKeyEvent press(QEvent::KeyPress, qtKey, Qt::NoModifier);
    QApplication::sendEvent(radio, &press);
    QKeyEvent release(QEvent::KeyRelease, qtKey, Qt::NoModifier);
    QApplication::sendEvent(radio, &release);
    w->btnAffecteRemote->click();
    w->btnAffichTabFeuille->click();
}

CrashScript::Action CrashScript::step()
{
    // Weights per thousand: mostly runs entered and validated, now and then a taken-back
    // entry, a new match, a name or a remote key.
    const quint32 r = m_random.below(1000);
    if (r < 330) {
        const QChar digit = QLatin1Char(char('0' + m_random.below(10)));
        key(Qt::Key_0 + (digit.unicode() - '0'), QString(digit));
        return Action::Digit;
    }
    if (r < 630) {
        key(Qt::Key_Return, QStringLiteral("\r"));
        return Action::Enter;
    }
    if (r < 780) {
        key(Qt::Key_Backspace, QStringLiteral("\b"));
        return Action::Backspace;
    }
    if (r < 850) {
        key(Qt::Key_Plus, QStringLiteral("+"));
        return Action::Plus;
    }
    if (r < 890) {
        key(Qt::Key_Minus, QStringLiteral("-"));
        return Action::Minus;
    }
    if (r < 930) {
        key(Qt::Key_F3);
        return Action::SwapNames;
    }
    if (r < 955) {
        m_sw.dialogs.answers.push_back(DlgButton::Yes);
        key(Qt::Key_F2);
        return Action::NewMatch;
    }
    if (r < 960) {
        m_sw.dialogs.answers.push_back(DlgButton::No);
        key(Qt::Key_F2);
        return Action::NewMatchRefused;
    }
    if (r < 985) {
        renamePlayer();
        return Action::RenamePlayer;
    }
    assignRemoteKey();
    return Action::AssignRemoteKey;
}
