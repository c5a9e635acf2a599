#include "ClubServer.h"

#include "Pages.h"

#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QUrlQuery>
#include <QWebSocket>

#include <cstdio>

namespace {

HttpAnswer json(const QJsonValue &v, int status = 200)
{
    HttpAnswer a;
    a.status = status;
    a.mime = "application/json; charset=utf-8";
    a.body = v.isArray() ? QJsonDocument(v.toArray()).toJson(QJsonDocument::Compact)
                         : QJsonDocument(v.toObject()).toJson(QJsonDocument::Compact);
    return a;
}

HttpAnswer page(QByteArray body, int status = 200)
{
    HttpAnswer a;
    a.status = status;
    a.body = std::move(body);
    return a;
}

HttpAnswer failure(bool api, int status, const QString &message)
{
    if (api)
        return json(QJsonObject{{QStringLiteral("erreur"), message}}, status);
    return page(Pages::errorPage(status, message), status);
}

// The path cut into its segments, each decoded once. A segment that decodes to a slash,
// a backslash, a NUL or another control character, or that is "." or "..", makes the whole
// path refused: no page is ever chosen from a name that could climb or hide.
std::optional<QStringList> segments(const QUrl &url)
{
    const QByteArray raw = url.path(QUrl::FullyEncoded).toLatin1();
    if (!raw.startsWith('/'))
        return std::nullopt;
    QStringList out;
    const QList<QByteArray> parts = raw.mid(1).split('/');
    for (int i = 0; i < parts.size(); ++i) {
        const QByteArray &p = parts[i];
        if (p.isEmpty() && i == parts.size() - 1 && i > 0)
            break; // one trailing slash is allowed
        const QByteArray bytes = QByteArray::fromPercentEncoding(p);
        const QString s = QString::fromUtf8(bytes);
        if (s == QLatin1String(".") || s == QLatin1String("..") || s.toUtf8() != bytes)
            return std::nullopt;
        for (QChar c : s)
            if (c == u'/' || c == u'\\' || c.unicode() < 0x20 || c.unicode() == 0x7F)
                return std::nullopt;
        out << s;
    }
    return out;
}

QJsonObject sheetJson(const StoredSheet &s)
{
    QJsonObject o{{QStringLiteral("id"), s.id},
                  {QStringLiteral("table"), s.table},
                  {QStringLiteral("names"), QJsonArray{s.name1, s.name2}},
                  {QStringLiteral("playedAt"), s.playedAt},
                  {QStringLiteral("receivedAt"), s.receivedAt},
                  {QStringLiteral("source"), s.source},
                  {QStringLiteral("totals"), QJsonArray{s.total1, s.total2}},
                  {QStringLiteral("innings"), QJsonArray{s.innings1, s.innings2}},
                  {QStringLiteral("best"), QJsonArray{s.best1, s.best2}}};
    if (!s.rows.isEmpty()) {
        QJsonArray rows;
        for (const auto &r : s.rows)
            rows.append(QJsonArray{r.pts1 ? QJsonValue(*r.pts1) : QJsonValue(),
                                   r.pts2 ? QJsonValue(*r.pts2) : QJsonValue()});
        o.insert(QStringLiteral("rows"), rows);
    }
    return o;
}

QJsonObject playerJson(const PlayerRecord &r)
{
    QJsonArray matches;
    for (const PlayerMatch &m : r.matches)
        matches.append(QJsonObject{{QStringLiteral("id"), m.sheet.id},
                                   {QStringLiteral("playedAt"), m.sheet.playedAt},
                                   {QStringLiteral("opponent"), m.opponent},
                                   {QStringLiteral("points"), m.points},
                                   {QStringLiteral("opponentPoints"), m.opponentPoints},
                                   {QStringLiteral("innings"), m.innings},
                                   {QStringLiteral("average"), m.average()},
                                   {QStringLiteral("best"), m.best},
                                   {QStringLiteral("matchPoints"), m.matchPoints}});
    return {{QStringLiteral("name"), r.name},
            {QStringLiteral("matches"), int(r.matches.size())},
            {QStringLiteral("points"), r.points},
            {QStringLiteral("innings"), r.innings},
            {QStringLiteral("generalAverage"), r.generalAverage()},
            {QStringLiteral("best"), r.best},
            {QStringLiteral("matchPoints"), r.matchPoints},
            {QStringLiteral("wins"), r.wins},
            {QStringLiteral("draws"), r.draws},
            {QStringLiteral("losses"), r.losses},
            {QStringLiteral("list"), matches}};
}

HttpAnswer asset(const QString &name)
{
    // Only these names exist; nothing is ever looked up from the request's text.
    static const QHash<QString, QByteArray> kinds = {
        {QStringLiteral("club.js"), "text/javascript; charset=utf-8"},
        {QStringLiteral("club.css"), "text/css; charset=utf-8"},
        {QStringLiteral("favicon.svg"), "image/svg+xml"},
    };
    const auto it = kinds.constFind(name);
    if (it == kinds.constEnd())
        return failure(false, 404, QStringLiteral("Fichier introuvable"));
    QFile f(QStringLiteral(":/club/") + it.key());
    if (!f.open(QIODevice::ReadOnly))
        return failure(false, 500, QStringLiteral("Fichier intégré illisible"));
    HttpAnswer a;
    a.mime = it.value();
    a.body = f.readAll();
    a.cache = "max-age=300";
    return a;
}

} // namespace

