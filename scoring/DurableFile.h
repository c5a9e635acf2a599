#pragma once
// Writing a whole file so that a crash or a power cut leaves either the old content or the
// new one, never a mix: the bytes go to a temporary file beside the target, which is synced,
// renamed over the target, and then the folder itself is synced so the rename survives a
// power cut.
//
// The temporary file is named "<target>.zelvano-tmp-<12 hex digits>": a name no person
// gives a file of their own (unlike "FeuilleMatch.txt.backup"), so the clean-up of files
// left by a kill can remove exactly ours and never a user's copy.
#include <QByteArray>
#include <QString>
#include <QStringList>

namespace DurableFile {

inline constexpr char TemporaryMark[] = ".zelvano-tmp-";

// Returns an empty string on success, else the reason in French ("le disque est plein").
QString write(const QString &path, const QByteArray &bytes, bool syncFolder = true);
void syncFolderOf(const QString &path);

// True when `fileName` is the temporary file of a durable write of `target` (both bare
// file names): "<target>.zelvano-tmp-" followed by exactly 12 lowercase hex digits.
bool isTemporaryOf(const QString &fileName, const QString &target);
// Removes from `folder` the temporary files of durable writes of the given targets; no
// other file is touched. Returns how many were removed.
int removeTemporaries(const QString &folder, const QStringList &targets);

// Whether a file can be created in `folder`, tried for real (permissions, read-only
// media, a full disk); empty when it can, else the reason in French.
QString probeFolder(const QString &folder);

// The French reason for a system error number (errno), as write() gives it.
QString reasonText(int errorNumber);

}
