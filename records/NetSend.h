#pragma once
// Sending a line list to the club's server: a 4-byte big-endian line count, then each
// line in ASCII ("?" for every other UTF-16 code unit) followed by CR LF, all built in
// memory and written at once over one TCP connection; nothing is read back.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace NetSend {
QByteArray buildFrame(const QStringList &lines);
// The port text as the operator typed it: decimal, "0x"/"$" hex, leading spaces; the low
// 16 bits are kept. Throws the conversion AppError for a text that is not an integer.
quint16 portFromText(const QString &text);
// Blocking: resolve, connect within timeoutMs, write everything, close. Throws AppError
// with a French message (empty host, port 0, host not found, refused, time-out, broken).
void sendFrame(const QString &host, quint16 port, const QByteArray &frame, int timeoutMs = 4000);
}
