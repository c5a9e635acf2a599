// Keyboard and remote control: the key dispatch, the key-repeat guard, the OK interval,
// the capture of remote codes and their assignment.
#include "FeuilleMain2.h"
#include "KeyTranslate.h"
#include "X11Keyboard.h"

#include <QApplication>
#include <QKeyEvent>
#include <QRadioButton>
#include <QTabWidget>
#include <QVariantAnimation>

void TMainFrm::setKeyPlus(quint16 value)
{
    fKeyPlus = value;
    RadioPlus->setText(QStringLiteral("Plus 1 (%1)").arg(value));
}

void TMainFrm::setKeyMoins(quint16 value)
{
    fKeyMoins = value;
    RadioMoins->setText(QStringLiteral("Moins 1 (%1)").arg(value));
}

void TMainFrm::setKeyOK(quint16 value)
{
    fKeyOK = value;
    RadioOK->setText(QStringLiteral("OK (%1)").arg(value));
}

void TMainFrm::setKeyChrono(quint16 value)
{
    fKeyChrono = value;
    RadioChrono->setText(QStringLiteral("Chrono (%1)").arg(value));
}

namespace {
bool isModifierKey(int key)
{
    switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
    case Qt::Key_ScrollLock:
    case Qt::Key_Mode_switch:
        return true;
    default:
        return false;
    }
}
}

bool TMainFrm::inThisWindow(QObject *o) const
{
    auto *w = qobject_cast<QWidget *>(o);
    return w && (w == this || isAncestorOf(w));
}

// Key events are routed here before any control sees them:
// - on the scoreboard page every key goes to FormKeyDown and no control acts on it;
// - on the utilities page a focused radio button captures the key (RadioPlusKeyDown);
//   other controls keep the keys they handle, the rest reaches keyPressEvent below;
// - every real key release clears the key-held flag, whichever window it reaches (a key
//   released while a question is open must not leave the flag set);
// - a key pressed in a question or any other window sets the flag too: the question may
//   close on that press (Enter, Escape) while the key is still held, and its repeats then
//   reach the scoreboard, where they must do nothing;
// - the auto-repeat of a held key never acts, whether or not the platform marks it
//   (KeyRepeatDetector): a held key acts once;
// - a key released while a question is open may never reach any window (Qt drops the key
//   events of a window that a question blocks): when the question closes, the X server
//   tells whether a key is still held, lest the next press be swallowed.
bool TMainFrm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == RectangleFondTab && event->type() == QEvent::Resize) {
        guard([&] { FormResize(this); });
        return false;
    }
    if (watched == this && event->type() == QEvent::WindowUnblocked) {
        if (x11KeyHeld() == false)
            IsKeyDown = false;
        return false;
    }
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease)
        return false;
    auto *ke = static_cast<QKeyEvent *>(event);
    if (isModifierKey(ke->key())) {
        // Shift, Ctrl, Alt and the like are no keys of their own for the scoreboard: were
        // they to set the key-held flag, "+" on the main keys or the digits of a French
        // keyboard (both typed with Shift) would never act.
        return inThisWindow(watched) && TabControl1->currentWidget() == TabAffichage;
    }
    if (type == QEvent::KeyRelease) {
        if (m_keyRepeat.isRealRelease(*ke)) {
            quint16 key = 0;
            QChar ch;
            FormKeyUp(this, key, ch);
        }
        return inThisWindow(watched) && TabControl1->currentWidget() == TabAffichage;
    }
    if (!inThisWindow(watched)) {
        // Only widgets: the same event reaches the window object first, also for presses
        // meant for this window.
        if (qobject_cast<QWidget *>(watched))
            IsKeyDown = true;
        return false;
    }
    if (TabControl1->currentWidget() == TabAffichage) {
        if (ke->key() == Qt::Key_Tab || ke->key() == Qt::Key_Backtab)
            return true; // nothing on the scoreboard takes the focus
        if (m_keyRepeat.isRepeatPress(*ke))
            IsKeyDown = true; // still held: the pair's release cleared the flag
        else
            dispatchKeyDown(this, ke);
        return true;
    }
    auto *radio = qobject_cast<QRadioButton *>(watched);
    if (radio && ke->key() != Qt::Key_Tab && ke->key() != Qt::Key_Backtab) {
        VkKey k = translateKey(*ke);
        guard([&] { RadioPlusKeyDown(radio, k.key, k.keyChar); });
        return true;
    }
    return false;
}

