// zelvano-receiver: the server that collects the sheets the scoreboards send.
#include "FileFrameSink.h"
#include "FrameServer.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>

#include <cstdio>

namespace {

int fail(const QString &message)
{
    std::fprintf(stderr, "zelvano-receiver : %s\n", message.toUtf8().constData());
    return 2;
}

void print(FILE *stream, const QString &line)
{
    std::fprintf(stream, "%s\n", line.toUtf8().constData());
    std::fflush(stream);
}

// A whole number of at least `least`; false for anything else.
bool wholeNumber(const QString &text, qint64 least, qint64 *value)
{
    bool ok = false;
    *value = text.toLongLong(&ok);
    return ok && *value >= least;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zelvano-receiver"));

    QCommandLineParser cli;
    cli.setApplicationDescription(QStringLiteral(
        "Reçoit les feuilles de match envoyées par les tableaux de score Zelvano et les "
        "enregistre, une par fichier texte."));
    cli.addHelpOption();
    const QCommandLineOption listen(
        QStringLiteral("listen"),
        QStringLiteral("Adresse d'écoute (0.0.0.0 : toutes les interfaces)."),
        QStringLiteral("adresse"), QStringLiteral("0.0.0.0"));
    const QCommandLineOption port(QStringLiteral("port"),
                                  QStringLiteral("Port d'écoute (0 : un port libre)."),
                                  QStringLiteral("port"), QStringLiteral("50000"));
    const QCommandLineOption dir(QStringLiteral("dir"),
                                 QStringLiteral("Dossier des feuilles reçues (dossier courant)."),
                                 QStringLiteral("dossier"), QStringLiteral("."));
    const QCommandLineOption idle(
        QStringLiteral("idle-ms"),
        QStringLiteral("Délai en ms après lequel un client muet est abandonné."),
        QStringLiteral("ms"), QStringLiteral("30000"));
    const QCommandLineOption maxConnections(
        QStringLiteral("max-connections"),
        QStringLiteral("Nombre maximal de connexions simultanées ; les suivantes sont fermées "
                       "aussitôt."),
        QStringLiteral("n"), QStringLiteral("64"));
    const QCommandLineOption minRate(
        QStringLiteral("min-rate"),
        QStringLiteral("Débit minimal en octets par seconde, en moyenne sur la fenêtre ; un "
                       "client plus lent est abandonné (0 : aucun minimum)."),
        QStringLiteral("octets/s"), QStringLiteral("1024"));
    const QCommandLineOption rateWindow(
        QStringLiteral("rate-window-ms"),
        QStringLiteral("Fenêtre en ms sur laquelle le débit minimal est mesuré."),
        QStringLiteral("ms"), QStringLiteral("30000"));
    const QCommandLineOption maxFrameBytes(
        QStringLiteral("max-frame-bytes"),
        QStringLiteral("Taille maximale d'une trame en octets ; une trame plus grande est "
                       "refusée et son fichier supprimé."),
        QStringLiteral("octets"), QStringLiteral("67108864"));
    const QCommandLineOption quiet(QStringLiteral("quiet"),
                                   QStringLiteral("N'affiche pas une ligne par feuille reçue."));
    cli.addOptions({listen, port, dir, idle, maxConnections, minRate, rateWindow, maxFrameBytes,
                    quiet});
    cli.process(app);
    if (!cli.positionalArguments().isEmpty())
        return fail(QStringLiteral("argument inattendu : %1").arg(cli.positionalArguments().first()));

    FrameServer::Options options;
    if (!options.address.setAddress(cli.value(listen)))
        return fail(QStringLiteral("adresse d'écoute invalide : %1").arg(cli.value(listen)));
    bool ok = false;
    const uint portValue = cli.value(port).toUInt(&ok);
    if (!ok || portValue > 65535)
        return fail(QStringLiteral("port invalide : %1").arg(cli.value(port)));
    options.port = quint16(portValue);
    const int idleMs = cli.value(idle).toInt(&ok);
    if (!ok || idleMs <= 0)
        return fail(QStringLiteral("délai invalide : %1").arg(cli.value(idle)));
    options.idleMs = idleMs;
    qint64 value = 0;
    if (!wholeNumber(cli.value(maxConnections), 1, &value) || value > 100000)
        return fail(QStringLiteral("nombre de connexions invalide : %1").arg(cli.value(maxConnections)));
    options.maxConnections = int(value);
    if (!wholeNumber(cli.value(minRate), 0, &value))
        return fail(QStringLiteral("débit minimal invalide : %1").arg(cli.value(minRate)));
    options.minRate = value;
    if (!wholeNumber(cli.value(rateWindow), 10, &value) || value > 86400000)
        return fail(QStringLiteral("fenêtre de débit invalide : %1").arg(cli.value(rateWindow)));
    options.rateWindowMs = int(value);
    // The 4 bytes of the count and one empty line at least.
    if (!wholeNumber(cli.value(maxFrameBytes), 6, &value))
        return fail(QStringLiteral("taille de trame invalide : %1").arg(cli.value(maxFrameBytes)));
    options.limits.maxBytes = value;
    const bool isQuiet = cli.isSet(quiet);

    FileFrameSink sink(QDir(cli.value(dir)).absolutePath());
    QString error = sink.prepare();
    if (!error.isEmpty())
        return fail(error);
    FrameServer server(options, &sink);
    QObject::connect(&server, &FrameServer::report, &server, [isQuiet](const QString &line) {
        if (!isQuiet)
            print(stdout, line);
    });
    QObject::connect(&server, &FrameServer::failure, &server,
                     [](const QString &line) { print(stderr, line); });
    error = server.start();
    if (!error.isEmpty())
        return fail(error);
    // Always printed, quiet or not: with --port 0 it is how a caller learns the port.
    print(stdout, QStringLiteral("à l'écoute sur %1:%2, dossier %3")
                      .arg(server.address().toString())
                      .arg(server.port())
                      .arg(QDir::toNativeSeparators(sink.folderPath())));
    if (!isQuiet) {
        for (const QString &name : sink.recovered())
            print(stdout, QStringLiteral("gardé %1 : trame en cours de réception lors d'un arrêt "
                                         "du récepteur, incomplète")
                              .arg(name));
    }
    return app.exec();
}
