#include "PrintHandoff.h"

#include <QProcess>
#include <QStringList>

#include <algorithm>

namespace PrintHandoff {

QString printFilePath(const QString &backupBin)
{
    // The folder part is kept exactly as written (separator included), so the print file
    // lands beside the backup whatever form the backup path has. A bare file name gives a
    // bare "tmp.txt" rather than "./tmp.txt".
    qsizetype cut = backupBin.lastIndexOf(QLatin1Char('/'));
#ifdef Q_OS_WIN
    cut = std::max({cut, backupBin.lastIndexOf(QLatin1Char('\\')), backupBin.lastIndexOf(QLatin1Char(':'))});
#endif
    return backupBin.left(cut + 1) + QStringLiteral("tmp.txt");
}

QString printProgramPath(const QString &applicationDir)
{
#ifdef Q_OS_WIN
    const QString name = QStringLiteral("ZelvanoPrn.exe");
#else
    const QString name = QStringLiteral("ZelvanoPrn");
#endif
    // Never a bare name: a process started by a bare name is looked up on the PATH, and we
    // want our own print program, not whatever else carries that name.
    if (applicationDir.isEmpty())
        return QStringLiteral("./") + name;
    if (applicationDir.endsWith(QLatin1Char('/')))
        return applicationDir + name;
    return applicationDir + QLatin1Char('/') + name;
}

bool startDetached(const QString &program, const QString &printFile)
{
    if (program.isEmpty())
        return false;
    // The path travels as one argument, spaces and all; no shell is involved.
    return QProcess::startDetached(program, QStringList{printFile});
}

} // namespace PrintHandoff
