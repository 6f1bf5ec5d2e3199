#pragma once

// What passed a simulated module's port, in one direction: the trace entries (each byte with
// the RTS level and the time it went through), or just the bytes.

#include "sim/SimModule.h"

#include <QByteArray>

#include <vector>

inline std::vector<SimTraceEntry> traceOf(SimModule *module, SimTraceEntry::Direction d)
{
    std::vector<SimTraceEntry> out;
    for (const SimTraceEntry &e : module->trace())
        if (e.direction == d)
            out.push_back(e);
    return out;
}

inline QByteArray bytesOf(const std::vector<SimTraceEntry> &entries)
{
    QByteArray out;
    for (const SimTraceEntry &e : entries)
        out.append(char(e.byte));
    return out;
}
