// zelvano-club: the club's server. Sheets sent to port 50000 are stored in a SQL base
// (SQLite by default, PostgreSQL for a region); scoreboards publish their live state over
// WebSocket and every browser of the club sees the tables live.
#include "ClubServer.h"
#include "Import.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <csignal>
#include <sys/resource.h>
#include <cstdio>

namespace {
int fail(const QString &message)
{
    std::fprintf(stderr, "zelvano-club : %s\n", message.toUtf8().constData());
    return 2;
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zelvano-club"));
    std::signal(SIGPIPE, SIG_IGN);
    // Up to 2000 browsers and 256 senders at once: the usual soft limit of 1024 open files
    // would refuse them before our own bounds do.
    rlimit files{};
    if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        setrlimit(RLIMIT_NOFILE, &files);
    }

    QCommandLineParser cli;
    cli.setApplicationDescription(QStringLiteral(
        "Serveur du club : feuilles reçues sur le port des feuilles, tables en direct et "
        "historique des joueurs dans le navigateur."));
    cli.addHelpOption();
    const QCommandLineOption listen(QStringLiteral("listen"), QStringLiteral("Adresse d'écoute (0.0.0.0 par défaut)."),
                                    QStringLiteral("adresse"), QStringLiteral("0.0.0.0"));
    const QCommandLineOption httpPort(QStringLiteral("http-port"), QStringLiteral("Port des pages et du direct (8080)."),
                                      QStringLiteral("port"), QStringLiteral("8080"));
    const QCommandLineOption framePort(QStringLiteral("frame-port"), QStringLiteral("Port des feuilles envoyées (50000)."),
                                       QStringLiteral("port"), QStringLiteral("50000"));
    const QCommandLineOption db(QStringLiteral("db"),
                                QStringLiteral("Base : un fichier SQLite, ou postgresql://utilisateur:motdepasse@hôte[:port]/base "
                                               "(zelvano-club.sqlite dans le dossier de données par défaut)."),
                                QStringLiteral("base"));
    const QCommandLineOption dataDir(QStringLiteral("data-dir"), QStringLiteral("Dossier de la base SQLite (dossier courant par défaut)."),
                                     QStringLiteral("dossier"));
    const QCommandLineOption keyFile(QStringLiteral("key-file"),
                                     QStringLiteral("Fichier de la clé du club demandée aux tableaux qui diffusent "
                                                    "(sans ce fichier, toute clé est acceptée)."),
                                     QStringLiteral("fichier"));
    const QCommandLineOption quiet(QStringLiteral("quiet"), QStringLiteral("N'écrit que les erreurs."));
    const QCommandLineOption import(QStringLiteral("import"),
                                    QStringLiteral("Charge un fichier historique (FeuilleMatch.txt) dans la base, puis s'arrête."),
                                    QStringLiteral("fichier"));
    cli.addOptions({listen, httpPort, framePort, db, dataDir, keyFile, quiet, import});
    if (!cli.parse(app.arguments()))
        return fail(cli.errorText());
    if (cli.isSet(QStringLiteral("help")))
        cli.showHelp(0);
    if (!cli.positionalArguments().isEmpty())
        return fail(QStringLiteral("argument inattendu : %1").arg(cli.positionalArguments().first()));

    ClubServer::Options o;
    if (!o.address.setAddress(cli.value(listen)))
        return fail(QStringLiteral("adresse d'écoute incorrecte : %1").arg(cli.value(listen)));
    auto port = [&](const QCommandLineOption &opt, quint16 *out) {
        bool ok = false;
        const uint v = cli.value(opt).toUInt(&ok);
        if (!ok || v > 65535)
            return false;
        *out = quint16(v);
        return true;
    };
    if (!port(httpPort, &o.httpPort))
        return fail(QStringLiteral("port des pages incorrect : %1").arg(cli.value(httpPort)));
    if (!port(framePort, &o.framePort))
        return fail(QStringLiteral("port des feuilles incorrect : %1").arg(cli.value(framePort)));
    o.quiet = cli.isSet(quiet);
    if (cli.isSet(db)) {
        o.db = cli.value(db);
    } else {
        const QDir dir(cli.isSet(dataDir) ? cli.value(dataDir) : QDir::currentPath());
        if (!dir.exists())
            return fail(QStringLiteral("le dossier de données %1 n'existe pas").arg(dir.path()));
        o.db = dir.filePath(QStringLiteral("zelvano-club.sqlite"));
    }
    if (cli.isSet(keyFile)) {
        QFile f(cli.value(keyFile));
        if (!f.open(QIODevice::ReadOnly))
            return fail(QStringLiteral("impossible de lire le fichier de clé %1 : %2")
                            .arg(cli.value(keyFile), f.errorString()));
        o.key = f.read(4096).trimmed();
        if (o.key.isEmpty())
            return fail(QStringLiteral("le fichier de clé %1 est vide").arg(cli.value(keyFile)));
    }

    if (cli.isSet(import)) {
        ClubStore store;
        const QString e = store.open(o.db);
        if (!e.isEmpty())
            return fail(e);
        const ImportResult r = Import::historyFile(store, cli.value(import));
        if (r.sheets == 0 && !r.error.isEmpty())
            return fail(r.error);
        std::fprintf(stdout, "%s\n",
                     QStringLiteral("%1 : %2 feuilles lues, %3 enregistrées, %4 déjà connues%5%6")
                         .arg(cli.value(import))
                         .arg(r.sheets)
                         .arg(r.stored)
                         .arg(r.duplicates)
                         .arg(r.failed ? QStringLiteral(", %1 en échec (%2)").arg(r.failed).arg(r.error) : QString())
                         .arg(r.skippedLines ? QStringLiteral(", %1 lignes illisibles ignorées").arg(r.skippedLines)
                                             : QString())
                         .toUtf8()
                         .constData());
        return r.failed ? 1 : 0;
    }

    ClubServer server(o);
    const QString e = server.start();
    if (!e.isEmpty())
        return fail(e);
    return app.exec();
}
