#pragma once

// The program knows ports only as COM1 to COM21. PortDirectory says which device each name
// opens on this machine:
//   1. an explicit entry (the [Devices] section of the settings file): COM3=/dev/ttyUSB0, or
//      a registered scheme such as COM3=sim or COM3=sim:NAME for a simulated module;
//   2. otherwise, when the program runs without hardware (no USB or ACM adapter and no
//      entry at all), the fallback target: a simulated module;
//   3. otherwise the n-th port the system lists (USB and ACM adapters first, then the
//      others, each sorted by name);
//   4. otherwise nothing, and the open fails.
// It also words why an open failed, for the log.

#include "serial/SerialLine.h"

#include <QMap>
#include <QString>

#include <functional>
#include <memory>

class PortDirectory {
public:
    // Makes the line for a scheme target; the argument is what follows "scheme:" (may be
    // empty). The line's open() then receives the whole target text as its device.
    using Factory = std::function<std::unique_ptr<SerialLine>(const QString &argument)>;

    struct Target {
        enum class Kind { None, Device, Scheme } kind = Kind::None;
        QString device;      // the path, or the whole scheme text ("sim:bench")
        QString scheme;      // for Kind::Scheme
        QString argument;    // for Kind::Scheme
        QString description; // what the system says of the port, if anything
    };

    static PortDirectory &global();

    // Explicit entries, by COM name ("COM3"). Replaces every earlier entry.
    void setExplicit(const QMap<QString, QString> &entries);
    QMap<QString, QString> explicitEntries() const { return explicit_; }
    void registerScheme(const QString &scheme, const Factory &factory);
    // What every COM name without an entry opens ("sim"), in place of the system's list;
    // empty for none.
    // With overrideEntries, it is opened even for names that have an entry (the
    // two-console trial on one simulated air).
    void setFallback(const QString &target, bool overrideEntries = false)
    {
        fallback_ = target;
        fallbackOverrides_ = overrideEntries;
    }
    QString fallback() const { return fallback_; }
    // The listed ports that are USB or ACM adapters.
    QStringList adapters() const;
    bool hasScheme(const QString &scheme) const { return schemes_.contains(scheme); }

    // What a COM name (or the plain name "ComFile.txt") opens.
    Target resolve(const QString &name) const;
    // A new line object able to open the target; null for Kind::None.
    std::unique_ptr<SerialLine> createLine(const Target &target) const;

    // The serial ports the system lists, in the order used for COM names.
    QStringList systemPorts() const;
    // One line for the operator: "/dev/ttyUSB0 (FT232R USB UART)", "simulated module", or
    // "no device".
    QString describe(const QString &comName) const;
    // The port as the log names it: "COM1 (/dev/ttyUSB0)", or "COM1" when the name is the
    // device itself.
    static QString portLabel(const QString &comName, const Target &target);
    // Why an open of comName failed, as one line for the log.
    static QString failureText(const QString &comName, const Target &target, LineError error,
                               const std::string &detail);

    // Tests can pin the system list instead of asking the machine.
    void setSystemPortsForTesting(const QStringList *ports);

private:
    Target resolveEntry(const QString &value) const;

    QMap<QString, QString> explicit_;
    QString fallback_;
    bool fallbackOverrides_ = false;
    QMap<QString, Factory> schemes_;
    bool pinned_ = false;
    QStringList pinnedPorts_;
};
