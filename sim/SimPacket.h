#pragma once

// One radio packet on the air: where it was sent (channel, data rate, address) and its
// payload, with the time it occupies the air. Modules of other processes receive it as a
// datagram; encode() and decode() are that datagram's layout, and decode() trusts nothing.

#include "sim/SimTime.h"

#include <array>
#include <cstdint>
#include <vector>

struct SimPacket {
    uint8_t channel = 0;
    bool oneMbit = false;
    uint8_t addressWidth = 0;         // bytes
    std::array<uint8_t, 5> address{}; // the first addressWidth bytes count
    std::vector<uint8_t> payload;
    SimNs start = 0; // the packet leaves the antenna
    SimNs end = 0;   // its CRC is through: receivers hand it over from here

    static constexpr int kMaxPayload = 64;
    // Settling time before a packet goes out, from the end of its last serial byte.
    static constexpr SimNs kSettle = 200 * kSimMicro;
    // Time on the air: address, payload and 16 CRC bits at 1 us (1 Mbit/s) or 4 us a bit.
    static SimNs airTime(int addressBytes, int payloadBytes, bool oneMbit);

    std::vector<uint8_t> encode() const;
    static bool decode(const uint8_t *data, size_t size, SimPacket &out);
};
