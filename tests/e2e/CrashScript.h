#pragma once
// A random operator at the scoreboard, shared by the crash driver (which plays it until it
// is killed) and by tst_crashkill (which plays it again in-process to know every state the
// sheet went through). Both build the window the same way and draw the same actions from
// the same random start value, so the same run of saves comes out of both.
//
// Every action goes through the window as the operator would: key presses and releases
// sent to the window, clicks on the name labels and on the buttons of the utilities page.
// Questions are answered through ScriptedDialogs.
#include "Dialogs.h"
#include "FeuilleMain2.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

// splitmix64: small, fast, and the same sequence on every platform and Qt version.
class ScriptRandom {
public:
    explicit ScriptRandom(quint64 start) : m_state(start) {}
    quint64 next();
    quint32 below(quint32 n) { return quint32(next() % n); } // 0 .. n-1
    // The random start of run `index` derived from an overall random start.
    static quint64 derive(quint64 overall, quint64 index);

private:
    quint64 m_state;
};

// The window as both processes build it: documents folder, scripted dialogs, and a hook
// that runs after every completed save (the table's after-post and after-delete hooks are
// wrapped, so the hook runs once the backup file has been replaced).
struct ScriptedWindow {
    ScriptedDialogs dialogs;
    std::unique_ptr<TMainFrm> window;
    qint64 saves = 0;
    std::function<void(qint64 saves)> onSave;

    // Builds the window on `folder`, runs its start-up and shows it.
    void open(const QString &folder);
    // Texts of the dialogs shown since the last call that no script action asks for (an
    // error box, an unreadable backup); forgets every dialog shown.
    QStringList takeUnexpectedDialogs();
};

class CrashScript {
public:
    enum class Action {
        Digit, Enter, Backspace, Plus, Minus, SwapNames, NewMatch, NewMatchRefused, RenamePlayer,
        AssignRemoteKey
    };

    CrashScript(ScriptedWindow &sw, quint64 start) : m_sw(sw), m_random(start) {}
    Action step();

    // The names the script may type and the codes it may assign to the remote actions
    // (keys it never presses itself, so an assignment never changes what a later key does).
    static const QStringList &playerNames();
    static bool isAssignableCode(int code);

private:
    void key(int qtKey, const QString &text = QString());
    void click(QWidget *w);
    void renamePlayer();
    void assignRemoteKey();

    ScriptedWindow &m_sw;
    ScriptRandom m_random;
};
