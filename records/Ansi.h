#pragma once
// Windows-1252 stands for the ANSI code page in every text file we read or write.
// A character that Windows-1252 lacks is written as "?" (one per UTF-16 code unit).
#include <QByteArray>
#include <QString>

namespace Ansi {
QByteArray encode(QStringView text);
// Writes the text.size() bytes of `text` at `out` and returns the end of what it wrote.
char *encodeInto(QStringView text, char *out);
QString decode(QByteArrayView bytes);
bool canEncode(QStringView text);
}
