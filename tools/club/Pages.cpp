#include "Pages.h"

#include <QLocale>
#include <QUrl>

#include <algorithm>
#include <cmath>

namespace {

QString nav(const QString &current)
{
    auto item = [&](const char *href, const char *label, const char *key) {
        const bool here = current == QLatin1String(key);
        return QStringLiteral("<li><a href=\"%1\"%2>%3</a></li>")
            .arg(QLatin1String(href), here ? QStringLiteral(" aria-current=\"page\"") : QString(),
                 QString::fromUtf8(label));
    };
    return QStringLiteral("<nav><ul>%1%2%3</ul></nav>")
        .arg(item("/", "Tables en direct", "tables"), item("/matches", "Matchs", "matches"),
             item("/joueurs", "Joueurs", "joueurs"));
}

QByteArray document(const QString &title, const QString &bodyClass, const QString &body,
                    bool live, const QString &extraBodyAttributes = QString())
{
    QString html = QStringLiteral(
        "<!DOCTYPE html>\n<html lang=\"fr\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
        "<title>%1</title>\n<link rel=\"icon\" href=\"/assets/favicon.svg\" type=\"image/svg+xml\">\n"
        "<link rel=\"stylesheet\" href=\"/assets/club.css\">\n%2</head>\n"
        "<body class=\"%3\"%4>\n%5\n</body>\n</html>\n")
        .arg(Pages::escape(title),
             live ? QStringLiteral("<script src=\"/assets/club.js\" defer></script>\n") : QString(),
             bodyClass, extraBodyAttributes, body);
    return html.toUtf8();
}

QString link(const QString &prefix, const QString &name)
{
    // In an attribute, "&#37;" is read as "%" before the address is: see escape().
    return prefix + QString::fromLatin1(QUrl::toPercentEncoding(name)).replace(u'%', QLatin1String("&#37;"));
}

QString dateText(const QString &iso)
{
    // "2016-03-05T14:05" -> "05/03/2016 14:05"
    if (iso.size() < 16)
        return iso;
    return QStringLiteral("%1/%2/%3 %4").arg(iso.mid(8, 2), iso.mid(5, 2), iso.left(4), iso.mid(11, 5));
}

} // namespace

QString Pages::escape(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        switch (c.unicode()) {
        case '&': out += QLatin1String("&amp;"); break;
        case '<': out += QLatin1String("&lt;"); break;
        case '>': out += QLatin1String("&gt;"); break;
        case '"': out += QLatin1String("&quot;"); break;
        case '\'': out += QLatin1String("&#39;"); break;
        // Never a "%" in the output: the pages are put together with QString::arg, which
        // would read one in a name as a place for the next argument.
        case '%': out += QLatin1String("&#37;"); break;
        default: out += c;
        }
    }
    return out;
}

QString Pages::average(double value)
{
    QLocale fr(QLocale::French, QLocale::France);
    fr.setNumberOptions(QLocale::OmitGroupSeparator);
    // Rounded on the decimal value, not on its binary approximation (0.0625 gives 0,063
    // with toString alone).
    const double r = std::round(value * 1000.0) / 1000.0;
    return fr.toString(r, 'f', 3);
}

QByteArray Pages::dashboard()
{
    const QString body = QStringLiteral(
        "<header><h1>Tables en direct</h1>%1</header>\n"
        "<main>\n<p class=\"etat-direct\" data-etat>Connexion au direct…</p>\n"
        "<div id=\"tables\" class=\"tables\" data-live=\"all\">\n"
        "<p class=\"vide\">Aucune table ne diffuse pour le moment.</p>\n</div>\n</main>")
                             .arg(nav(QStringLiteral("tables")));
    return document(QStringLiteral("Tables en direct — club"), QStringLiteral("dash"), body, true);
}

QByteArray Pages::tablePage(const QString &table)
{
    const QString body = QStringLiteral(
        "<main id=\"tables\" class=\"tables\" data-live=\"one\" data-table=\"%1\">\n"
        "<p class=\"vide\">%2 : en attente de la table…</p>\n</main>\n"
        "<p class=\"etat-direct\" data-etat>Connexion au direct…</p>")
                             .arg(escape(table), escape(table));
    return document(table, QStringLiteral("tv"), body, true);
}

QByteArray Pages::overlayPage(const QString &table)
{
    const QString body = QStringLiteral(
        "<main id=\"tables\" class=\"tables\" data-live=\"strip\" data-table=\"%1\"></main>")
                             .arg(escape(table));
    return document(table, QStringLiteral("overlay"), body, true);
}

