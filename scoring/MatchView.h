#pragma once
// What the scoreboard shows of the match, in one plain value for readers outside the
// window (the live publisher): the rules, the state derived from the sheet, the shot clock.
#include "MatchRules.h"

#include <optional>

struct MatchView {
    bool rulesActive = false;
    QString discipline;
    qint32 distance[2] = {0, 0};     // 0 = no distance
    qint32 limiteReprises = 0;       // 0 = no limit
    bool egalisation = true;
    MatchPhase phase = MatchPhase::Off;
    std::optional<qint64> remaining[2]; // points still needed, when a distance is set
    int winner = -1;                 // finished only: 0, 1, or -1 for a draw
    int matchPoints[2] = {0, 0};     // finished only
    bool shotClockActive = false;    // "TempsCoup" > 0 and run timing on
    qint32 shotSecondsLeft = 0;
    bool shotWarning = false;
    bool shotExpired = false;
    qint32 extensionsLeft[2] = {0, 0};
};
