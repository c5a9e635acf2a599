#include "ClubStore.h"

#include <QAtomicInt>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <QUrlQuery>
#include <QVariant>

namespace {

QAtomicInt g_connections;

QString sqlError(const QString &what, const QSqlError &e)
{
    QString text = e.text().trimmed();
    if (text.isEmpty())
        text = QStringLiteral("erreur inconnue");
    return QStringLiteral("%1 : %2").arg(what, text);
}

// A null QString would be bound as SQL NULL; the text columns hold "" instead.
QString text(const QString &s)
{
    return s.isNull() ? QString(QLatin1String("")) : s;
}

QVariant nullable(const std::optional<int> &v)
{
    return v ? QVariant(*v) : QVariant(QMetaType(QMetaType::Int));
}

// The values of one row of `sheets`, in the order of kInsertColumns.
void bindSheet(QSqlQuery &q, const ParsedSheet &sheet, const QString &hash, const QString &table,
               const QString &peer, const QString &source, const QDateTime &receivedUtc)
{
    q.addBindValue(hash);
    q.addBindValue(text(table));
    q.addBindValue(text(peer));
    q.addBindValue(text(source));
    q.addBindValue(text(sheet.name1));
    q.addBindValue(text(sheet.name2));
    q.addBindValue(sheet.playedAt.isValid()
                       ? sheet.playedAt.toString(QStringLiteral("yyyy-MM-ddTHH:mm"))
                       : QString(QLatin1String("")));
    q.addBindValue(text(sheet.stampText));
    q.addBindValue(receivedUtc.toUTC().toString(Qt::ISODateWithMs));
    q.addBindValue(sheet.total(1));
    q.addBindValue(sheet.total(2));
    q.addBindValue(sheet.innings(1));
    q.addBindValue(sheet.innings(2));
    q.addBindValue(sheet.best(1));
    q.addBindValue(sheet.best(2));
    q.addBindValue(text(sheet.rawText()));
}

const char *kInsertColumns =
    "INSERT INTO sheets (hash, table_name, peer, source, name1, name2, played_at, "
    "stamp_text, received_at, total1, total2, innings1, innings2, best1, best2, raw_text) VALUES ";
const char *kSheetValues = "(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)";

// A count cut into statements of `max` rows, then the rest in powers of two: the shapes
// prepared stay few (a prepared statement lives on the server as long as the connection).
QList<int> pieces(qsizetype count, int max)
{
    QList<int> out;
    for (; count >= max; count -= max)
        out.append(max);
    for (int p = max / 2; p > 0; p /= 2) {
        if (count >= p) {
            out.append(p);
            count -= p;
        }
    }
    return out;
}

// Up to 128 sheets (2048 values) and 1024 innings (4096 values) a statement: far below
// the bound values SQLite (32766) and PostgreSQL (65535) take in one statement.
constexpr int kSheetsPerStatement = 128;
constexpr int kRowsPerStatement = 1024;

const char *kColumns =
    "id, table_name, peer, source, name1, name2, played_at, stamp_text, received_at, "
    "total1, total2, innings1, innings2, best1, best2";

StoredSheet readSummary(const QSqlQuery &q)
{
    StoredSheet s;
    s.id = q.value(0).toLongLong();
    s.table = q.value(1).toString();
    s.peer = q.value(2).toString();
    s.source = q.value(3).toString();
    s.name1 = q.value(4).toString();
    s.name2 = q.value(5).toString();
    s.playedAt = q.value(6).toString();
    s.stampText = q.value(7).toString();
    s.receivedAt = q.value(8).toString();
    s.total1 = q.value(9).toInt();
    s.total2 = q.value(10).toInt();
    s.innings1 = q.value(11).toInt();
    s.innings2 = q.value(12).toInt();
    s.best1 = q.value(13).toInt();
    s.best2 = q.value(14).toInt();
    return s;
}

} // namespace

ClubStore::ClubStore()
    : m_connection(QStringLiteral("zelvano-club-%1").arg(g_connections.fetchAndAddRelaxed(1)))
{
}

ClubStore::~ClubStore() { close(); }

