#include "serial/TelnetParser.h"

TelnetParser::Item TelnetParser::feed(uint8_t byte)
{
    switch (state_) {
    case State::Data:
        if (byte == IAC) {
            state_ = State::Iac;
            return Item::None;
        }
        data_ = byte;
        return Item::Data;
    case State::Iac:
        return afterIac(byte);
    case State::Option:
        option_ = byte;
        state_ = State::Data;
        return Item::Negotiation;
    case State::Sub:
        if (byte == IAC) {
            state_ = State::SubIac;
            return Item::None;
        }
        break;
    case State::SubIac:
        if (byte == SE) {
            state_ = State::Data;
            return Item::Subnegotiation;
        }
        if (byte != IAC) {
            // Any other command ends the subnegotiation unfinished: it is dropped, and the
            // command counts as if it had come after data.
            subLength_ = 0;
            return afterIac(byte);
        }
        state_ = State::Sub;
        break;
    }
    // A byte of a subnegotiation.
    if (subLength_ < MaxSubnegotiation)
        sub_[subLength_++] = byte;
    else
        subCut_ = true;
    return Item::None;
}

TelnetParser::Item TelnetParser::afterIac(uint8_t byte)
{
    state_ = State::Data;
    switch (byte) {
    case IAC:
        data_ = IAC;
        return Item::Data;
    case SB:
        state_ = State::Sub;
        subLength_ = 0;
        subCut_ = false;
        return Item::None;
    case DO:
    case DONT:
    case WILL:
    case WONT:
        verb_ = byte;
        state_ = State::Option;
        return Item::None;
    default:
        verb_ = byte;
        return Item::Command;
    }
}