QByteArray Pages::matchesPage(const QList<StoredSheet> &sheets, const QString &player,
                              const QString &date, const QString &error)
{
    QString rows;
    for (const StoredSheet &s : sheets) {
        rows += QStringLiteral(
            "<tr><td><a href=\"/matches/%1\">%2</a></td><td>%3</td>"
            "<td><a href=\"%4\">%5</a></td><td class=\"n\">%6</td><td class=\"n\">%7</td>"
            "<td><a href=\"%8\">%9</a></td><td class=\"n\">%10</td></tr>\n")
                    .arg(s.id)
                    .arg(escape(s.playedAt.isEmpty() ? s.stampText : dateText(s.playedAt)),
                         escape(s.table), link(QStringLiteral("/joueurs/"), s.name1),
                         escape(s.name1))
                    .arg(s.total1)
                    .arg(s.total2)
                    .arg(link(QStringLiteral("/joueurs/"), s.name2), escape(s.name2))
                    .arg(qMax(s.innings1, s.innings2));
    }
    QString list;
    if (!error.isEmpty())
        list = QStringLiteral("<p class=\"erreur\" role=\"alert\">%1</p>").arg(escape(error));
    else if (sheets.isEmpty())
        list = QStringLiteral("<p class=\"vide\">Aucune feuille ne correspond.</p>");
    else
        list = QStringLiteral(
            "<p>%1 feuille(s)%2.</p>\n<div class=\"defile\"><table class=\"liste\">\n"
            "<thead><tr><th scope=\"col\">Date</th><th scope=\"col\">Table</th>"
            "<th scope=\"col\">Joueur 1</th><th scope=\"col\">Points</th><th scope=\"col\">Points</th>"
            "<th scope=\"col\">Joueur 2</th><th scope=\"col\">Reprises</th></tr></thead>\n"
            "<tbody>\n%3</tbody></table></div>")
                   .arg(sheets.size())
                   .arg(sheets.size() >= 500 ? QStringLiteral(" (les plus récentes)") : QString(), rows);
    const QString body = QStringLiteral(
        "<header><h1>Matchs enregistrés</h1>%1</header>\n<main>\n"
        "<form method=\"get\" action=\"/matches\" class=\"recherche\">\n"
        "<label>Joueur <input type=\"search\" name=\"joueur\" value=\"%2\"></label>\n"
        "<label>Date <input type=\"date\" name=\"date\" value=\"%3\"></label>\n"
        "<button type=\"submit\">Rechercher</button>\n</form>\n%4\n</main>")
                             .arg(nav(QStringLiteral("matches")), escape(player), escape(date), list);
    return document(QStringLiteral("Matchs enregistrés — club"), QStringLiteral("page"), body, false);
}

QByteArray Pages::sheetPage(const StoredSheet &s)
{
    QString rows;
    int run1 = 0, run2 = 0;
    for (int i = 0; i < s.rows.size(); ++i) {
        const auto &r = s.rows[i];
        if (r.pts1)
            run1 += *r.pts1;
        if (r.pts2)
            run2 += *r.pts2;
        rows += QStringLiteral("<tr><th scope=\"row\">%1</th><td class=\"n\">%2</td><td class=\"n\">%3</td>"
                               "<td class=\"n\">%4</td><td class=\"n\">%5</td></tr>\n")
                    .arg(i + 1)
                    .arg(r.pts1 ? QString::number(*r.pts1) : QString())
                    .arg(r.pts1 ? QString::number(run1) : QString())
                    .arg(r.pts2 ? QString::number(*r.pts2) : QString())
                    .arg(r.pts2 ? QString::number(run2) : QString());
    }
    const double a1 = s.innings1 ? double(s.total1) / s.innings1 : 0.0;
    const double a2 = s.innings2 ? double(s.total2) / s.innings2 : 0.0;
    const QString title = QStringLiteral("%1 – %2").arg(s.name1, s.name2);
    const QString body = QStringLiteral(
        "<header><h1>%1</h1>%2</header>\n<main>\n"
        "<p>Joué le %3%4 ; reçu le %5.</p>\n"
        "<div class=\"defile\"><table class=\"liste\">\n<thead><tr><th scope=\"col\">Reprise</th>"
        "<th scope=\"col\" colspan=\"2\"><a href=\"%6\">%7</a></th>"
        "<th scope=\"col\" colspan=\"2\"><a href=\"%8\">%9</a></th></tr></thead>\n<tbody>\n%10</tbody>\n"
        "<tfoot><tr><th scope=\"row\">Total</th><td class=\"n\" colspan=\"2\">%11</td>"
        "<td class=\"n\" colspan=\"2\">%12</td></tr>\n"
        "<tr><th scope=\"row\">Moyenne</th><td class=\"n\" colspan=\"2\">%13</td>"
        "<td class=\"n\" colspan=\"2\">%14</td></tr>\n"
        "<tr><th scope=\"row\">Meilleure série</th><td class=\"n\" colspan=\"2\">%15</td>"
        "<td class=\"n\" colspan=\"2\">%16</td></tr></tfoot>\n</table></div>\n</main>")
                             .arg(escape(title), nav(QString()),
                                  escape(s.playedAt.isEmpty() ? s.stampText : dateText(s.playedAt)),
                                  s.table.isEmpty() ? QString()
                                                    : QStringLiteral(" sur %1").arg(escape(s.table)),
                                  escape(s.receivedAt.left(19).replace(u'T', u' ')) + QStringLiteral(" UTC"),
                                  link(QStringLiteral("/joueurs/"), s.name1), escape(s.name1),
                                  link(QStringLiteral("/joueurs/"), s.name2), escape(s.name2))
                             .arg(rows)
                             .arg(s.total1)
                             .arg(s.total2)
                             .arg(average(a1), average(a2))
                             .arg(s.best1)
                             .arg(s.best2);
    return document(title, QStringLiteral("page"), body, false);
}

