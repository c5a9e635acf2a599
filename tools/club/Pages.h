#pragma once
// The pages of the club server, built as plain semantic HTML on the server; the one script
// (assets/club.js) fills the live parts. Every text is French.
#include "ClubStore.h"
#include "LiveHub.h"

#include <QByteArray>
#include <QString>

namespace Pages {
QString escape(const QString &text);
QString average(double value);  // "2,400"
QByteArray dashboard();
QByteArray tablePage(const QString &table);
QByteArray overlayPage(const QString &table);
QByteArray matchesPage(const QList<StoredSheet> &sheets, const QString &player,
                       const QString &date, const QString &error);
QByteArray sheetPage(const StoredSheet &sheet);
QByteArray playersPage(const QList<PlayerSummary> &players);
QByteArray playerPage(const PlayerRecord &record);
QString averageChart(const PlayerRecord &record);   // an SVG element
QByteArray errorPage(int status, const QString &message);
}
