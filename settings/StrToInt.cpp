#include "settings/StrToInt.h"

#include "settings/Exception.h"

#include <cstdint>

bool TryStrToInt(const QString &text, int &value)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text.at(i) == QLatin1Char(' '))
        ++i;
    bool negative = false;
    if (i < n && (text.at(i) == QLatin1Char('-') || text.at(i) == QLatin1Char('+'))) {
        negative = text.at(i) == QLatin1Char('-');
        ++i;
    }
    int base = 10;
    if (i < n && text.at(i) == QLatin1Char('$')) {
        base = 16;
        ++i;
    } else if (i + 1 < n && text.at(i) == QLatin1Char('0') &&
               (text.at(i + 1) == QLatin1Char('x') || text.at(i + 1) == QLatin1Char('X'))) {
        base = 16;
        i += 2;
    }
    if (i == n)
        return false;
    // Hexadecimal texts are bit patterns: $FFFFFFFF is -1, as a 32-bit register would read.
    const uint64_t limit = base == 16 ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
    uint64_t v = 0;
    for (; i < n; ++i) {
        const int d = text.at(i).isDigit() ? text.at(i).unicode() - '0'
                      : base == 16 && text.at(i).toLower() >= QLatin1Char('a') &&
                              text.at(i).toLower() <= QLatin1Char('f')
                          ? text.at(i).toLower().unicode() - 'a' + 10
                          : -1;
        if (d < 0 || d >= base || text.at(i).unicode() > 127)
            return false;
        v = v * uint64_t(base) + uint64_t(d);
        if (v > limit)
            return false;
    }
    const int32_t magnitude = int32_t(uint32_t(v));
    value = negative ? int32_t(0u - uint32_t(magnitude)) : magnitude;
    return true;
}

int StrToInt(const QString &text)
{
    int v = 0;
    if (!TryStrToInt(text, v))
        throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(text));
    return v;
}