ClubServer::ClubServer(Options options, QObject *parent)
    : QObject(parent), m_options(std::move(options)),
      m_sink([this](const QList<QByteArray> &lines, const QString &address, QString *stored,
                    QString *error) { return storeFrame(lines, address, stored, error); })
{
    m_hub.setKey(m_options.key);
    m_hub.setQuiet(m_options.quiet);
}

ClubServer::~ClubServer() = default;

void ClubServer::report(const QString &line) const
{
    if (m_options.quiet)
        return;
    std::fprintf(stdout, "%s\n", line.toUtf8().constData());
    std::fflush(stdout);
}

void ClubServer::reportError(const QString &line) const
{
    std::fprintf(stderr, "%s\n", line.toUtf8().constData());
    std::fflush(stderr);
}

QString ClubServer::start()
{
    QString e = m_store.open(m_options.db);
    if (!e.isEmpty())
        return e;
    if (m_store.kind() == ClubStore::Kind::PostgreSQL) {
        QSqlDatabase db = m_store.database();
        e = m_hub.shareThrough(db.driver(), db.connectionName());
        if (!e.isEmpty())
            return e;
    }
    FrameServer::Options fo;
    fo.address = m_options.address;
    fo.port = m_options.framePort;
    fo.maxConnections = 256;
    // A whole history is sent as one frame; it is held in memory until it ends.
    fo.limits.maxBytes = qint64(16) * 1024 * 1024;
    m_frames = std::make_unique<FrameServer>(fo, &m_sink);
    connect(m_frames.get(), &FrameServer::report, this, [this](const QString &l) { report(l); });
    connect(m_frames.get(), &FrameServer::failure, this, [this](const QString &l) { reportError(l); });
    e = m_frames->start();
    if (!e.isEmpty())
        return e;
    m_http = std::make_unique<HttpFront>(
        [this](const QByteArray &method, const QUrl &url) { return respond(method, url); });
    connect(m_http.get(), &HttpFront::webSocket, &m_hub, &LiveHub::adopt);
    e = m_http->listen(m_options.address, m_options.httpPort);
    if (!e.isEmpty())
        return e;
    // Always printed, quiet or not: with port 0 it is how a caller learns the ports.
    std::fprintf(stdout, "%s\n",
                 QStringLiteral("zelvano-club à l'écoute : pages http://%1:%2/, feuilles port %3, "
                                "base %4%5")
                     .arg(m_options.address.toString())
                     .arg(httpPort())
                     .arg(framePort())
                     .arg(m_store.describe(),
                          m_options.key.isEmpty() ? QStringLiteral(", sans clé de club")
                                                  : QStringLiteral(", clé de club demandée"))
                     .toUtf8()
                     .constData());
    std::fflush(stdout);
    return QString();
}

