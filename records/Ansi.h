#pragma once
// Windows-1252 stands for the ANSI code page in every text file we read or write.
// A character that Windows-1252 lacks is written as "?" (one per UTF-16 code unit).
#include <QByteArray>
#include <QString>

namespace Ansi {
QByteArray encode(QStringView text);
QString decode(QByteArrayView bytes);
bool canEncode(QStringView text);
}
