// The file line splitter and packetiser: every byte of every line goes out in order, packets
// are exactly the width, and only spaces follow a line's bytes.

#include "traffic/TextFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const int width = data[0] % 70; // the payload widths the window allows, and beyond
    const QByteArray text(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    const QList<QByteArray> lines = TextFile::splitLines(text);
    qsizetype carried = 0;
    for (const QByteArray &line : lines) {
        if (line.contains('\r') || line.contains('\n') || line.contains('\0'))
            std::abort();
        carried += line.size();
        const QByteArray fileLine = TextFile::fileLine(line);
        const int n = TextFile::packetCount(fileLine.size(), width);
        QByteArray joined;
        for (int i = 0; i < n; ++i) {
            const QByteArray p = TextFile::packet(fileLine, width, i);
            if (p.size() != width)
                std::abort();
            joined += p;
        }
        if (width > 0 && (!joined.startsWith(fileLine) || joined.mid(fileLine.size()).count(' ') !=
                                                              joined.size() - fileLine.size()))
            std::abort();
    }
    // Line text never exceeds the text before the first zero byte.
    const qsizetype zero = text.indexOf('\0');
    if (carried > (zero < 0 ? text.size() : zero))
        std::abort();
    return 0;
}
