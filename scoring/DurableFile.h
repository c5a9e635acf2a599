#pragma once
// Writing a whole file so that a crash or a power cut leaves either the old content or the
// new one, never a mix: QSaveFile (temporary file, data synced, renamed over the old one),
// then the folder itself synced so the rename survives a power cut.
#include <QByteArray>
#include <QString>

namespace DurableFile {
// Returns an empty string on success, else the system's reason.
QString write(const QString &path, const QByteArray &bytes, bool syncFolder = true);
void syncFolderOf(const QString &path);
}
