#pragma once
// A real window over a temporary documents folder, with scripted dialogs and clocks
// that tests move by hand.
#include "Dialogs.h"
#include "FeuilleMain2.h"
#include "InningsTable.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QToolButton>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <vector>

struct Rows {
    static std::vector<InningRow> of(std::initializer_list<std::pair<int, int>> pairs)
    {
        // -1 stands for a null (not played).
        std::vector<InningRow> out;
        for (auto [a, b] : pairs) {
            InningRow r;
            if (a >= 0)
                r.pts[0] = a;
            if (b >= 0)
                r.pts[1] = b;
            out.push_back(r);
        }
        return out;
    }
};

inline QString rowsText(const std::vector<InningRow> &rows)
{
    QStringList parts;
    for (const InningRow &r : rows)
        parts << QStringLiteral("(%1,%2)")
                     .arg(r.pts[0] ? QString::number(*r.pts[0]) : QStringLiteral("-"),
                          r.pts[1] ? QString::number(*r.pts[1]) : QStringLiteral("-"));
    return parts.join(QLatin1Char(' '));
}

class WindowFixture {
public:
    QTemporaryDir dir;
    ScriptedDialogs dialogs;
    qint64 clockMs = 1000000;
    double timeOfDay = 0.5; // noon
    QDateTime now{QDate(2016, 3, 5), QTime(14, 5)};
    std::unique_ptr<TMainFrm> w;

    WindowFixture() = default;
    // The documents folder made inside `parent` (a small disk of the test's own).
    explicit WindowFixture(const QString &parent) : dir(QDir(parent).filePath(QStringLiteral("docs-XXXXXX"))) {}

    TMainFrmEnv env()
    {
        TMainFrmEnv e;
        e.documentsDir = dir.path();
        e.applicationDir = dir.path();
        e.dialogs = &dialogs;
        e.clock = [this] { return clockMs; };
        e.timeOfDay = [this] { return timeOfDay; };
        e.now = [this] { return now; };
        return e;
    }
    TMainFrm &start()
    {
        w = std::make_unique<TMainFrm>(env());
        w->setLocaleForTexts(QLocale::c());
        return *w;
    }
    void restart()
    {
        w.reset();
        start();
    }
    QString path(const QString &name) const { return dir.filePath(name); }
    QString backup() const { return path(QStringLiteral("FeuilleMatch.bin")); }
    std::vector<InningRow> backupRows() const
    {
        InningsTable t;
        t.loadFromFile(backup());
        return t.rows();
    }
    QString sheet() const { return rowsText(w->Feuille->rows()); }
    QString savedSheet() const { return rowsText(backupRows()); }

    // Typing on the scoreboard: every key goes through the window's own key handling.
    void key(Qt::Key k, Qt::KeyboardModifiers mods = Qt::NoModifier, const QString &text = {})
    {
        QKeyEvent press(QEvent::KeyPress, k, mods, text);
        QKeyEvent release(QEvent::KeyRelease, k, mods, text);
        QApplication::sendEvent(w.get(), &press);
        QApplication::sendEvent(w.get(), &release);
    }
    void type(const QString &keys)
    {
        for (QChar c : keys) {
            if (c == QLatin1Char('\n'))
                key(Qt::Key_Return);
            else if (c == QLatin1Char('\b'))
                key(Qt::Key_Backspace);
            else
                key(Qt::Key(c.toUpper().unicode()), Qt::NoModifier, QString(c));
        }
    }
    void play(const std::vector<int> &runs)
    {
        for (int p : runs) {
            if (p > 0)
                type(QString::number(p));
            key(Qt::Key_Return);
        }
    }
};
