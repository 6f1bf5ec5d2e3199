#include "traffic/PacketScanner.h"

#include <algorithm>
#include <cstring>

namespace {

// Bytes after a marker that may still become a header: digits only, so far.
bool mayBeHeader(const char *afterMarker, qsizetype n)
{
    return std::all_of(afterMarker, afterMarker + n, TestPacket::isDigit);
}

} // namespace

void PacketScanner::reset()
{
    carried_ = 0;
    openWidth_ = 0;
}

int PacketScanner::tailLength(QByteArrayView bytes, qsizetype from, int width)
{
    const qsizetype most =
        std::min<qsizetype>(bytes.size() - from, TestPacket::AlphabetLength - width);
    const char *at = bytes.data() + from;
    const char *end = std::mismatch(at, at + most, TestPacket::Alphabet + width).first;
    return int(end - at);
}

PacketScanner::Result PacketScanner::scan(QByteArrayView bytes)
{
    Result r;
    const qsizetype n = bytes.size();
    const char *data = bytes.data();
    qsizetype i = 0;
    // Finds the packet's alphabet from `from` on and notes whether it may go on in the next read.
    const auto addPacket = [&](int number, qsizetype from) {
        const int width =
            TestPacket::HeaderLength + tailLength(bytes, from, TestPacket::HeaderLength);
        r.packets.append({number, width});
        i = from + (width - TestPacket::HeaderLength);
        openWidth_ = i == n && width < TestPacket::AlphabetLength ? width : 0;
    };

    if (carried_ > 0) {
        // The rest of a header that the last read cut short.
        const qsizetype take = std::min<qsizetype>(TestPacket::HeaderLength - carried_, n);
        std::memcpy(carry_ + carried_, data, size_t(take));
        const int have = carried_ + int(take);
        carried_ = 0;
        if (have < TestPacket::HeaderLength) {
            if (mayBeHeader(carry_ + 1, have - 1)) {
                carried_ = have;
                return r;
            }
            r.other = true;
        } else if (const int number = TestPacket::headerNumber(carry_); number >= 0) {
            addPacket(number, take);
        } else {
            r.other = true; // and the read is looked at from its start
        }
    } else if (openWidth_ > 0) {
        const int more = tailLength(bytes, 0, openWidth_);
        r.continued = more;
        i = more;
        openWidth_ =
            more == n && openWidth_ + more < TestPacket::AlphabetLength ? openWidth_ + more : 0;
    }

    while (i < n) {
        const auto *marker =
            static_cast<const char *>(std::memchr(data + i, TestPacket::Marker, size_t(n - i)));
        const qsizetype at = marker ? marker - data : n;
        if (at > i)
            r.other = true;
        openWidth_ = 0;
        if (!marker)
            break;
        if (n - at < TestPacket::HeaderLength) {
            if (mayBeHeader(marker + 1, n - at - 1)) {
                carried_ = int(n - at);
                std::memcpy(carry_, marker, size_t(carried_));
                break;
            }
            r.other = true;
            i = at + 1;
            continue;
        }
        const int number = TestPacket::headerNumber(marker);
        if (number < 0) {
            r.other = true;
            i = at + 1;
            continue;
        }
        addPacket(number, at + TestPacket::HeaderLength);
    }
    return r;
}
