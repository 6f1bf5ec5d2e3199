// The configuration dump decoder on any 20 bytes.

#include "traffic/ConfigDump.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    uint8_t dump[ConfigDump::Size] = {};
    std::memcpy(dump, data, size < sizeof dump ? size : sizeof dump);
    const ConfigDump d = ConfigDump::decode(dump);
    if (!d.valid)
        return 0;
    // What the controls are given stays within what they can show.
    if (d.address1.size() != 10 || d.address2.size() != 10 || d.addressWidth > 7 ||
        d.powerIndex < -1 || d.powerIndex > 3 || d.dataW1 > 31 || d.dataW2TX > 31)
        std::abort();
    return 0;
}