bool ClubServer::storeFrame(const QList<QByteArray> &lines, const QString &address,
                            QString *storedText, QString *errorText)
{
    const SheetParseResult parsed = SheetParse::parseFrameLines(lines);
    const QString table = m_hub.tableOfPeer(address);
    const QDateTime now = QDateTime::currentDateTimeUtc();
    int stored = 0, duplicates = 0, failed = 0;
    QString firstError;
    QStringList names;
    for (const ParsedSheet &s : parsed.sheets) {
        QString error;
        switch (m_store.storeSheet(s, table, address, QStringLiteral("trame"), now, &error)) {
        case ClubStore::Outcome::Stored:
            ++stored;
            if (names.size() < 3)
                names << QStringLiteral("« ") + s.name1 + QStringLiteral(" – ") + s.name2 + QStringLiteral(" »");
            break;
        case ClubStore::Outcome::Duplicate: ++duplicates; break;
        case ClubStore::Outcome::Failed:
            ++failed;
            if (firstError.isEmpty())
                firstError = error;
            break;
        }
    }
    // One pass of arg(): a name holding "%1" stays as it is.
    *storedText = QStringLiteral("%1 feuilles enregistrées%5, %2 déjà connues%3%4")
                      .arg(QString::number(stored), QString::number(duplicates),
                           table.isEmpty() ? QString() : QStringLiteral(" (table « ") + table + QStringLiteral(" »)"),
                           parsed.skippedLines ? QStringLiteral(", %1 lignes illisibles ignorées").arg(parsed.skippedLines)
                                               : QString(),
                           names.isEmpty() ? QString()
                                           : QStringLiteral(" (") + names.join(QStringLiteral(", "))
                                                 + (stored > names.size() ? QStringLiteral(", …") : QString())
                                                 + QStringLiteral(")"));
    emit frameStored(stored, duplicates);
    if (failed) {
        *errorText = QStringLiteral("%1 feuilles sur %2 non enregistrées : %3")
                         .arg(failed).arg(parsed.sheets.size()).arg(firstError);
        return false;
    }
    return true;
}

