#include "serial/PortDirectory.h"

#include "serial/NetLine.h"
#include "serial/PosixLine.h"

#include <QFileInfo>

namespace {

// "COM3" -> 3; 0 when the text is no COM name.
int comNumber(const QString &name)
{
    if (!name.startsWith(QLatin1String("COM"), Qt::CaseInsensitive))
        return 0;
    bool ok = false;
    const int n = name.mid(3).toInt(&ok);
    return ok && n > 0 ? n : 0;
}

// A device text as the operator is shown it, in the log and beside the port list. The
// settings file may hold a value of any length, and a pane lays out one long line in time that
// grows with the square of its length: a megabyte froze the window for minutes. No device has
// a name that long (a path ends at 4096 bytes), so the middle of an over-long text gives way.
QString shown(const QString &text)
{
    constexpr qsizetype kLongest = 200;
    if (text.size() <= kLongest)
        return text;
    const qsizetype keep = (kLongest - 3) / 2;
    return text.left(keep) + QStringLiteral("...") + text.right(keep);
}

} // namespace

PortDirectory::PortDirectory()
{
    const Factory network = [](const QString &) { return std::make_unique<NetLine>(); };
    registerScheme(QStringLiteral("rfc2217"), network);
    registerScheme(QStringLiteral("socket"), network);
}

PortDirectory &PortDirectory::global()
{
    static PortDirectory directory;
    return directory;
}

PortDirectory::PortDirectory(const PortDirectory &other)
{
    std::lock_guard<std::mutex> lk(other.lock_);
    explicit_ = other.explicit_;
    simulated_ = other.simulated_;
    schemes_ = other.schemes_;
    source_ = other.source_;
}

void PortDirectory::setExplicit(const QMap<QString, QString> &entries)
{
    QMap<QString, QString> taken;
    for (auto it = entries.cbegin(); it != entries.cend(); ++it) {
        const int n = comNumber(it.key());
        const QString value = it.value().trimmed();
        if (n > 0 && !value.isEmpty())
            taken.insert(QStringLiteral("COM%1").arg(n), value);
    }
    std::lock_guard<std::mutex> lk(lock_);
    explicit_ = taken;
}

QMap<QString, QString> PortDirectory::explicitEntries() const
{
    std::lock_guard<std::mutex> lk(lock_);
    return explicit_;
}

void PortDirectory::registerScheme(const QString &scheme, const Factory &factory)
{
    std::lock_guard<std::mutex> lk(lock_);
    schemes_.insert(scheme, factory);
}

bool PortDirectory::hasScheme(const QString &scheme) const
{
    std::lock_guard<std::mutex> lk(lock_);
    return schemes_.contains(scheme);
}

void PortDirectory::setSimulated(const QString &target)
{
    std::lock_guard<std::mutex> lk(lock_);
    simulated_ = target;
}

QString PortDirectory::simulated() const
{
    std::lock_guard<std::mutex> lk(lock_);
    return simulated_;
}

void PortDirectory::setPortSource(PortSource source)
{
    std::lock_guard<std::mutex> lk(lock_);
    source_ = std::move(source);
}

QList<PortInfo> PortDirectory::listedPorts() const
{
    PortSource source;
    {
        std::lock_guard<std::mutex> lk(lock_);
        source = source_;
    }
    // The system is asked without the lock: a listing takes a while.
    QList<PortInfo> ports = source ? source() : PortInfo::systemPorts();
    PortInfo::sortForComNames(ports);
    return ports;
}

QStringList PortDirectory::systemPorts() const
{
    QStringList devices;
    for (const PortInfo &p : listedPorts())
        devices << p.device;
    return devices;
}

PortDirectory::Target PortDirectory::resolve(const QString &name) const
{
    Target t;
    const int n = comNumber(name);
    if (n == 0) {
        // A plain name ("ComFile.txt") is opened as it stands; the open refuses anything
        // that is not a serial device.
        t.kind = Target::Kind::Device;
        t.device = name;
        return t;
    }
    QString entry;
    {
        std::lock_guard<std::mutex> lk(lock_);
        entry =
            !simulated_.isEmpty() ? simulated_ : explicit_.value(QStringLiteral("COM%1").arg(n));
    }
    if (!entry.isEmpty())
        return resolveEntry(entry);
    const QStringList listed = systemPorts();
    if (n - 1 < listed.size()) {
        t.kind = Target::Kind::Device;
        t.device = listed.at(n - 1);
    }
    return t;
}

