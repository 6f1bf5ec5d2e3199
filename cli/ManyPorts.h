#pragma once

// write, read and check on many ports at once: every module on its own thread (a ModuleHost
// each), one line per module as it finishes, then a summary ("12 hold the profile, 1 differs,
// 1 did not answer"); with --json one object with the modules in the order they finished.
// A fault stays with its module: a port that does not open, an adapter pulled out, a module
// that answers garbage or runs at another speed fails its own line, and the others go on.

#include "cli/ModuleTask.h"

#include <QList>
#include <QString>
#include <functional>

class ModuleLog;
class Output;

class ManyPorts {
public:
    struct Request {
        ModuleTask::Kind kind = ModuleTask::Kind::Write;
        QList<ModulePort> ports;
        int speedIndex = 0;       // the Speed list entry, 0 = 9600 ... 4 = 115200
        ModuleConfig profile;     // write, check
        QString profilePath;      // write, check: as the operator gave it
        ModuleLog *log = nullptr; // a row per module, when given
    };

    // The exit status: 0 when every module holds the profile (read: answered), 1 otherwise.
    static int Run(const Output &out, const Request &request);
    // Every module at once; each one's outcome goes to finished (on the calling thread) as it
    // comes. Returns them in that order once all are done.
    static QList<ModuleOutcome> RunAll(const Request &request,
                                       const std::function<void(const ModuleOutcome &)> &finished);

    // "12 hold the profile, 1 differs, 1 did not answer"
    static QString Summary(ModuleTask::Kind kind, const QList<ModuleOutcome> &outcomes);
    static QString CommandName(ModuleTask::Kind kind);
};