HttpAnswer ClubServer::respond(const QByteArray &method, const QUrl &url)
{
    const auto seg = segments(url);
    const bool api = seg && !seg->isEmpty() && seg->first() == QLatin1String("api");
    if (!seg)
        return failure(false, 400, QStringLiteral("Adresse refusée"));
    if (method != "GET" && method != "HEAD")
        return failure(api, 405, QStringLiteral("Ces pages sont en lecture seule"));
    const QStringList &p = *seg;
    const QUrlQuery query(url);
    auto arg = [&](const char *name) {
        return query.queryItemValue(QString::fromLatin1(name), QUrl::FullyDecoded).trimmed().left(200);
    };
    const int n = int(p.size());
    QString error;

    if (n == 0 || (n == 1 && p[0].isEmpty()))
        return page(Pages::dashboard());
    if (n == 2 && p[0] == QLatin1String("assets"))
        return asset(p[1]);
    if (n == 1 && p[0] == QLatin1String("favicon.ico"))
        return asset(QStringLiteral("favicon.svg"));
    if (n == 2 && p[0] == QLatin1String("table") && !p[1].isEmpty())
        return page(Pages::tablePage(p[1]));
    if (n == 2 && p[0] == QLatin1String("overlay") && !p[1].isEmpty())
        return page(Pages::overlayPage(p[1]));

    const QString player = arg("joueur");
    QString date = arg("date");
    static const QRegularExpression isoDate(QStringLiteral("^\\d{4}(-\\d{2}(-\\d{2})?)?$"));
    QString dateError;
    if (!date.isEmpty() && !isoDate.match(date).hasMatch()) {
        dateError = QStringLiteral("Date « %1 » incorrecte : attendu AAAA-MM-JJ (ou AAAA-MM, AAAA)")
                        .arg(date);
        date.clear();
    }

    if (n == 1 && p[0] == QLatin1String("matches")) {
        const auto list = dateError.isEmpty() ? m_store.matches(player, date, 500, &error)
                                              : QList<StoredSheet>();
        return page(Pages::matchesPage(list, player, arg("date"),
                                       dateError.isEmpty() ? error : dateError),
                    error.isEmpty() ? 200 : 500);
    }
    if (n == 2 && p[0] == QLatin1String("matches")) {
        bool ok = false;
        const qint64 id = p[1].toLongLong(&ok);
        const auto s = ok ? m_store.sheet(id, &error) : std::nullopt;
        if (!s)
            return failure(false, error.isEmpty() ? 404 : 500,
                           error.isEmpty() ? QStringLiteral("Feuille introuvable") : error);
        return page(Pages::sheetPage(*s));
    }
    if (n == 1 && p[0] == QLatin1String("joueurs")) {
        const auto list = m_store.players(&error);
        if (!error.isEmpty())
            return failure(false, 500, error);
        return page(Pages::playersPage(list));
    }
    if (n == 2 && p[0] == QLatin1String("joueurs") && !p[1].isEmpty()) {
        const auto r = m_store.player(p[1], &error);
        if (!r)
            return failure(false, error.isEmpty() ? 404 : 500,
                           error.isEmpty() ? QStringLiteral("Aucun match enregistré pour « %1 »").arg(p[1])
                                           : error);
        return page(Pages::playerPage(*r));
    }

    if (api) {
        if (n == 2 && p[1] == QLatin1String("tables")) {
            QJsonArray list;
            for (const LiveTable &t : m_hub.tables())
                list.append(LiveHub::tableJson(t));
            return json(list);
        }
        if (n == 2 && p[1] == QLatin1String("matches")) {
            if (!dateError.isEmpty())
                return failure(true, 400, dateError);
            const auto list = m_store.matches(player, date, 1000, &error);
            if (!error.isEmpty())
                return failure(true, 500, error);
            QJsonArray out;
            for (const auto &s : list)
                out.append(sheetJson(s));
            return json(out);
        }
        if (n == 3 && p[1] == QLatin1String("matches")) {
            bool ok = false;
            const qint64 id = p[2].toLongLong(&ok);
            const auto s = ok ? m_store.sheet(id, &error) : std::nullopt;
            if (!s)
                return failure(true, error.isEmpty() ? 404 : 500,
                               error.isEmpty() ? QStringLiteral("Feuille introuvable") : error);
            return json(sheetJson(*s));
        }
        if (n == 2 && p[1] == QLatin1String("joueurs")) {
            const auto list = m_store.players(&error);
            if (!error.isEmpty())
                return failure(true, 500, error);
            QJsonArray out;
            for (const auto &pl : list)
                out.append(QJsonObject{{QStringLiteral("name"), pl.name},
                                       {QStringLiteral("matches"), pl.matches}});
            return json(out);
        }
        if (n == 3 && p[1] == QLatin1String("joueurs") && !p[2].isEmpty()) {
            const auto r = m_store.player(p[2], &error);
            if (!r)
                return failure(true, error.isEmpty() ? 404 : 500,
                               error.isEmpty() ? QStringLiteral("Joueur inconnu") : error);
            return json(playerJson(*r));
        }
        return failure(true, 404, QStringLiteral("Adresse inconnue"));
    }
    return failure(false, 404, QStringLiteral("Page introuvable"));
}
