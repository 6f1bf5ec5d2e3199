// The simulated module's command interpreter on any bytes at any RTS levels: it never
// crashes, its configuration stays within what the dump can carry, "R" under RTS to an awake
// module that waits for a letter answers the 20-byte dump (marker 0x41 first), and no other
// byte answers anything. The bytes go straight to the interpreter (SimModule::feed), so no
// line time is waited for.
//
// Input: pairs of a control byte (bit 0: RTS raised) and the byte the module receives.

#include "sim/SimConfig.h"
#include "sim/SimModule.h"
#include "sim/SimWorld.h"

#include <QByteArray>
#include <QString>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// Parameter bytes that follow each command letter.
int parameterCount(uint8_t letter)
{
    if (std::strchr("CLlTtDPWB", letter) && letter != 0)
        return 1;
    return letter == 'A' ? 5 : 0;
}

void check(bool ok)
{
    if (!ok)
        std::abort();
}

void checkConfig(const SimConfig &c)
{
    check(c.channel <= 127);
    check(c.addressWidth >= 1 && c.addressWidth <= 5);
    check(c.power <= 3);
    check(SimConfig::codeOfSpeed(c.serialSpeed) != 0);
    // The dump carries the width in its three top bits and the speed as its code.
    const auto d = c.dump();
    check(d[0] == 0x41 && d[2] == c.channel && d[3] == c.power);
    check(d[5] >> 5 == c.addressWidth && (d[5] & 0x1F) == 0);
    check(SimConfig::speedOfCode(d[1]) == c.serialSpeed);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // Packets the fuzzed module radios stay in this process: no air shared with consoles
    // running on this machine.
    qputenv("QV_TEST", "1");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static SimModule *const module = SimModule::named(QStringLiteral("fuzz"));
    module->factoryReset();

    bool rts = false;
    int parametersLeft = 0; // of the command the interpreter is gathering
    for (size_t i = 0; i + 1 < size; i += 2) {
        const bool raised = (data[i] & 1) != 0;
        const uint8_t byte = data[i + 1];
        if (rts && !raised)
            parametersLeft = 0; // a command cut short by the line is dropped
        rts = raised;
        const bool asleep = module->asleep();
        const bool awaitsLetter = !asleep && rts && parametersLeft == 0;

        const std::vector<uint8_t> answer = module->feed(byte, rts);

        if (awaitsLetter && byte == 'R') {
            const auto dump = module->config().dump();
            check(answer.size() == 20 && answer[0] == 0x41);
            check(std::equal(answer.begin(), answer.end(), dump.begin()));
        } else {
            check(answer.empty());
        }
        if (asleep)
            check(!module->asleep()); // the byte woke it, and was lost
        else if (awaitsLetter && byte == 'S')
            check(module->asleep());
        if (!asleep && rts)
            parametersLeft = parametersLeft > 0 ? parametersLeft - 1 : parameterCount(byte);
        checkConfig(module->config());
    }
    return 0;
}
