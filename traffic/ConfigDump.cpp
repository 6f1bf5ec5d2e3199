#include "traffic/ConfigDump.h"

namespace {

QString hexBytes(const uint8_t *b, int n)
{
    static const char digits[] = "0123456789ABCDEF";
    QString s;
    s.reserve(2 * n);
    for (int i = 0; i < n; ++i) {
        s += QLatin1Char(digits[b[i] >> 4]);
        s += QLatin1Char(digits[b[i] & 0x0F]);
    }
    return s;
}

} // namespace

int powerCodeForIndex(int index)
{
    return index >= 0 && index <= 3 ? 3 - index : 0;
}

int powerIndexForCode(int code)
{
    return code >= 0 && code <= 3 ? 3 - code : -1;
}

ConfigDump ConfigDump::decode(const uint8_t *b)
{
    ConfigDump d;
    d.valid = b[0] == Marker;
    if (!d.valid)
        return d;
    d.channel = b[2];
    d.powerIndex = powerIndexForCode(b[3]);
    d.rateIndex = b[4] == 0 ? 0 : 1;
    d.addressWidth = b[5] / 32;
    d.address1 = hexBytes(b + 6, 5);
    d.address2 = hexBytes(b + 11, 5);
    d.dataW1 = b[16] / 8;
    d.dataW2 = b[17] / 8;
    d.dataW1TX = b[18] / 8;
    d.dataW2TX = b[19] / 8;
    return d;
}
