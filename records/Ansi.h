#pragma once
// Windows-1252 stands for the ANSI code page in every text file we read or write.
//
// Encoding keeps what a reader needs of a name the code page cannot hold, as the standard
// conversion of Windows does: a character Windows-1252 has keeps its byte; another letter
// becomes its closest letter (the base letter of its canonical decomposition, "ł" gives
// "l", "ı" gives "i", "đ" gives "d"); a character with no such letter (中, an emoji, a
// Hangul syllable) becomes one "?". A letter followed by combining marks counts as one
// character, so the output never has more bytes than the text has UTF-16 code units.
#include <QByteArray>
#include <QString>

namespace Ansi {
QByteArray encode(QStringView text);
// Writes at most text.size() bytes at `out` and returns the end of what it wrote.
char *encodeInto(QStringView text, char *out);
QString decode(QByteArrayView bytes);
// True when every character has a byte of its own (nothing would be replaced).
bool canEncode(QStringView text);
}
