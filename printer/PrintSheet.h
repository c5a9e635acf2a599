#pragma once
// The score sheet as the scoreboard hands it to us: a header line with the two names and
// the date, then one line per inning with the points of each player, either of them empty
// while that player has not played the inning.
#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace PrintSheet {

struct Inning {
    std::optional<qint32> pts1;
    std::optional<qint32> pts2;
};

// The rules and the result of a refereed match, from the scoreboard's file beside the print
// file ("tmp.ini" beside "tmp.txt"); absent when the match was played without rules.
struct MatchInfo {
    QString discipline;
    qint32 distance[2] = {0, 0}; // 0 = no distance
    qint32 limiteReprises = 0;   // 0 = no limit
    bool egalisation = true;
    QString result;              // "Victoire de ...", "Match nul" or "Match en cours"
    qint32 matchPoints[2] = {0, 0};
    QString bestRuns[2];         // the two best runs, "12 9"
};

struct Sheet {
    QString name1;
    QString name2;
    QString date; // as written by the scoreboard, "dd/mm/yyyy hh:nn" with its separators
    QList<Inning> innings;
    std::optional<MatchInfo> match;
};

struct PlayerSummary {
    qint64 total = 0;
    int played = 0;             // innings in which the player has points, zero included
    std::optional<qint32> best; // none before the first inning played
};

// Beyond these a file is no score sheet we are willing to lay out.
constexpr int MaxInnings = 10000;
constexpr qint64 MaxFileBytes = 2 * 1024 * 1024;

// The points of player 1 or 2 of one inning.
std::optional<qint32> points(const Inning &inning, int player);
PlayerSummary summarize(const Sheet &sheet, int player);
// Average points per inning played, three decimals with a decimal comma ("3,333"),
// halves rounded away from zero; "0,000" before the first inning.
QString formatAverage(qint64 total, int played);

// UTF-8 or UTF-16 when the bytes start with the matching byte-order mark, else Windows-1252.
QString decodeText(const QByteArray &bytes);

// On failure `error` receives a French sentence naming the faulty line.
bool parseSheet(const QByteArray &bytes, Sheet *sheet, QString *error);
// Reads and parses the file; `error` names the file and the reason. The match file beside
// it is read too when it exists; a missing or unreadable one only leaves `match` empty.
bool loadSheet(const QString &path, Sheet *sheet, QString *error);
// The "[MATCH]" section's key=value lines; nullopt when there is none.
std::optional<MatchInfo> parseMatchInfo(const QByteArray &bytes);

} // namespace PrintSheet
