#include "serial/ComPortOption.h"

namespace {

constexpr uint8_t kBinary = 0;
constexpr uint8_t kSuppressGoAhead = 3;
// The server's answers carry the request's command plus this.
constexpr uint8_t kAnswer = 100;

} // namespace

bool ComPortOption::weWill(uint8_t option)
{
    return option == kBinary || option == kSuppressGoAhead || option == Option;
}

bool ComPortOption::theyMay(uint8_t option)
{
    return option == kBinary || option == kSuppressGoAhead;
}

std::string ComPortOption::greeting()
{
    std::string out;
    for (const uint8_t o : {Option, kBinary, kSuppressGoAhead}) {
        ours_.set(o);
        out += char(TelnetParser::IAC);
        out += char(TelnetParser::WILL);
        out += char(o);
    }
    for (const uint8_t o : {kBinary, kSuppressGoAhead}) {
        theirs_.set(o);
        out += char(TelnetParser::IAC);
        out += char(TelnetParser::DO);
        out += char(o);
    }
    return out;
}

std::string ComPortOption::request(uint8_t command, uint32_t value, int valueBytes)
{
    std::string out{char(TelnetParser::IAC), char(TelnetParser::SB), char(Option), char(command)};
    uint8_t bytes[4];
    for (int i = 0; i < valueBytes && i < 4; ++i)
        bytes[i] = uint8_t(value >> (8 * (valueBytes - 1 - i)));
    escape(bytes, valueBytes < 4 ? valueBytes : 4, out);
    out += char(TelnetParser::IAC);
    out += char(TelnetParser::SE);
    return out;
}

void ComPortOption::escape(const uint8_t *data, int length, std::string &wire)
{
    for (int i = 0; i < length; ++i) {
        wire += char(data[i]);
        if (data[i] == TelnetParser::IAC)
            wire += char(TelnetParser::IAC);
    }
}

int ComPortOption::take(const uint8_t *in, int length, uint8_t *out)
{
    int count = 0;
    for (int i = 0; i < length; ++i) {
        switch (parser_.feed(in[i])) {
        case TelnetParser::Item::Data:
            out[count++] = parser_.data();
            break;
        case TelnetParser::Item::Negotiation:
            negotiate(parser_.verb(), parser_.option());
            break;
        case TelnetParser::Item::Subnegotiation:
            subnegotiation(parser_.sub(), parser_.subLength());
            break;
        case TelnetParser::Item::Command:
        case TelnetParser::Item::None:
            break;
        }
    }
    return count;
}

std::string ComPortOption::takeAnswers()
{
    std::string out;
    out.swap(answers_);
    return out;
}

void ComPortOption::answer(uint8_t verb, uint8_t option)
{
    if (int(answers_.size()) + 3 > MaxPendingAnswers)
        return;
    answers_ += char(TelnetParser::IAC);
    answers_ += char(verb);
    answers_ += char(option);
}

void ComPortOption::negotiate(uint8_t verb, uint8_t option)
{
    switch (verb) {
    case TelnetParser::DO:
        if (!weWill(option)) {
            answer(TelnetParser::WONT, option);
        } else if (!ours_.test(option)) {
            ours_.set(option);
            answer(TelnetParser::WILL, option);
        }
        if (option == Option)
            offer_ = Offer::Accepted;
        break;
    case TelnetParser::DONT:
        if (ours_.test(option)) {
            ours_.reset(option);
            answer(TelnetParser::WONT, option);
        }
        if (option == Option)
            offer_ = Offer::Refused;
        break;
    case TelnetParser::WILL:
        if (!theyMay(option)) {
            answer(TelnetParser::DONT, option);
        } else if (!theirs_.test(option)) {
            theirs_.set(option);
            answer(TelnetParser::DO, option);
        }
        break;
    case TelnetParser::WONT:
        if (theirs_.test(option)) {
            theirs_.reset(option);
            answer(TelnetParser::DONT, option);
        }
        break;
    default:
        break;
    }
}

void ComPortOption::subnegotiation(const uint8_t *s, int length)
{
    if (length < 2 || s[0] != Option || s[1] < kAnswer)
        return;
    // An answer of the option is as good as its acceptance.
    if (offer_ == Offer::Pending)
        offer_ = Offer::Accepted;
    const uint8_t *value = s + 2;
    const int size = length - 2;
    switch (s[1] - kAnswer) {
    case Signature:
        signature_.assign(reinterpret_cast<const char *>(value), size_t(size));
        break;
    case SetBaudRate:
        if (size >= 4) {
            lastBaud_ = uint32_t(value[0]) << 24 | uint32_t(value[1]) << 16 |
                        uint32_t(value[2]) << 8 | uint32_t(value[3]);
            ++baudAnswers_;
        }
        break;
    case SetControl:
        if (size >= 1 && value[0] >= 7 && value[0] <= 12)
            ++lineAnswers_;
        break;
    case PurgeData:
        ++purgeAnswers_;
        break;
    case NotifyModemState:
        if (size >= 1) {
            modemState_ = value[0];
            modemStateKnown_ = true;
        }
        break;
    default:
        break;
    }
}