PortDirectory::Target PortDirectory::resolveEntry(const QString &value) const
{
    Target t;
    const int colon = value.indexOf(QLatin1Char(':'));
    const QString scheme = colon < 0 ? value : value.left(colon);
    if (!value.startsWith(QLatin1Char('/')) && hasScheme(scheme)) {
        t.kind = Target::Kind::Scheme;
        t.scheme = scheme;
        t.argument = colon < 0 ? QString() : value.mid(colon + 1);
        t.device = value;
        return t;
    }
    if (!value.contains(QLatin1Char('/'))) {
        // A scheme this program does not know: nothing to open.
        t.unknown = value;
        return t;
    }
    t.kind = Target::Kind::Device;
    t.device = value;
    return t;
}

std::unique_ptr<SerialLine> PortDirectory::createLine(const Target &target) const
{
    switch (target.kind) {
    case Target::Kind::Device:
        return std::make_unique<PosixLine>();
    case Target::Kind::Scheme: {
        Factory factory;
        {
            std::lock_guard<std::mutex> lk(lock_);
            factory = schemes_.value(target.scheme);
        }
        return factory ? factory(target.argument) : nullptr;
    }
    case Target::Kind::None:
        break;
    }
    return nullptr;
}

QStringList PortDirectory::describe(const Target &target) const
{
    switch (target.kind) {
    case Target::Kind::None:
        return {QStringLiteral("no device")};
    case Target::Kind::Scheme:
        if (target.isSimulated())
            return {target.argument.isEmpty()
                        ? QStringLiteral("simulated module")
                        : QStringLiteral("simulated module %1").arg(shown(target.argument))};
        return {shown(target.device)};
    case Target::Kind::Device:
        break;
    }
    QStringList lines{shown(target.device)};
    // The system lists a device by its own name; an entry may name it by its stable name or
    // by another link to it.
    const QString canonical = QFileInfo(target.device).canonicalFilePath();
    for (const PortInfo &p : listedPorts()) {
        if (p.device != target.device && p.stableName != target.device && p.device != canonical)
            continue;
        const QString other = p.device != target.device ? p.device : p.stableName;
        if (!other.isEmpty())
            lines << shown(other);
        if (!p.details().isEmpty())
            lines << shown(p.details());
        break;
    }
    return lines;
}

bool PortDirectory::present(const Target &target) const
{
    switch (target.kind) {
    case Target::Kind::Device:
        return QFileInfo::exists(target.device);
    case Target::Kind::Scheme:
        return !target.isNetwork() || NetLine::reachable(target.device.toStdString());
    case Target::Kind::None:
        break;
    }
    return false;
}

QString PortDirectory::lossText(const Target &target)
{
    return target.isNetwork() ? QStringLiteral("connection lost")
                              : QStringLiteral("device disconnected");
}

QString PortDirectory::portLabel(const QString &comName, const Target &target)
{
    // A port opened by its device's own text ("sim:A", a path) needs no second name.
    if (target.device == comName)
        return comName;
    if (target.isSimulated())
        return target.argument.isEmpty()
                   ? QStringLiteral("%1 (simulated)").arg(comName)
                   : QStringLiteral("%1 (simulated %2)").arg(comName, shown(target.argument));
    return target.device.isEmpty() || target.device == comName
               ? comName
               : QStringLiteral("%1 (%2)").arg(comName, shown(target.device));
}

QString PortDirectory::failureText(const QString &comName, const Target &target, LineError error,
                                   const std::string &detail)
{
    if (target.kind == Target::Kind::None) {
        if (!target.unknown.isEmpty())
            return QStringLiteral("%1: \"%2\" names no device this program knows")
                .arg(comName, shown(target.unknown));
        return QStringLiteral("%1: no serial device for this port").arg(comName);
    }
    const QString where = portLabel(comName, target);
    const QString why = QString::fromLocal8Bit(detail.c_str());
    switch (error) {
    case LineError::NoDevice:
        return QStringLiteral("%1: no such device").arg(where);
    case LineError::Busy:
        return QStringLiteral("%1: busy, another program holds it").arg(where);
    case LineError::PermissionDenied:
        return QStringLiteral("%1: permission denied; join the dialout group "
                              "(sudo usermod -aG dialout $USER) and log in again")
            .arg(where);
    case LineError::NotATty:
        return QStringLiteral("%1: not a serial device").arg(where);
    case LineError::SettingsRefused:
        return QStringLiteral("%1: the driver refused the line settings (%2)").arg(where, why);
    case LineError::Refused:
    case LineError::Unreachable:
    case LineError::NoAnswer:
    case LineError::Io:
    case LineError::None:
        break;
    }
    return QStringLiteral("%1: %2").arg(where, why.isEmpty() ? QStringLiteral("failed") : why);
}
