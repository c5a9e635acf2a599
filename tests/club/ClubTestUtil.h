#pragma once
// What the club server's tests share: a fresh base on each driver, and sheets in text form.
#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QUuid>

namespace ClubTest {

// The URL of the test cluster's maintenance base, set by CTest's PostgreSQL fixture.
inline QString pgUrl() { return qEnvironmentVariable("ZV_PG_URL"); }

// A fresh base for one test: a new SQLite file in `dir`, or a new PostgreSQL base created
// on the test cluster (dropped again by dropBase). Empty result: see *error.
inline QString makeBase(const QString &driver, const QTemporaryDir &dir, QString *error)
{
    if (driver == QLatin1String("sqlite"))
        return dir.filePath(QStringLiteral("club-%1.sqlite").arg(QUuid::createUuid().toString(QUuid::Id128).left(8)));
    const QString url = pgUrl();
    if (url.isEmpty()) {
        *error = QStringLiteral("ZV_PG_URL not set (the CTest fixture starts PostgreSQL)");
        return QString();
    }
    const QString name = QStringLiteral("zv_%1").arg(QUuid::createUuid().toString(QUuid::Id128).left(12));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("maint"));
        const QString host = url.section(QStringLiteral("host="), 1);
        db.setHostName(host);
        db.setUserName(QStringLiteral("postgres"));
        db.setDatabaseName(QStringLiteral("zelvano"));
        if (!db.open()) {
            *error = db.lastError().text();
        } else {
            QSqlQuery q(db);
            if (!q.exec(QStringLiteral("CREATE DATABASE %1").arg(name)))
                *error = q.lastError().text();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("maint"));
    if (!error->isEmpty())
        return QString();
    return QStringLiteral("postgresql://postgres@/%1?host=%2").arg(name, url.section(QStringLiteral("host="), 1));
}

inline void dropBase(const QString &spec)
{
    if (!spec.startsWith(QLatin1String("postgresql:")))
        return;
    const QString name = spec.section(u'/', 3).section(u'?', 0, 0);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("maint"));
        db.setHostName(pgUrl().section(QStringLiteral("host="), 1));
        db.setUserName(QStringLiteral("postgres"));
        db.setDatabaseName(QStringLiteral("zelvano"));
        if (db.open())
            QSqlQuery(db).exec(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(name));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("maint"));
}

// A sheet's entries as the scoreboard makes them: each with its own CR.
inline QStringList sheet(const QString &n1, const QString &n2, const QString &stamp,
                         const QList<QPair<QString, QString>> &rows)
{
    QStringList out{n1 + u'\t' + n2 + u'\t' + stamp + u'\r'};
    for (const auto &r : rows)
        out << r.first + u'\t' + r.second + u'\r';
    return out;
}

} // namespace ClubTest
