#pragma once
// The match as a referee keeps it: the settings of a match (distances, innings limit,
// equalizing inning, shot clock) and the rules that tell, from the sheet alone, whether
// the match is in play, in its equalizing inning or finished, and with what result.
// Nothing here is stored: the state is computed from the rows every time it is needed, so
// an undo, a grid edit, a restart or a crash can never leave it stale.
#include "InningsTable.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <optional>
#include <vector>

struct MatchSettings {
    static QString libre() { return QStringLiteral("Libre"); }
    static QString personnalise() { return QStringLiteral("Personnalisé"); }
    static QString troisBandes() { return QStringLiteral("3 bandes"); }
    // Every discipline the operator can pick, "Personnalisé" last.
    static QStringList disciplines();

    QString discipline = libre();
    qint32 distance[2] = {0, 0};   // points; 0 = no distance for that player
    qint32 limiteReprises = 0;     // 0 = no limit
    bool egalisation = true;       // the equalizing inning is played
    qint32 tempsCoup = 0;          // seconds per shot; 0 = no shot clock
    qint32 alerteCoup = 10;        // seconds left at which the warning starts
    qint32 prolongations = 0;      // extensions per player per match
    bool son = true;               // the shot clock's sounds

    // Bounds of the fields (a value outside them, in the file or typed, is refused).
    static constexpr qint32 maxDistance = 99999;
    static constexpr qint32 maxLimite = 9999;
    static constexpr qint32 maxTempsCoup = 3600;
    static constexpr qint32 maxProlongations = 99;

    bool rulesActive() const { return distance[0] > 0 || distance[1] > 0 || limiteReprises > 0; }
    bool shotClockActive() const { return tempsCoup > 0; }

    // The shot-clock fields of a preset: {tempsCoup, alerteCoup, prolongations}; nullopt
    // for "Personnalisé" or an unknown name.
    struct ShotFields {
        qint32 tempsCoup, alerteCoup, prolongations;
        bool operator==(const ShotFields &o) const
        {
            return tempsCoup == o.tempsCoup && alerteCoup == o.alerteCoup
                && prolongations == o.prolongations;
        }
    };
    static std::optional<ShotFields> presetFields(const QString &discipline);
    ShotFields shotFields() const { return {tempsCoup, alerteCoup, prolongations}; }

    // Picking a discipline fills its shot-clock fields ("Personnalisé" keeps them).
    void applyPreset(const QString &name);
    // The operator changed the shot-clock fields: the discipline becomes "Personnalisé"
    // when they no longer are the preset's own. Distances, limit, equalizing inning and
    // sound belong to no preset and change nothing here.
    void setShotFields(const ShotFields &f);

    bool operator==(const MatchSettings &o) const;
    bool operator!=(const MatchSettings &o) const { return !(*this == o); }
};

enum class MatchPhase {
    Off,        // no distance and no limit: the sheet is kept as it always was
    InPlay,
    Equalizing, // player 1 made the distance; player 2 plays the same inning
    Finished,
};

struct MatchState {
    MatchPhase phase = MatchPhase::Off;
    int playerToPlay = 0;          // 0 or 1, derived from the last row as the turn is
    qint64 total[2] = {0, 0};      // over every row, as the scoreboard shows them
    qint32 innings[2] = {0, 0};    // runs played by each player
    // Points still needed: distance minus total (never below 0); nullopt without distance.
    std::optional<qint64> remaining[2];
    // Finished only:
    int winner = -1;               // 0, 1, or -1 for a draw
    int matchPoints[2] = {0, 0};   // 2 / 1 / 0
    int endRow = -1;               // 0-based row of the inning in which the match ended
    int endPlayer = -1;            // whose run ended it

    bool finished() const { return phase == MatchPhase::Finished; }
    // The largest run the player to play may still make: 0 once finished, the points still
    // needed when they have a distance, nullopt when nothing bounds it.
    std::optional<qint64> maxRun() const;
};

class MatchRules {
public:
    // Walks the runs in the order they were played (player 1 opens each inning) and stops
    // at the first run after which the rules end the match; a run entered beyond it (only
    // the grid can put one there) does not change the result.
    static MatchState evaluate(const MatchSettings &settings, const std::vector<InningRow> &rows);

    // The two best runs of a player over the whole sheet, best first (0 where none).
    static std::pair<qint32, qint32> bestTwoRuns(const std::vector<InningRow> &rows, int player);
};
