#include "sim/SimConfig.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace {

std::string hex(const std::array<uint8_t, 5> &bytes)
{
    char buf[11];
    std::snprintf(buf, sizeof buf, "%02X%02X%02X%02X%02X", bytes[0], bytes[1], bytes[2], bytes[3],
                  bytes[4]);
    return buf;
}

bool parseHex(const std::string &text, std::array<uint8_t, 5> &out)
{
    if (text.size() != 10)
        return false;
    std::array<uint8_t, 5> v{};
    for (size_t i = 0; i < 5; ++i) {
        const std::string pair = text.substr(2 * i, 2);
        char *end = nullptr;
        const long b = std::strtol(pair.c_str(), &end, 16);
        if (end != pair.c_str() + 2 || b < 0 || b > 255)
            return false;
        v[i] = uint8_t(b);
    }
    out = v;
    return true;
}

bool parseByte(const std::string &text, uint8_t &out)
{
    char *end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || v < 0 || v > 255)
        return false;
    out = uint8_t(v);
    return true;
}

} // namespace

std::array<uint8_t, 20> SimConfig::dump() const
{
    std::array<uint8_t, 20> d{};
    d[0] = 0x41;
    d[1] = codeOfSpeed(serialSpeed); // not read by the program; tells the speed code
    d[2] = channel;
    d[3] = power;
    d[4] = dataRate;
    d[5] = uint8_t(addressWidth << 5); // width in the three top bits
    for (int i = 0; i < 5; ++i) {
        d[6 + i] = address1[i];
        d[11 + i] = address2[i];
    }
    d[16] = rx1Bits;
    d[17] = rx2Bits;
    d[18] = tx1Bits;
    d[19] = tx2Bits;
    return d;
}

int SimConfig::speedOfCode(uint8_t code)
{
    switch (code) {
    case 1:
        return 9600;
    case 2:
        return 19200;
    case 4:
        return 38400;
    case 8:
        return 57600;
    case 16:
        return 115200;
    default:
        return 0;
    }
}

uint8_t SimConfig::codeOfSpeed(int speed)
{
    for (uint8_t code : {1, 2, 4, 8, 16})
        if (speedOfCode(code) == speed)
            return code;
    return 0;
}

std::string SimConfig::toText() const
{
    std::ostringstream s;
    s << "channel=" << int(channel) << '\n'
      << "addressWidth=" << int(addressWidth) << '\n'
      << "address1=" << hex(address1) << '\n'
      << "address2=" << hex(address2) << '\n'
      << "rx1Bits=" << int(rx1Bits) << '\n'
      << "rx2Bits=" << int(rx2Bits) << '\n'
      << "tx1Bits=" << int(tx1Bits) << '\n'
      << "tx2Bits=" << int(tx2Bits) << '\n'
      << "dataRate=" << int(dataRate) << '\n'
      << "power=" << int(power) << '\n'
      << "serialSpeed=" << serialSpeed << '\n';
    return s.str();
}

SimConfig SimConfig::fromText(const std::string &text)
{
    SimConfig c;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const size_t eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
        uint8_t b = 0;
        if (key == "address1") {
            parseHex(value, c.address1);
        } else if (key == "address2") {
            parseHex(value, c.address2);
        } else if (key == "serialSpeed") {
            const long v = std::strtol(value.c_str(), nullptr, 10);
            if (codeOfSpeed(int(v)) != 0)
                c.serialSpeed = int(v);
        } else if (!parseByte(value, b)) {
            continue;
        } else if (key == "channel" && b <= 127) {
            c.channel = b;
        } else if (key == "addressWidth" && b >= 1 && b <= 5) {
            c.addressWidth = b;
        } else if (key == "rx1Bits") {
            c.rx1Bits = b;
        } else if (key == "rx2Bits") {
            c.rx2Bits = b;
        } else if (key == "tx1Bits") {
            c.tx1Bits = b;
        } else if (key == "tx2Bits") {
            c.tx2Bits = b;
        } else if (key == "dataRate") {
            c.dataRate = b;
        } else if (key == "power" && b <= 3) {
            c.power = b;
        }
    }
    return c;
}

bool SimConfig::operator==(const SimConfig &o) const
{
    return channel == o.channel && addressWidth == o.addressWidth && address1 == o.address1 &&
           address2 == o.address2 && rx1Bits == o.rx1Bits && rx2Bits == o.rx2Bits &&
           tx1Bits == o.tx1Bits && tx2Bits == o.tx2Bits && dataRate == o.dataRate &&
           power == o.power && serialSpeed == o.serialSpeed;
}
