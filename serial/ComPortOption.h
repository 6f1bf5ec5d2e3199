#pragma once

// The client side of the Telnet COM Port Control Option (RFC 2217), as ser2net and other
// serial servers speak it, on top of the Telnet layer and without any I/O: the requests the
// line sends (speed, 8N1, flow control, RTS and DTR, purge), the answers to the server's
// option negotiation, and what the server has told about the port. The line feeds it what its
// socket reads and sends what it asks to send; the fuzz target feeds it anything.
//
// Negotiation follows RFC 1143's rule that a request for the state an option is already in
// gets no answer, so two ends cannot answer each other for ever. The answers waiting to be
// sent are bounded: a peer that asks without end gets no more of them.

#include "serial/TelnetParser.h"

#include <bitset>
#include <cstdint>
#include <string>

class ComPortOption {
public:
    static constexpr uint8_t Option = 44; // COM-PORT-OPTION
    // Client requests; the server answers each with the same command plus 100.
    enum Command : uint8_t {
        Signature = 0,
        SetBaudRate = 1,
        SetDataSize = 2,
        SetParity = 3,
        SetStopSize = 4,
        SetControl = 5,
        NotifyLineState = 6,
        NotifyModemState = 7,
        FlowControlSuspend = 8,
        FlowControlResume = 9,
        SetLineStateMask = 10,
        SetModemStateMask = 11,
        PurgeData = 12
    };
    // Values of SetControl.
    enum Control : uint8_t {
        NoFlowControl = 1,
        HardwareFlowControl = 3,
        DtrOn = 8,
        DtrOff = 9,
        RtsOn = 11,
        RtsOff = 12
    };
    enum Parity : uint8_t { NoParity = 1 };
    enum StopSize : uint8_t { OneStopBit = 1 };
    enum Purge : uint8_t { PurgeReceive = 1, PurgeTransmit = 2, PurgeBoth = 3 };
    static constexpr int MaxPendingAnswers = 256;

    // The client's opening: it will speak the option, and both ways are binary without
    // go-ahead, so that every byte value passes as data.
    std::string greeting();
    // IAC SB COM-PORT-OPTION command value IAC SE, a 0xFF in the value doubled.
    static std::string request(uint8_t command, uint32_t value, int valueBytes);
    // Payload bytes for the wire: each IAC doubled.
    static void escape(const uint8_t *data, int length, std::string &wire);

    // Takes length bytes from the server; the data bytes among them go to out, which has room
    // for length bytes. Returns the count of data bytes.
    int take(const uint8_t *in, int length, uint8_t *out);
    // The negotiation answers to send now; empties them.
    std::string takeAnswers();

    enum class Offer { Pending, Accepted, Refused };
    // Whether the server speaks the option (DO or an answer of the option), or refused it.
    Offer offer() const { return offer_; }
    // Answers to SET-BAUDRATE so far, and the speed the last one gave.
    unsigned baudAnswers() const { return baudAnswers_; }
    uint32_t lastBaud() const { return lastBaud_; }
    // Answers to PURGE-DATA so far.
    unsigned purgeAnswers() const { return purgeAnswers_; }
    // Answers to SET-CONTROL that speak of RTS or DTR.
    unsigned lineAnswers() const { return lineAnswers_; }
    // The modem state the server last notified (CTS 0x10, DSR 0x20, RI 0x40, DCD 0x80).
    bool modemStateKnown() const { return modemStateKnown_; }
    uint8_t modemState() const { return modemState_; }
    // What the server gave of itself (its signature), as far as it fits.
    const std::string &signature() const { return signature_; }

private:
    void negotiate(uint8_t verb, uint8_t option);
    void subnegotiation(const uint8_t *s, int length);
    void answer(uint8_t verb, uint8_t option);
    static bool weWill(uint8_t option);
    static bool theyMay(uint8_t option);

    TelnetParser parser_;
    std::string answers_;
    std::bitset<256> ours_;   // options enabled (or asked for) on our side
    std::bitset<256> theirs_; // options enabled (or asked for) on the server's side
    Offer offer_ = Offer::Pending;
    unsigned baudAnswers_ = 0;
    uint32_t lastBaud_ = 0;
    unsigned lineAnswers_ = 0;
    unsigned purgeAnswers_ = 0;
    bool modemStateKnown_ = false;
    uint8_t modemState_ = 0;
    std::string signature_;
};
