#include "traffic/TestPacket.h"

#include <algorithm>

namespace {

char checkLetter(const char *digits)
{
    int sum = 0;
    for (int i = 0; i < TestPacket::Digits; ++i)
        sum += (i + 1) * (digits[i] - '0');
    return char('A' + sum % 26);
}

} // namespace

QByteArray TestPacket::plain(int width)
{
    return QByteArray(Alphabet, std::clamp(width, 0, AlphabetLength));
}

QByteArray TestPacket::numbered(qint64 number, int width)
{
    if (width < LeastNumberedWidth)
        return {};
    QByteArray packet = plain(width);
    qint64 n = ((number % NumberRange) + NumberRange) % NumberRange;
    for (int i = Digits; i >= 1; --i, n /= 10)
        packet[i] = char('0' + n % 10);
    packet[0] = Marker;
    packet[Digits + 1] = checkLetter(packet.constData() + 1);
    return packet;
}

int TestPacket::headerNumber(const char *header)
{
    if (header[0] != Marker)
        return -1;
    int n = 0;
    for (int i = 1; i <= Digits; ++i) {
        if (!isDigit(header[i]))
            return -1;
        n = n * 10 + (header[i] - '0');
    }
    return header[Digits + 1] == checkLetter(header + 1) ? n : -1;
}
