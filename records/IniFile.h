#pragma once
// A small INI reader/writer of our own (QSettings loses comments, order, accents and values
// with commas or semicolons). Sections and keys match case-insensitively; every foreign
// line is kept in place; a value is the text after the first "=", without the spaces around
// it and one pair of enclosing quotes, as on Windows (values that need them are written
// quoted); integers are decimal or hexadecimal after "0x" or "$". A file written by hand
// on Windows (CRLF, Windows-1252) reads without losing an accent; the file is written back
// in the encoding it was read in (Windows-1252 unless a value needs more, then UTF-8 with
// its mark) through a temporary file renamed over the old one.
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <optional>

class IniFile {
public:
    explicit IniFile(QString path); // reads the file when it exists; a missing one is empty
    const QString &path() const { return m_path; }

    std::optional<QString> value(const QString &section, const QString &key) const;
    QString readString(const QString &section, const QString &key, const QString &def) const;
    // absent, empty or not an integer -> def
    qint32 readInteger(const QString &section, const QString &key, qint32 def) const;

    void writeString(const QString &section, const QString &key, const QString &value);
    void writeInteger(const QString &section, const QString &key, qint32 value);

    // Writes the whole file; throws AppError("Impossible d'écrire dans <path>").
    void save() const;

    // Parsing and rendering, exposed for tests and fuzzing.
    void loadFromBytes(const QByteArray &bytes);
    QByteArray toBytes() const;

private:
    QString m_path;
    QStringList m_lines;     // decoded lines, without their line break
    bool m_utf8 = false;     // read as (or needs) UTF-8
    bool m_bom = false;
    QString m_newline = QStringLiteral("\r\n");
};
