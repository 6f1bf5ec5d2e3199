// The settings file reader and writer on any bytes: reading never fails and keeps to the
// ranges, and a write changes the one key and keeps every other line byte for byte.

#include "settings/IniFile.h"
#include "settings/PortSettings.h"

#include <QFile>

#include <cstdint>
#include <cstdlib>
#include <unistd.h>

namespace {

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QList<QByteArray> linesOf(const QByteArray &text)
{
    QList<QByteArray> lines = text.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QString path = QStringLiteral("/tmp/quorvane-fuzz-ini-%1.ini").arg(::getpid());
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        f.write(reinterpret_cast<const char *>(data), qsizetype(size));
    }
    const PortSettings s = PortSettings::Read(IniFile(path));
    if (s.PortIndex < 0 || s.PortIndex > 8 || s.BaudIndex < 0 || s.BaudIndex > 10)
        std::abort();

    const QList<QByteArray> before =
        linesOf(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    IniFile ini(path);
    if (!ini.writeString(QStringLiteral("Port"), QStringLiteral("COM"), QStringLiteral("7")))
        return 0;
    if (IniFile(path).readInteger(QStringLiteral("Port"), QStringLiteral("COM"), -1) != 7)
        std::abort();
    // Every other line stays, in order: either the key's line was rewritten in place, or the
    // key (with its section, if that was missing) was inserted.
    const QList<QByteArray> after = linesOf(fileBytes(path));
    if (after.size() == before.size()) {
        qsizetype changed = 0;
        for (qsizetype i = 0; i < before.size(); ++i)
            changed += after.at(i) != before.at(i);
        if (changed > 1)
            std::abort();
    } else {
        qsizetype j = 0;
        for (const QByteArray &line : before) {
            j = after.indexOf(line, j);
            if (j < 0)
                std::abort();
            ++j;
        }
        if (after.size() > before.size() + 3)
            std::abort();
    }
    return 0;
}