void TMainFrm::keyPressEvent(QKeyEvent *e)
{
    // Keys that no control of the utilities page handled.
    dispatchKeyDown(this, e);
}

void TMainFrm::keyReleaseEvent(QKeyEvent *e)
{
    QWidget::keyReleaseEvent(e);
}

void TMainFrm::dispatchKeyDown(QObject *sender, QKeyEvent *e)
{
    VkKey k = translateKey(*e);
    guard([&] { FormKeyDown(sender, k.key, k.keyChar); });
}

void TMainFrm::FormKeyDown(QObject *, quint16 &Key, QChar &KeyChar)
{
    if (IsKeyDown)
        return;
    // The flag is set before the action: an action may open a question, whose own key
    // releases then clear it again; set afterwards it would swallow the next key press.
    IsKeyDown = true;
    if (TabControl1->currentWidget() != TabAffichage)
        return;
    if (KeyChar != QChar(0)) {
        const QChar c = KeyChar;
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            Serie->AddCharValue(c);
        else if (c == QLatin1Char('+'))
            Serie->AddValue1();
        else if (c == QLatin1Char('-'))
            Serie->DecValue1();
        else if (c == QLatin1Char('*'))
            imgPauseChronoClick(this);
        return;
    }
    const quint16 key = Key;
    if (key == 13) {
        btnSetSerieClick(this);
    } else if (key == KeyOK()) {
        const double t = m_env.timeOfDay();
        const bool accepted = t - fLastTimeKey13 > fdTime13Max;
        fLastTimeKey13 = t;
        if (accepted)
            btnSetSerieClick(this);
    } else if (key == KeyPlus()) {
        Serie->AddValue1();
    } else if (key == KeyMoins()) {
        Serie->DecValue1();
    } else if (key == KeyChrono()) {
        imgPauseChronoClick(this);
    } else if (key == KeyProlongation() || key == 115) {
        btnProlongationClick(this);
    } else if (key == 8) {
        if (Serie->Points() <= 0)
            UndoLastSerie();
        else
            Serie->DecCharValue();
    } else if (key == 113) {
        btnStartClick(nullptr);
    } else if (key == 114) {
        SwapNames();
    }
}

void TMainFrm::FormKeyUp(QObject *, quint16 &, QChar &)
{
    IsKeyDown = false;
}

void TMainFrm::RadioPlusKeyDown(QObject *, quint16 &Key, QChar &KeyChar)
{
    if (KeyChar != QChar(0) || Key == 0) {
        lblKeyTest->setTag(0);
        lblKeyTest->setText(QStringLiteral("0"));
    } else {
        lblKeyTest->setTag(Key);
        lblKeyTest->setText(QString::number(Key));
        ColorAnimation1->stop();
        ColorAnimation1->start();
    }
    Key = 0;
    KeyChar = QChar(0);
}

void TMainFrm::btnAffecteRemoteClick(QObject *)
{
    bool written = false;
    const int tag = lblKeyTest->tag();
    if (tag > 0) {
        const quint16 code = quint16(tag & 0xFFFF);
        written = true;
        if (RadioPlus->isChecked())
            setKeyPlus(code);
        else if (RadioMoins->isChecked())
            setKeyMoins(code);
        else if (RadioOK->isChecked())
            setKeyOK(code);
        else if (RadioChrono->isChecked())
            setKeyChrono(code);
        else if (RadioProlongation && RadioProlongation->isChecked())
            setKeyProlongation(code);
        else
            written = false;
    }
    if (written) {
        WriteIni();
        return;
    }
    m_dialogs->message(DlgKind::Error,
                       QStringLiteral("Vous devez sélectionner une action et une touche de code non nul sur la "
                                      "télécommande"),
                       {DlgButton::Ok});
}
