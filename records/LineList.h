#pragma once
// A line list and its text-file form, as the history and print files use it.
//
// Saved: every entry followed by CR LF; in the remembered encoding with its byte-order
// mark (UTF-8, UTF-16 LE/BE), else Windows-1252 with no mark (closest letters, see Ansi.h).
// Loaded: BOM detection (UTF-8, then FF FE, then FE FF, else Windows-1252), a NUL ends the
// text, an entry runs to the next CR or LF, then one CR and one LF are skipped if present;
// text after the last break is a final entry; no empty entry after a final break.
#include <QByteArray>
#include <QString>
#include <QStringList>

enum class TextEncoding { None, Ansi, Utf8, Utf16LE, Utf16BE };

class LineList {
public:
    QStringList entries;
    TextEncoding encoding = TextEncoding::None; // remembered from the last load

    int count() const { return int(entries.size()); }

    // The file's bytes; throws AppError("Impossible d'ouvrir le fichier \"<path>\". <reason>").
    void loadFromFile(const QString &path);
    // Writes the whole file. With `atomic`, through a temporary file renamed over the old one
    // (and the folder synced), so a crash never leaves half a file.
    // Throws AppError("Impossible de créer le fichier \"<path>\". <reason>").
    void saveToFile(const QString &path, bool atomic = false) const;

    void loadFromBytes(const QByteArray &bytes);
    QByteArray toBytes() const;
};
