// What a network port's server sends, through the Telnet and COM-PORT-OPTION layers as the
// line feeds them: in the pieces a socket gives, with the answers taken after each piece. The
// data that comes out is never more than went in, and the answers stay within their bound.

#include "serial/ComPortOption.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    ComPortOption option;
    option.greeting();
    // The first byte sets the piece size, so that every split is tried.
    const size_t piece = size_t(data[0] % 64) + 1;
    std::vector<uint8_t> out(piece);
    for (size_t at = 1; at < size; at += piece) {
        const int n = int(size - at < piece ? size - at : piece);
        const int count = option.take(data + at, n, out.data());
        if (count < 0 || count > n)
            std::abort();
        if (option.takeAnswers().size() > size_t(ComPortOption::MaxPendingAnswers))
            std::abort();
    }
    if (option.signature().size() > size_t(TelnetParser::MaxSubnegotiation))
        std::abort();
    return 0;
}