QByteArray Pages::playersPage(const QList<PlayerSummary> &players)
{
    QString items;
    for (const PlayerSummary &p : players)
        items += QStringLiteral("<li><a href=\"%1\">%2</a> <span class=\"discret\">(%3 match%4)</span></li>\n")
                     .arg(link(QStringLiteral("/joueurs/"), p.name), escape(p.name))
                     .arg(p.matches)
                     .arg(p.matches > 1 ? QStringLiteral("s") : QString());
    const QString body = QStringLiteral("<header><h1>Joueurs</h1>%1</header>\n<main>\n%2\n</main>")
                             .arg(nav(QStringLiteral("joueurs")),
                                  items.isEmpty() ? QStringLiteral("<p class=\"vide\">Aucun match enregistré.</p>")
                                                  : QStringLiteral("<ul class=\"joueurs\">\n%1</ul>").arg(items));
    return document(QStringLiteral("Joueurs — club"), QStringLiteral("page"), body, false);
}

QString Pages::averageChart(const PlayerRecord &r)
{
    const int w = 640, h = 240, left = 48, right = 12, top = 14, bottom = 34;
    const int n = int(r.matches.size());
    double maxAvg = 0.0;
    for (const PlayerMatch &m : r.matches)
        maxAvg = std::max(maxAvg, m.average());
    // A round top for the scale: 0.5, 1, 2, 5, 10 ...
    double top_ = 0.5;
    for (double step = 0.5; step < maxAvg;) {
        // 0.5, 1, 2, 5, 10, 20, 50 ...
        const double mantissa = step / std::pow(10.0, std::floor(std::log10(step)));
        step *= mantissa < 1.5 ? 2.0 : mantissa < 3.0 ? 2.5 : 2.0;
        top_ = step;
    }
    const double plotW = w - left - right, plotH = h - top - bottom;
    auto x = [&](int i) { return left + (n == 1 ? plotW / 2 : plotW * i / (n - 1)); };
    auto y = [&](double v) { return top + plotH * (1.0 - v / top_); };
    QString svg = QStringLiteral(
        "<svg class=\"graphe\" viewBox=\"0 0 %1 %2\" role=\"img\" aria-labelledby=\"graphe-titre\" "
        "xmlns=\"http://www.w3.org/2000/svg\">\n<title id=\"graphe-titre\">Moyenne par match de %3</title>\n")
                      .arg(w).arg(h).arg(escape(r.name));
    for (int k = 0; k <= 4; ++k) {
        const double v = top_ * k / 4;
        svg += QStringLiteral("<line class=\"grille\" x1=\"%1\" y1=\"%2\" x2=\"%3\" y2=\"%2\"/>"
                              "<text class=\"axe\" x=\"%4\" y=\"%5\" text-anchor=\"end\">%6</text>\n")
                   .arg(left).arg(y(v), 0, 'f', 1).arg(w - right).arg(left - 6).arg(y(v) + 4, 0, 'f', 1)
                   .arg(average(v).left(average(v).size() - 1));
    }
    QString points;
    for (int i = 0; i < n; ++i)
        points += QStringLiteral("%1,%2 ").arg(x(i), 0, 'f', 1).arg(y(r.matches[i].average()), 0, 'f', 1);
    if (n > 1)
        svg += QStringLiteral("<polyline class=\"courbe\" points=\"%1\"/>\n").arg(points.trimmed());
    for (int i = 0; i < n; ++i) {
        const PlayerMatch &m = r.matches[i];
        svg += QStringLiteral("<circle class=\"point\" cx=\"%1\" cy=\"%2\" r=\"4\"><title>%3 : %4</title></circle>\n")
                   .arg(x(i), 0, 'f', 1).arg(y(m.average()), 0, 'f', 1)
                   .arg(escape(dateText(m.sheet.playedAt)), average(m.average()));
    }
    // The first and last dates under the axis.
    if (n > 0) {
        svg += QStringLiteral("<text class=\"axe\" x=\"%1\" y=\"%2\" text-anchor=\"%3\">%4</text>\n")
                   .arg(x(0), 0, 'f', 1).arg(h - 10).arg(n == 1 ? QStringLiteral("middle") : QStringLiteral("start"))
                   .arg(escape(dateText(r.matches.first().sheet.playedAt).left(10)));
        if (n > 1)
            svg += QStringLiteral("<text class=\"axe\" x=\"%1\" y=\"%2\" text-anchor=\"end\">%3</text>\n")
                       .arg(x(n - 1), 0, 'f', 1).arg(h - 10)
                       .arg(escape(dateText(r.matches.last().sheet.playedAt).left(10)));
    }
    svg += QStringLiteral("</svg>");
    return svg;
}

