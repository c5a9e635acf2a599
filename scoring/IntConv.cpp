#include "IntConv.h"
#include "AppError.h"

std::optional<qint32> tryStrToInt(const QString &text)
{
    int i = 0;
    const int n = text.size();
    while (i < n && text.at(i) == QLatin1Char(' '))
        ++i;
    bool negative = false;
    if (i < n && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-'))) {
        negative = text.at(i) == QLatin1Char('-');
        ++i;
    }
    bool hex = false;
    if (i < n && text.at(i) == QLatin1Char('$')) {
        hex = true;
        ++i;
    } else if (i + 1 < n && text.at(i) == QLatin1Char('0')
               && (text.at(i + 1) == QLatin1Char('x') || text.at(i + 1) == QLatin1Char('X'))) {
        hex = true;
        i += 2;
    }
    if (i >= n)
        return std::nullopt;
    quint64 value = 0;
    for (; i < n; ++i) {
        const QChar c = text.at(i);
        int digit;
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            digit = c.unicode() - '0';
        else if (hex && c >= QLatin1Char('a') && c <= QLatin1Char('f'))
            digit = c.unicode() - 'a' + 10;
        else if (hex && c >= QLatin1Char('A') && c <= QLatin1Char('F'))
            digit = c.unicode() - 'A' + 10;
        else
            return std::nullopt;
        value = value * (hex ? 16 : 10) + quint64(digit);
        if (hex ? value > 0xFFFFFFFFull : value > 0x80000000ull)
            return std::nullopt;
    }
    if (hex) {
        const qint32 v = qint32(quint32(value));
        return negative ? qint32(0u - quint32(v)) : v;
    }
    if (!negative && value > 0x7FFFFFFFull)
        return std::nullopt;
    return negative ? qint32(-qint64(value)) : qint32(value);
}

QString notAnIntegerMessage(const QString &text)
{
    return QStringLiteral("'%1' n'est pas une valeur entière correcte").arg(text);
}

qint32 strToInt(const QString &text)
{
    const auto v = tryStrToInt(text);
    if (!v)
        throw AppError(notAnIntegerMessage(text));
    return *v;
}
