#include "sim/SimPacket.h"

namespace {

const uint8_t kMagic[4] = {'Q', 'V', 'A', '1'};
constexpr size_t kHeader = 4 + 8 + 8 + 1 + 1 + 1 + 5 + 2;

void put64(std::vector<uint8_t> &out, SimNs v)
{
    const uint64_t u = uint64_t(v);
    for (int i = 0; i < 8; ++i)
        out.push_back(uint8_t(u >> (8 * i)));
}

SimNs get64(const uint8_t *p)
{
    uint64_t u = 0;
    for (int i = 0; i < 8; ++i)
        u |= uint64_t(p[i]) << (8 * i);
    return SimNs(u);
}

} // namespace

SimNs SimPacket::airTime(int addressBytes, int payloadBytes, bool oneMbit)
{
    const SimNs bits = SimNs(addressBytes) * 8 + SimNs(payloadBytes) * 8 + 16;
    return bits * (oneMbit ? 1 : 4) * kSimMicro;
}

std::vector<uint8_t> SimPacket::encode() const
{
    std::vector<uint8_t> out(kMagic, kMagic + 4);
    put64(out, start);
    put64(out, end);
    out.push_back(channel);
    out.push_back(oneMbit ? 1 : 0);
    out.push_back(addressWidth);
    out.insert(out.end(), address.begin(), address.end());
    const size_t n = payload.size();
    out.push_back(uint8_t(n & 0xFF));
    out.push_back(uint8_t(n >> 8));
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}

bool SimPacket::decode(const uint8_t *data, size_t size, SimPacket &out)
{
    if (size < kHeader || data[0] != kMagic[0] || data[1] != kMagic[1] || data[2] != kMagic[2] ||
        data[3] != kMagic[3])
        return false;
    const uint8_t *p = data + 4;
    SimPacket k;
    k.start = get64(p);
    k.end = get64(p + 8);
    p += 16;
    k.channel = p[0];
    k.oneMbit = p[1] != 0;
    k.addressWidth = p[2];
    p += 3;
    for (int i = 0; i < 5; ++i)
        k.address[size_t(i)] = p[i];
    p += 5;
    const size_t n = size_t(p[0]) | size_t(p[1]) << 8;
    p += 2;
    if (n > size_t(kMaxPayload) || size != kHeader + n || k.addressWidth < 1 ||
        k.addressWidth > 5 || k.end < k.start)
        return false;
    k.payload.assign(p, p + n);
    out = std::move(k);
    return true;
}
