#pragma once
// Reads score sheets back from their text form: a header "name1<TAB>name2<TAB>dd/mm/yyyy
// hh:nn" followed by rows "pts1<TAB>pts2" (a field is empty while that player has not
// played). Each line may keep the CR of its own entry; empty lines (what loading a history
// file makes of that CR) are skipped. Several sheets follow one another, as in the history
// file or a frame of archives; a header starts the next sheet.
#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

struct ParsedSheet {
    QString name1, name2;
    QString stampText;      // the header's date as written ("05/03/2016 14:05")
    QDateTime playedAt;     // invalid when the date could not be read
    struct Row { std::optional<int> pts1, pts2; };
    QList<Row> rows;
    QStringList lines;      // the sheet's lines as they came, without line ends

    int total(int player) const;
    int innings(int player) const;   // rows where that player has played
    int best(int player) const;
    // The raw text kept with the sheet: its lines joined by LF.
    QString rawText() const { return lines.join(QLatin1Char('\n')); }
    // The hex SHA-256 that identifies the sheet whatever way it came: accented letters
    // folded to "?" as the network frame carries them, empty lines and CRs left out.
    QByteArray hash() const;
};

struct SheetParseResult {
    QList<ParsedSheet> sheets;
    int skippedLines = 0;   // non-empty lines that are neither a header nor a row
};

namespace SheetParse {
SheetParseResult parse(const QStringList &lines);
// The lines of a frame as the parser hands them out (ASCII, "?" for the rest).
SheetParseResult parseFrameLines(const QList<QByteArray> &lines);
}
