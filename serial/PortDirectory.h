#pragma once

// The program knows ports only as COM1 to COM21. PortDirectory says which device each name
// opens on this machine:
//   1. the simulated module asked for at start (the --simulate option or QV_SIM_MODULE), for
//      every name, whatever the settings say;
//   2. an explicit entry (the [Devices] section of the settings file): COM3=/dev/ttyUSB0, a
//      network port (COM3=rfc2217://rack-2:7003, COM3=socket://bridge:23), or a registered
//      scheme such as COM3=sim or COM3=sim:NAME for a simulated module;
//   3. otherwise the n-th port the system lists (USB adapters first, then the others, each
//      sorted by name);
//   4. otherwise nothing, and the open fails.
// A simulated module stands in only when asked: a machine without an adapter gets no port,
// not a module that answers like one. PortDirectory also words, for the operator, what a name
// opens and why an open failed.
//
// The directory is shared by every port of the process, each of which may open on a thread
// of its own (many modules at once): its entries, schemes and listing are kept under a lock.

#include "serial/PortInfo.h"
#include "serial/SerialLine.h"

#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <mutex>

class PortDirectory {
public:
    // Makes the line for a scheme target; the argument is what follows "scheme:" (may be
    // empty). The line's open() then receives the whole target text as its device.
    using Factory = std::function<std::unique_ptr<SerialLine>(const QString &argument)>;
    // Lists the serial ports; the system's listing unless a test stands in for it.
    using PortSource = std::function<QList<PortInfo>()>;

    struct Target {
        enum class Kind { None, Device, Scheme } kind = Kind::None;
        QString device;   // the path, or the whole scheme text ("sim:bench")
        QString scheme;   // for Kind::Scheme
        QString argument; // for Kind::Scheme
        QString unknown;  // for Kind::None: an entry that names nothing this program knows
        bool isSimulated() const { return kind == Kind::Scheme && scheme == QLatin1String("sim"); }
        bool isNetwork() const
        {
            return kind == Kind::Scheme &&
                   (scheme == QLatin1String("rfc2217") || scheme == QLatin1String("socket"));
        }
    };

    // Knows the network ports from the start; other schemes are registered.
    PortDirectory();

    static PortDirectory &global();

    // A copy takes the entries, schemes and listing as they stand, with a lock of its own
    // (the settings dialog previews on one).
    PortDirectory(const PortDirectory &other);
    PortDirectory &operator=(const PortDirectory &) = delete;

    // Explicit entries, by COM name ("COM3"). Replaces every earlier entry.
    void setExplicit(const QMap<QString, QString> &entries);
    QMap<QString, QString> explicitEntries() const;
    void registerScheme(const QString &scheme, const Factory &factory);
    bool hasScheme(const QString &scheme) const;
    // What every COM name opens instead of its device ("sim", "sim:A"); empty for none.
    void setSimulated(const QString &target);
    QString simulated() const;

    // What a COM name (or the plain name "ComFile.txt") opens.
    Target resolve(const QString &name) const;
    // What the value of a [Devices] entry opens: a path, or a registered scheme ("sim:B").
    Target resolveEntry(const QString &value) const;
    // A new line object able to open the target; null for Kind::None.
    std::unique_ptr<SerialLine> createLine(const Target &target) const;

    // The serial ports the system lists, in the order of COM names: what the system knows of
    // each, and their devices alone.
    QList<PortInfo> listedPorts() const;
    QStringList systemPorts() const;
    // Tests and the benchmark stand in for the system's listing; an empty source restores it.
    void setPortSource(PortSource source);

    // For the operator, the target in one line: "/dev/ttyUSB0", "simulated module B", "no
    // device"; then, for a device the system lists, its other name (stable name or device)
    // and what is known of it.
    QStringList describe(const Target &target) const;
    // Whether the target is there to be opened, without blocking: a device that exists, a
    // network port whose host has accepted a connection (which the open then takes over).
    bool present(const Target &target) const;
    // What became of a target that went away: "device disconnected", "connection lost".
    static QString lossText(const Target &target);
    // The port as the log names it: "COM1 (/dev/ttyUSB0)", "COM1 (simulated A)", or "COM1"
    // when the name is the device itself.
    static QString portLabel(const QString &comName, const Target &target);
    // Why an open of comName failed, as one line for the log.
    static QString failureText(const QString &comName, const Target &target, LineError error,
                               const std::string &detail);

private:
    mutable std::mutex lock_;
    QMap<QString, QString> explicit_;
    QString simulated_;
    QMap<QString, Factory> schemes_;
    PortSource source_;
};