void ClubStore::close()
{
    m_insertSheet.reset();
    m_insertRows.clear();
    m_insertSheets.clear();
    m_insertRowArrays.reset();
    if (QSqlDatabase::contains(m_connection)) {
        {
            QSqlDatabase db = QSqlDatabase::database(m_connection, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(m_connection);
    }
}

QSqlDatabase ClubStore::database() const { return QSqlDatabase::database(m_connection, false); }

QString ClubStore::describe() const { return m_describe; }

QString ClubStore::parsePostgresUrl(const QString &text, QSqlDatabase &db)
{
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || (url.scheme() != QLatin1String("postgresql")
                           && url.scheme() != QLatin1String("postgres")))
        return QStringLiteral("adresse PostgreSQL incorrecte : %1 (attendu "
                              "postgresql://utilisateur:motdepasse@hôte[:port]/base)")
            .arg(url.toDisplayString(QUrl::RemovePassword));
    QString host = url.host(QUrl::FullyDecoded);
    const QUrlQuery query(url);
    if (query.hasQueryItem(QStringLiteral("host")))
        host = query.queryItemValue(QStringLiteral("host"), QUrl::FullyDecoded);
    QString name = url.path(QUrl::FullyDecoded);
    if (name.startsWith(u'/'))
        name.remove(0, 1);
    if (name.isEmpty() || name.contains(u'/'))
        return QStringLiteral("adresse PostgreSQL sans nom de base : %1")
            .arg(url.toDisplayString(QUrl::RemovePassword));
    db.setDatabaseName(name);
    if (!host.isEmpty())
        db.setHostName(host);
    if (url.port() > 0)
        db.setPort(url.port());
    if (!url.userName().isEmpty())
        db.setUserName(url.userName(QUrl::FullyDecoded));
    if (!url.password().isEmpty())
        db.setPassword(url.password(QUrl::FullyDecoded));
    return QString();
}

QString ClubStore::open(const QString &spec)
{
    close();
    const bool pg = spec.startsWith(QLatin1String("postgresql:"))
                    || spec.startsWith(QLatin1String("postgres:"));
    m_kind = pg ? Kind::PostgreSQL : Kind::SQLite;
    const QString driver = pg ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE");
    if (!QSqlDatabase::isDriverAvailable(driver))
        return QStringLiteral("le pilote Qt SQL %1 n'est pas installé").arg(driver);
    QSqlDatabase db = QSqlDatabase::addDatabase(driver, m_connection);
    if (pg) {
        const QString bad = parsePostgresUrl(spec, db);
        if (!bad.isEmpty()) {
            db = QSqlDatabase();
            close();
            return bad;
        }
        m_describe = QStringLiteral("PostgreSQL %1/%2")
                         .arg(db.hostName().isEmpty() ? QStringLiteral("localhost") : db.hostName(),
                              db.databaseName());
    } else {
        db.setDatabaseName(spec);
        // A busy base (another process importing) is waited for rather than failed at once.
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
        m_describe = QStringLiteral("SQLite %1").arg(QFileInfo(spec).absoluteFilePath());
    }
    if (!db.open()) {
        const QString e = sqlError(QStringLiteral("impossible d'ouvrir la base %1").arg(m_describe),
                                   db.lastError());
        db = QSqlDatabase();
        close();
        return e;
    }
    if (pg) {
        // "relation already exists, skipping" at every start is no news.
        QSqlQuery(db).exec(QStringLiteral("SET client_min_messages = warning"));
    } else {
        QSqlQuery q(db);
        // WAL: readers never block the writer; NORMAL: a commit survives the death of the
        // process (the log is in the system's cache), only a power cut may lose the last ones.
        for (const char *pragma : {"PRAGMA journal_mode=WAL", "PRAGMA synchronous=NORMAL",
                                   "PRAGMA foreign_keys=ON"}) {
            if (!q.exec(QString::fromLatin1(pragma)))
                return sqlError(QStringLiteral("réglage de la base refusé"), q.lastError());
        }
    }
    return createSchema();
}

QString ClubStore::createSchema()
{
    QSqlDatabase db = database();
    const QString id = m_kind == Kind::PostgreSQL
                           ? QStringLiteral("id BIGINT GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY")
                           : QStringLiteral("id INTEGER PRIMARY KEY");
    const QStringList statements = {
        QStringLiteral("CREATE TABLE IF NOT EXISTS sheets ("
                       "%1, hash TEXT NOT NULL UNIQUE, table_name TEXT NOT NULL, "
                       "peer TEXT NOT NULL, source TEXT NOT NULL, "
                       "name1 TEXT NOT NULL, name2 TEXT NOT NULL, "
                       "played_at TEXT NOT NULL, stamp_text TEXT NOT NULL, "
                       "received_at TEXT NOT NULL, "
                       "total1 INTEGER NOT NULL, total2 INTEGER NOT NULL, "
                       "innings1 INTEGER NOT NULL, innings2 INTEGER NOT NULL, "
                       "best1 INTEGER NOT NULL, best2 INTEGER NOT NULL, "
                       "raw_text TEXT NOT NULL)").arg(id),
        QStringLiteral("CREATE TABLE IF NOT EXISTS innings ("
                       "sheet_id BIGINT NOT NULL REFERENCES sheets(id) ON DELETE CASCADE, "
                       "n INTEGER NOT NULL, pts1 INTEGER, pts2 INTEGER, "
                       "PRIMARY KEY (sheet_id, n))"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS sheets_name1 ON sheets (name1)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS sheets_name2 ON sheets (name2)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS sheets_played ON sheets (played_at)"),
    };
    QSqlQuery q(db);
    for (const QString &s : statements) {
        if (!q.exec(s))
            return sqlError(QStringLiteral("impossible de créer les tables"), q.lastError());
    }
    return QString();
}

QString ClubStore::setFastCommits(bool on)
{
    QSqlQuery q(database());
    const QString s = m_kind == Kind::PostgreSQL
                          ? (on ? QStringLiteral("SET synchronous_commit = off")
                                : QStringLiteral("SET synchronous_commit = on"))
                          : (on ? QStringLiteral("PRAGMA synchronous=OFF")
                                : QStringLiteral("PRAGMA synchronous=NORMAL"));
    if (!q.exec(s))
        return sqlError(QStringLiteral("réglage de la base refusé"), q.lastError());
    return QString();
}

ClubStore::Outcome ClubStore::storeSheet(const ParsedSheet &sheet, const QString &table,
                                         const QString &peer, const QString &source,
                                         const QDateTime &receivedUtc, QString *error,
                                         qint64 *idOut)
{
    QSqlDatabase db = database();
    if (!m_batch && !db.transaction()) {
        *error = sqlError(QStringLiteral("transaction refusée"), db.lastError());
        return Outcome::Failed;
    }
    auto fail = [&](const QString &what, const QSqlError &e) {
        *error = sqlError(what, e);
        if (!m_batch)
            db.rollback();
        return Outcome::Failed;
    };
    if (!m_insertSheet) {
        m_insertSheet = std::make_unique<QSqlQuery>(db);
        m_insertSheet->prepare(QLatin1String(kInsertColumns) + QLatin1String(kSheetValues)
                               + QLatin1String(" ON CONFLICT (hash) DO NOTHING RETURNING id"));
    }
    QSqlQuery &q = *m_insertSheet;
    bindSheet(q, sheet, QString::fromLatin1(sheet.hash()), table, peer, source, receivedUtc);
    if (!q.exec())
        return fail(QStringLiteral("enregistrement de la feuille refusé"), q.lastError());
    if (!q.next()) {
        q.finish();
        if (!m_batch)
            db.rollback();
        return Outcome::Duplicate;
    }
    const qint64 id = q.value(0).toLongLong();
    q.finish();
    // The innings in statements of up to 200 rows each: one round trip, not one per row.
    for (qsizetype from = 0; from < sheet.rows.size(); from += 200) {
        const int n = int(std::min<qsizetype>(200, sheet.rows.size() - from));
        QSqlQuery &rows = rowsStatement(n);
        for (int i = 0; i < n; ++i) {
            const auto &r = sheet.rows[from + i];
            rows.addBindValue(id);
            rows.addBindValue(int(from + i + 1));
            rows.addBindValue(nullable(r.pts1));
            rows.addBindValue(nullable(r.pts2));
        }
        if (!rows.exec())
            return fail(QStringLiteral("enregistrement des reprises refusé"), rows.lastError());
        rows.finish();
    }
    if (!m_batch && !db.commit())
        return fail(QStringLiteral("validation de la feuille refusée"), db.lastError());
    if (idOut)
        *idOut = id;
    return Outcome::Stored;
}

bool ClubStore::storeSheets(const QList<ParsedSheet> &sheets, qsizetype from, qsizetype to,
                            const QString &table, const QString &peer, const QString &source,
                            const QDateTime &receivedUtc, int *stored, int *duplicates,
                            QString *error)
{
    *stored = *duplicates = 0;
    // The first of two sheets with one hash is the one kept, as when they come one by one.
    QList<const ParsedSheet *> unique;
    QStringList hashes;           // of the sheets in `unique`
    QHash<QString, qint64> ids;   // hash -> id given by the base, 0 until then
    unique.reserve(to - from);
    hashes.reserve(to - from);
    for (qsizetype i = from; i < to; ++i) {
        const QString hash = QString::fromLatin1(sheets[i].hash());
        if (ids.contains(hash)) {
            ++*duplicates;
            continue;
        }
        ids.insert(hash, 0);
        unique.append(&sheets[i]);
        hashes.append(hash);
    }
    qsizetype at = 0;
    for (const int n : pieces(unique.size(), kSheetsPerStatement)) {
        QSqlQuery &q = sheetsStatement(n);
        for (int i = 0; i < n; ++i)
            bindSheet(q, *unique[at + i], hashes[at + i], table, peer, source, receivedUtc);
        at += n;
        if (!q.exec()) {
            *error = sqlError(QStringLiteral("enregistrement des feuilles refusé"), q.lastError());
            return false;
        }
        // Only the sheets written come back; the order of RETURNING is not promised, the
        // hash says which sheet each id belongs to.
        while (q.next()) {
            const auto it = ids.find(q.value(1).toString());
            if (it == ids.end() || it.value() != 0) {
                q.finish();
                *error = QStringLiteral("enregistrement des feuilles refusé : identifiant inattendu");
                return false;
            }
            it.value() = q.value(0).toLongLong();
            ++*stored;
        }
        q.finish();
    }
    *duplicates += int(unique.size()) - *stored;
    // The innings of every sheet written, in statements of many rows across sheets.
    struct Row { qint64 id; int n; const ParsedSheet::Row *row; };
    QList<Row> rows;
    for (qsizetype u = 0; u < unique.size(); ++u) {
        const qint64 id = ids.value(hashes[u]);
        if (!id)
            continue;
        const ParsedSheet *p = unique[u];
        for (qsizetype i = 0; i < p->rows.size(); ++i)
            rows.append({id, int(i + 1), &p->rows[i]});
    }
    if (m_kind == Kind::PostgreSQL) {
        // PostgreSQL builds an expression for every value of a VALUES list, which costs
        // more than the round trips saved; four arrays unnested into rows cost almost
        // nothing. One statement for all the innings of the batch.
        if (rows.isEmpty())
            return true;
        QString ids, ns, pts1, pts2;
        ids.reserve(rows.size() * 8);
        ns.reserve(rows.size() * 3);
        pts1.reserve(rows.size() * 3);
        pts2.reserve(rows.size() * 3);
        auto add = [](QString &list, const QString &value) {
            list += list.isEmpty() ? u'{' : u',';
            list += value;
        };
        auto number = [](const std::optional<int> &v) {
            return v ? QString::number(*v) : QStringLiteral("NULL");
        };
        for (const Row &r : rows) {
            add(ids, QString::number(r.id));
            add(ns, QString::number(r.n));
            add(pts1, number(r.row->pts1));
            add(pts2, number(r.row->pts2));
        }
        for (QString *list : {&ids, &ns, &pts1, &pts2})
            *list += u'}';
        if (!m_insertRowArrays) {
            m_insertRowArrays = std::make_unique<QSqlQuery>(database());
            m_insertRowArrays->prepare(QStringLiteral(
                "INSERT INTO innings (sheet_id, n, pts1, pts2) SELECT * FROM "
                "unnest(?::bigint[], ?::integer[], ?::integer[], ?::integer[])"));
        }
        QSqlQuery &q = *m_insertRowArrays;
        q.addBindValue(ids);
        q.addBindValue(ns);
        q.addBindValue(pts1);
        q.addBindValue(pts2);
        if (!q.exec()) {
            *error = sqlError(QStringLiteral("enregistrement des reprises refusé"), q.lastError());
            return false;
        }
        q.finish();
        return true;
    }
    at = 0;
    for (const int n : pieces(rows.size(), kRowsPerStatement)) {
        QSqlQuery &q = rowsStatement(n);
        for (int i = 0; i < n; ++i) {
            const Row &r = rows[at + i];
            q.addBindValue(r.id);
            q.addBindValue(r.n);
            q.addBindValue(nullable(r.row->pts1));
            q.addBindValue(nullable(r.row->pts2));
        }
        at += n;
        if (!q.exec()) {
            *error = sqlError(QStringLiteral("enregistrement des reprises refusé"), q.lastError());
            return false;
        }
        q.finish();
    }
    return true;
}

QSqlQuery &ClubStore::sheetsStatement(int count)
{
    auto &slot = m_insertSheets[count];
    if (!slot) {
        QString sql = QLatin1String(kInsertColumns);
        for (int i = 0; i < count; ++i) {
            if (i)
                sql += u',';
            sql += QLatin1String(kSheetValues);
        }
        sql += QLatin1String(" ON CONFLICT (hash) DO NOTHING RETURNING id, hash");
        slot = std::make_shared<QSqlQuery>(database());
        slot->prepare(sql);
    }
    return *slot;
}

QString ClubStore::beginBatch()
{
    QSqlDatabase db = database();
    if (!db.transaction())
        return sqlError(QStringLiteral("transaction refusée"), db.lastError());
    m_batch = true;
    return QString();
}

QString ClubStore::endBatch(bool commit)
{
    QSqlDatabase db = database();
    m_batch = false;
    if (commit && !db.commit()) {
        const QString e = sqlError(QStringLiteral("validation refusée"), db.lastError());
        db.rollback();
        return e;
    }
    if (!commit)
        db.rollback();
    return QString();
}

QSqlQuery &ClubStore::rowsStatement(int count)
{
    auto &slot = m_insertRows[count];
    if (!slot) {
        QString sql = QStringLiteral("INSERT INTO innings (sheet_id, n, pts1, pts2) VALUES ");
        for (int i = 0; i < count; ++i)
            sql += i ? QStringLiteral(",(?,?,?,?)") : QStringLiteral("(?,?,?,?)");
        slot = std::make_shared<QSqlQuery>(database());
        slot->prepare(sql);
    }
    return *slot;
}

QList<StoredSheet> ClubStore::matches(const QString &player, const QString &date, int limit,
                                      QString *error) const
{
    QString sql = QStringLiteral("SELECT %1 FROM sheets WHERE 1=1").arg(QLatin1String(kColumns));
    if (!player.isEmpty())
        sql += QStringLiteral(" AND (LOWER(name1) LIKE ? ESCAPE '!' OR LOWER(name2) LIKE ? ESCAPE '!')");
    if (!date.isEmpty())
        sql += QStringLiteral(" AND played_at LIKE ?");
    sql += QStringLiteral(" ORDER BY played_at DESC, id DESC LIMIT ?");
    QSqlQuery q(database());
    q.setForwardOnly(true);
    q.prepare(sql);
    if (!player.isEmpty()) {
        QString pattern = player.toLower();
        pattern.replace(u'!', QLatin1String("!!"))
            .replace(u'%', QLatin1String("!%"))
            .replace(u'_', QLatin1String("!_"));
        pattern = u'%' + pattern + u'%';
        q.addBindValue(pattern);
        q.addBindValue(pattern);
    }
    if (!date.isEmpty())
        q.addBindValue(date + u'%');
    q.addBindValue(limit);
    QList<StoredSheet> out;
    if (!q.exec()) {
        *error = sqlError(QStringLiteral("lecture des feuilles refusée"), q.lastError());
        return out;
    }
    while (q.next())
        out.append(readSummary(q));
    return out;
}

std::optional<StoredSheet> ClubStore::sheet(qint64 id, QString *error) const
{
    QSqlQuery q(database());
    q.prepare(QStringLiteral("SELECT %1, raw_text FROM sheets WHERE id = ?").arg(QLatin1String(kColumns)));
    q.addBindValue(id);
    if (!q.exec()) {
        *error = sqlError(QStringLiteral("lecture de la feuille refusée"), q.lastError());
        return std::nullopt;
    }
    if (!q.next())
        return std::nullopt;
    StoredSheet s = readSummary(q);
    s.rawText = q.value(15).toString();
    QSqlQuery r(database());
    r.prepare(QStringLiteral("SELECT pts1, pts2 FROM innings WHERE sheet_id = ? ORDER BY n"));
    r.addBindValue(id);
    if (!r.exec()) {
        *error = sqlError(QStringLiteral("lecture des reprises refusée"), r.lastError());
        return std::nullopt;
    }
    while (r.next()) {
        ParsedSheet::Row row;
        if (!r.value(0).isNull())
            row.pts1 = r.value(0).toInt();
        if (!r.value(1).isNull())
            row.pts2 = r.value(1).toInt();
        s.rows.append(row);
    }
    return s;
}

QList<PlayerSummary> ClubStore::players(QString *error) const
{
    QSqlQuery q(database());
    q.setForwardOnly(true);
    QList<PlayerSummary> out;
    if (!q.exec(QStringLiteral("SELECT name, COUNT(*) FROM (SELECT name1 AS name FROM sheets "
                               "UNION ALL SELECT name2 AS name FROM sheets) AS n "
                               "GROUP BY name ORDER BY name"))) {
        *error = sqlError(QStringLiteral("lecture des joueurs refusée"), q.lastError());
        return out;
    }
    while (q.next())
        out.append({q.value(0).toString(), q.value(1).toInt()});
    return out;
}

std::optional<PlayerRecord> ClubStore::player(const QString &name, QString *error) const
{
    QSqlQuery q(database());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT %1 FROM sheets WHERE name1 = ? OR name2 = ? "
                             "ORDER BY played_at, id").arg(QLatin1String(kColumns)));
    q.addBindValue(name);
    q.addBindValue(name);
    if (!q.exec()) {
        *error = sqlError(QStringLiteral("lecture du joueur refusée"), q.lastError());
        return std::nullopt;
    }
    PlayerRecord rec;
    rec.name = name;
    while (q.next()) {
        PlayerMatch m;
        m.sheet = readSummary(q);
        // A player who meets himself (names left at their defaults) counts under player 1.
        m.side = m.sheet.name1 == name ? 1 : 2;
        const bool one = m.side == 1;
        m.points = one ? m.sheet.total1 : m.sheet.total2;
        m.innings = one ? m.sheet.innings1 : m.sheet.innings2;
        m.best = one ? m.sheet.best1 : m.sheet.best2;
        m.opponentPoints = one ? m.sheet.total2 : m.sheet.total1;
        m.opponent = one ? m.sheet.name2 : m.sheet.name1;
        m.matchPoints = m.points > m.opponentPoints ? 2 : m.points == m.opponentPoints ? 1 : 0;
        rec.points += m.points;
        rec.innings += m.innings;
        rec.best = qMax(rec.best, m.best);
        rec.matchPoints += m.matchPoints;
        (m.matchPoints == 2 ? rec.wins : m.matchPoints == 1 ? rec.draws : rec.losses) += 1;
        rec.matches.append(m);
    }
    if (rec.matches.isEmpty())
        return std::nullopt;
    return rec;
}

qint64 ClubStore::sheetCount(QString *error) const
{
    QSqlQuery q(database());
    if (!q.exec(QStringLiteral("SELECT COUNT(*) FROM sheets")) || !q.next()) {
        *error = sqlError(QStringLiteral("lecture des feuilles refusée"), q.lastError());
        return -1;
    }
    return q.value(0).toLongLong();
}
