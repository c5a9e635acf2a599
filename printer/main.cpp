// ZelvanoPrn: prints the score sheet that the scoreboard hands over in its print file.
//
//   ZelvanoPrn FILE                 shows the sheet in a print preview, from which it is
//                                   printed or saved as PDF
//   ZelvanoPrn --pdf OUT.pdf FILE   writes the sheet as a PDF file, without any window
//
// Exit code 0 on success, 2 when the file cannot be read or printed or the arguments are wrong.
#include "PrintSheet.h"
#include "SheetPainter.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QSaveFile>
#include <QScreen>
#include <QTranslator>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int ExitFailure = 2;

const QString Usage = QStringLiteral("Utilisation : ZelvanoPrn [--pdf SORTIE.pdf] FICHIER");

QPageLayout sheetLayout()
{
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(15, 15, 15, 15),
                       QPageLayout::Millimeter);
}

QString documentTitle(const PrintSheet::Sheet &sheet)
{
    QString title = QStringLiteral("Feuille de match");
    if (!sheet.name1.isEmpty() || !sheet.name2.isEmpty())
        title += QStringLiteral(" – %1 / %2").arg(sheet.name1, sheet.name2);
    return title;
}

void printError(const QString &message)
{
    std::fprintf(stderr, "ZelvanoPrn : %s\n", message.toLocal8Bit().constData());
}

int writePdf(const QString &outPath, const QString &inPath)
{
    PrintSheet::Sheet sheet;
    QString error;
    if (!PrintSheet::loadSheet(inPath, &sheet, &error)) {
        printError(error);
        return ExitFailure;
    }
    // Written aside and renamed into place: a failed run never leaves half a PDF.
    QSaveFile out(outPath);
    if (!out.open(QIODevice::WriteOnly)) {
        printError(QStringLiteral("Impossible de créer le fichier \"%1\". %2").arg(outPath, out.errorString()));
        return ExitFailure;
    }
    bool painted;
    {
        QPdfWriter writer(&out);
        writer.setPageLayout(sheetLayout());
        writer.setTitle(documentTitle(sheet));
        writer.setCreator(QStringLiteral("ZelvanoPrn"));
        painted = SheetPainter::render(writer, sheet);
    }
    if (!painted || !out.commit()) {
        printError(QStringLiteral("Impossible d'écrire le fichier \"%1\". %2").arg(outPath, out.errorString()));
        return ExitFailure;
    }
    return EXIT_SUCCESS;
}

void installFrench(QApplication &app)
{
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    auto *qt = new QTranslator(&app);
    // The system's Qt translations, or those shipped beside the program.
    const QStringList folders = {QLibraryInfo::path(QLibraryInfo::TranslationsPath),
                                 QCoreApplication::applicationDirPath() + QStringLiteral("/translations")};
    for (const QString &folder : folders) {
        if (qt->load(QLocale(QLocale::French), QStringLiteral("qtbase"), QStringLiteral("_"), folder)) {
            app.installTranslator(qt);
            return;
        }
    }
}

int failInWindow(const QString &message)
{
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Erreur"), message, QMessageBox::Ok);
    box.exec();
    return ExitFailure;
}

int preview(const QString &inPath)
{
    PrintSheet::Sheet sheet;
    QString error;
    if (!PrintSheet::loadSheet(inPath, &sheet, &error))
        return failInWindow(error);

    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(sheetLayout());
    printer.setDocName(documentTitle(sheet));
    printer.setCreator(QStringLiteral("ZelvanoPrn"));

    QPrintPreviewDialog dialog(&printer);
    dialog.setWindowTitle(documentTitle(sheet));
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog, [&sheet](QPrinter *target) {
        SheetPainter::render(*target, sheet, target->fromPage(), target->toPage());
    });
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QSize room = screen->availableSize();
        dialog.resize(std::min(room.width(), room.height() * 3 / 4), room.height() * 9 / 10);
    }
    dialog.exec();
    return EXIT_SUCCESS;
}

bool wantsPdf(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--pdf") == 0)
            return true;
    return false;
}

bool platformChosen(int argc, char **argv)
{
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        return true;
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0)
            return true;
    return false;
}

} // namespace

int main(int argc, char **argv)
{
    if (wantsPdf(argc, argv)) {
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
        // Writing a PDF needs fonts, not a screen: run without any display server.
        if (!platformChosen(argc, argv))
            qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
        QGuiApplication app(argc, argv);
        // Qt's own arguments are gone from arguments() by now; the paths arrive in Unicode.
        const QStringList args = app.arguments().mid(1);
        if (args.size() != 3 || args[0] != QLatin1String("--pdf")) {
            printError(Usage);
            return ExitFailure;
        }
        return writePdf(args[1], args[2]);
    }

    QApplication app(argc, argv);
    installFrench(app);
    const QStringList args = app.arguments().mid(1);
    if (args.size() == 1 && (args[0] == QLatin1String("-h") || args[0] == QLatin1String("--help"))) {
        std::printf("%s\n", Usage.toLocal8Bit().constData());
        return EXIT_SUCCESS;
    }
    if (args.size() != 1)
        return failInWindow(QStringLiteral("Aucun fichier à imprimer n'a été indiqué.\n") + Usage);
    return preview(args[0]);
}
