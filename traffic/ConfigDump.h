#pragma once

// The module's answer to "R": 20 bytes, decoded into what the configuration controls show.
//
//   0      marker 0x41 ('A'); anything else is no dump
//   1      not interpreted
//   2      RF channel
//   3      power code: 3 = 0 dBm, 2 = -5 dBm, 1 = -10 dBm, 0 = -20 dBm
//   4      data rate: 0 = 250 kbit/s, anything else 1 Mbit/s
//   5      address width in bytes in the three top bits (byte / 32)
//   6-10   address of data channel 1
//   11-15  address of data channel 2
//   16-19  payload widths in bits: RX 1, RX 2, TX 1, TX 2

#include "module/ModuleConfig.h"

#include <cstdint>

// The decoded fields, as the dump reports them: the channel as sent (the spin box keeps it
// within its range), powerIndex -1 for a code the list does not know, rateIndex 0 or 1, the
// address width 0 to 7 (written as text, not limited here), both addresses as ten upper-case
// hexadecimal digits, payload widths in bytes (bits / 8). CRC and the flags keep the values
// every decoded dump shows.
struct ConfigDump : ModuleConfig {
    static constexpr int Size = 20;
    static constexpr uint8_t Marker = 0x41;

    bool valid = false; // byte 0 was the marker

    static ConfigDump decode(const uint8_t *bytes);
};

// PowerCombo index <-> the module's power code.
int powerCodeForIndex(int index); // 0 -> 3 ... 3 -> 0; anything else 0
int powerIndexForCode(int code);  // 3 -> 0 ... 0 -> 3; anything else -1
