#pragma once

// The Telnet layer of a network serial port, one byte at a time and without any I/O: what a
// server sends is split into data bytes (IAC IAC gives one 0xFF), option negotiations (DO,
// DONT, WILL or WONT with its option), subnegotiations (IAC SB ... IAC SE, their bytes
// undoubled) and the other commands. The line feeds it from its socket and the fuzz target
// from anything at all.
//
// A subnegotiation longer than any this console understands keeps only its first bytes and is
// marked cut: a peer cannot make it grow.

#include <cstdint>

class TelnetParser {
public:
    static constexpr uint8_t IAC = 255;
    static constexpr uint8_t DONT = 254;
    static constexpr uint8_t DO = 253;
    static constexpr uint8_t WONT = 252;
    static constexpr uint8_t WILL = 251;
    static constexpr uint8_t SB = 250;
    static constexpr uint8_t SE = 240;
    static constexpr int MaxSubnegotiation = 64;

    enum class Item {
        None,           // the byte belongs to something not complete yet
        Data,           // data(): one payload byte
        Negotiation,    // verb() DO, DONT, WILL or WONT, option()
        Subnegotiation, // sub(), subLength(), subCut()
        Command         // verb(): a Telnet command without an option (NOP, AYT, ...)
    };

    Item feed(uint8_t byte);

    uint8_t data() const { return data_; }
    uint8_t verb() const { return verb_; }
    uint8_t option() const { return option_; }
    const uint8_t *sub() const { return sub_; }
    int subLength() const { return subLength_; }
    bool subCut() const { return subCut_; }

private:
    enum class State { Data, Iac, Option, Sub, SubIac };
    Item afterIac(uint8_t byte);

    State state_ = State::Data;
    uint8_t data_ = 0;
    uint8_t verb_ = 0;
    uint8_t option_ = 0;
    uint8_t sub_[MaxSubnegotiation] = {};
    int subLength_ = 0;
    bool subCut_ = false;
};