QByteArray Pages::playerPage(const PlayerRecord &r)
{
    QString rows;
    for (int i = int(r.matches.size()) - 1; i >= 0; --i) {
        const PlayerMatch &m = r.matches[i];
        rows += QStringLiteral(
            "<tr><td><a href=\"/matches/%1\">%2</a></td><td><a href=\"%3\">%4</a></td>"
            "<td class=\"n\">%5</td><td class=\"n\">%6</td><td class=\"n\">%7</td>"
            "<td class=\"n\">%8</td><td class=\"n\">%9</td></tr>\n")
                    .arg(m.sheet.id)
                    .arg(escape(dateText(m.sheet.playedAt)), link(QStringLiteral("/joueurs/"), m.opponent),
                         escape(m.opponent))
                    .arg(QStringLiteral("%1 – %2").arg(m.points).arg(m.opponentPoints))
                    .arg(m.innings)
                    .arg(average(m.average()))
                    .arg(m.best)
                    .arg(m.matchPoints);
    }
    const QString body = QStringLiteral(
        "<header><h1>%1</h1>%2</header>\n<main>\n"
        "<dl class=\"bilan\">\n"
        "<div><dt>Matchs</dt><dd data-stat=\"matchs\">%3</dd></div>\n"
        "<div><dt>Points</dt><dd data-stat=\"points\">%4</dd></div>\n"
        "<div><dt>Reprises</dt><dd data-stat=\"reprises\">%5</dd></div>\n"
        "<div><dt>Moyenne générale</dt><dd data-stat=\"moyenne\">%6</dd></div>\n"
        "<div><dt>Meilleure série</dt><dd data-stat=\"serie\">%7</dd></div>\n"
        "<div><dt>Points de match</dt><dd data-stat=\"pointsmatch\">%8</dd></div>\n"
        "<div><dt>Victoires, nuls, défaites</dt><dd data-stat=\"bilan\">%9 – %10 – %11</dd></div>\n"
        "</dl>\n<section>\n<h2>Moyenne par match</h2>\n%12\n</section>\n"
        "<section>\n<h2>Matchs</h2>\n<div class=\"defile\"><table class=\"liste\">\n"
        "<thead><tr><th scope=\"col\">Date</th><th scope=\"col\">Adversaire</th>"
        "<th scope=\"col\">Score</th><th scope=\"col\">Reprises</th><th scope=\"col\">Moyenne</th>"
        "<th scope=\"col\">Meilleure série</th><th scope=\"col\">Points de match</th></tr></thead>\n"
        "<tbody>\n%13</tbody></table></div>\n"
        "<p class=\"discret\">Points de match : 2 pour une victoire, 1 pour un nul, 0 pour une défaite "
        "(le plus grand total l'emporte).</p>\n</section>\n</main>")
                             .arg(escape(r.name), nav(QString()))
                             .arg(r.matches.size())
                             .arg(r.points)
                             .arg(r.innings)
                             .arg(average(r.generalAverage()))
                             .arg(r.best)
                             .arg(r.matchPoints)
                             .arg(r.wins)
                             .arg(r.draws)
                             .arg(r.losses)
                             .arg(averageChart(r), rows);
    return document(r.name + QStringLiteral(" — joueur"), QStringLiteral("page"), body, false);
}

QByteArray Pages::errorPage(int status, const QString &message)
{
    const QString body = QStringLiteral("<header><h1>%1</h1>%2</header>\n<main>\n"
                                        "<p role=\"alert\">%3 (erreur %4).</p>\n"
                                        "<p><a href=\"/\">Retour aux tables en direct</a></p>\n</main>")
                             .arg(escape(message), nav(QString()), escape(message))
                             .arg(status);
    return document(message, QStringLiteral("page"), body, false);
}
