// zelvano-receiver: the server that collects the sheets the scoreboards send.
#include "Receiver.h"

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
    const QCommandLineOption quiet(QStringLiteral("quiet"),
                                   QStringLiteral("N'affiche pas une ligne par feuille reçue."));
    cli.addOptions({listen, port, dir, idle, quiet});
    cli.process(app);
    if (!cli.positionalArguments().isEmpty())
        return fail(QStringLiteral("argument inattendu : %1").arg(cli.positionalArguments().first()));

    Receiver::Options options;
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
    options.folder = QDir(cli.value(dir)).absolutePath();
    options.quiet = cli.isSet(quiet);

    Receiver receiver(options);
    const QString error = receiver.start();
    if (!error.isEmpty())
        return fail(error);
    return app.exec();
}
