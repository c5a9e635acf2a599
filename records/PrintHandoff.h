#pragma once
// Handing the sheet to the print program: the print file "tmp.txt" beside the backup
// file, and the print program beside our own executable, started detached with the
// print file's path as its one argument.
#include <QString>

namespace PrintHandoff {
QString printFilePath(const QString &backupBin);
QString printProgramPath(const QString &applicationDir); // ".../ZelvanoPrn" (".exe" on Windows)
// Starts the program without waiting; the result is not examined by the caller.
bool startDetached(const QString &program, const QString &printFile);
}
