#pragma once

// What a simulated module holds in its non-volatile memory: the radio configuration that the
// command letters set, and its own serial speed. Values are kept as the commands carry them
// (payload widths and the data rate byte raw), so that the configuration dump gives back
// exactly what was written.

#include <array>
#include <cstdint>
#include <string>

struct SimConfig {
    uint8_t channel = 2;      // "C"
    uint8_t addressWidth = 5; // bytes, 1 to 5; "W" carries it in bits
    std::array<uint8_t, 5> address1{{0xE7, 0xE7, 0xE7, 0xE7, 0xE7}}; // "A"
    std::array<uint8_t, 5> address2{{0xC2, 0xC2, 0xC2, 0xC2, 0xC2}}; // no command sets it
    uint8_t rx1Bits = 200;   // "L": receive payload width of data channel 1
    uint8_t rx2Bits = 0;     // "l"
    uint8_t tx1Bits = 200;   // "T": transmit payload width of data channel 1
    uint8_t tx2Bits = 0;     // "t"
    uint8_t dataRate = 0xFF; // "D": 0 is 250 kbit/s, anything else 1 Mbit/s
    uint8_t power = 3;       // "P": 3 = 0 dBm, 2 = -5, 1 = -10, 0 = -20 dBm
    int serialSpeed = 9600;  // "B"

    bool oneMbit() const { return dataRate != 0; }
    int rx1Bytes() const { return rx1Bits / 8; }
    int tx1Bytes() const { return tx1Bits / 8; }

    // The 20-byte answer to "R".
    std::array<uint8_t, 20> dump() const;

    // Speed codes of "B": 1 = 9600, 2 = 19200, 4 = 38400, 8 = 57600, 16 = 115200; 0 for a
    // code the module does not know, and the reverse.
    static int speedOfCode(uint8_t code);
    static uint8_t codeOfSpeed(int speed);

    // The small text file a module with a state folder keeps ("key=value" lines). Parsing
    // starts from the power-on configuration and takes every valid key it finds.
    std::string toText() const;
    static SimConfig fromText(const std::string &text);

    bool operator==(const SimConfig &o) const;
    bool operator!=(const SimConfig &o) const { return !(*this == o); }
};
