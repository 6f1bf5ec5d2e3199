#pragma once

// One module's part of a command on many ports (write, read, check) and in station mode: the
// port as the operator knows it, what is done to the module there, and what it came to, worded
// for its line on the terminal, its JSON object and its row in a station log.

#include "module/ModuleConfig.h"
#include "settings/ModuleProfile.h"

#include <QJsonObject>
#include <QString>

#include <optional>

class Programmer;

// A port of a command on many ports: what opens it, and what names the adapter behind it.
struct ModulePort {
    QString name;   // as the operator gave it or the port list shows it
    QString device; // what the serial component opens: a path or sim:NAME
    QString byId;   // the adapter's stable name under /dev/serial/by-id, or empty
    QString serial; // the adapter's serial number, or empty
};

struct ModuleOutcome {
    enum class Verdict {
        Holds,     // write, check: the module reports every key of the profile
        Read,      // read: the module answered
        Differs,   // it reports another value for some key
        NoAnswer,  // no configuration came back
        Unplugged, // the adapter went away on the way
        NotOpened, // the port did not open
        Refused,   // refused before anything was sent (a port that carries data only)
    };
    ModulePort port;
    Verdict verdict = Verdict::NoAnswer;
    QString reason; // why it failed, one line
    std::optional<ModuleConfig> found;
    QList<ModuleProfile::Difference> differences;
    qint64 ms = 0;

    bool Passed() const { return verdict == Verdict::Holds || verdict == Verdict::Read; }
    // "PASS /dev/ttyUSB0 (by-id usb-FTDI_..., serial A50285BI): holds the profile, 142 ms"
    QString Line() const;
    QJsonObject Json() const;
    // "holds the profile", "did not answer" ...
    static QString VerdictText(Verdict v);
};

class ModuleTask {
public:
    enum class Kind { Write, Read, Check };

    // Runs on the module's own thread: opens the port at the Speed list entry speedIndex,
    // writes and reads back, reads, or reads and compares, and closes the port again.
    static ModuleOutcome Run(Programmer &p, Kind kind, const ModulePort &port, int speedIndex,
                             const ModuleConfig &profile);

    // The keys of a configuration as a JSON object, in the profile's words.
    static QJsonObject ProfileJson(const ModuleConfig &config);
    // "Channel=77; Power=-10 dBm; ...": a configuration on one line.
    static QString ProfileLine(const ModuleConfig &config);
};
