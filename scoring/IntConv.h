#pragma once
// Text to 32-bit integer, the way the operator's entries and the settings file are read:
// optional leading spaces, an optional sign, decimal digits, or hexadecimal after "$" or
// "0x" (never octal: "026" is 26). Hexadecimal takes up to 8 digits and wraps into the
// signed range ("$FFFFFFFF" is -1); a decimal outside the 32-bit range is not an integer.
#include <QString>
#include <QtGlobal>
#include <optional>

std::optional<qint32> tryStrToInt(const QString &text);
// Throws AppError("'<text>' n'est pas une valeur entière correcte").
qint32 strToInt(const QString &text);
QString notAnIntegerMessage(const QString &text);
