#include "serial/PortDirectory.h"

#include "serial/PosixLine.h"

#include <QCollator>
#include <QSerialPortInfo>

#include <algorithm>

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

bool isAdapter(const QString &portName)
{
    return portName.startsWith(QLatin1String("ttyUSB")) ||
           portName.startsWith(QLatin1String("ttyACM"));
}

} // namespace

PortDirectory &PortDirectory::global()
{
    static PortDirectory directory;
    return directory;
}

void PortDirectory::setExplicit(const QMap<QString, QString> &entries)
{
    explicit_.clear();
    for (auto it = entries.cbegin(); it != entries.cend(); ++it) {
        const int n = comNumber(it.key());
        const QString value = it.value().trimmed();
        if (n > 0 && !value.isEmpty())
            explicit_.insert(QStringLiteral("COM%1").arg(n), value);
    }
}

void PortDirectory::registerScheme(const QString &scheme, const Factory &factory)
{
    schemes_.insert(scheme, factory);
}

void PortDirectory::setSystemPortsForTesting(const QStringList *ports)
{
    pinned_ = ports != nullptr;
    pinnedPorts_ = ports ? *ports : QStringList();
}

QStringList PortDirectory::systemPorts() const
{
    if (pinned_)
        return pinnedPorts_;
    QStringList adapters, others;
    const auto infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : infos)
        (isAdapter(info.portName()) ? adapters : others) << info.systemLocation();
    QCollator byName;
    byName.setNumericMode(true);
    std::sort(adapters.begin(), adapters.end(), byName);
    std::sort(others.begin(), others.end(), byName);
    return adapters + others;
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
    if (fallbackOverrides_ && !fallback_.isEmpty())
        return resolveEntry(fallback_);
    const QString key = QStringLiteral("COM%1").arg(n);
    const auto found = explicit_.constFind(key);
    if (found != explicit_.cend())
        return resolveEntry(*found);
    if (!fallback_.isEmpty())
        return resolveEntry(fallback_);
    const QStringList listed = systemPorts();
    if (n - 1 < listed.size()) {
        t.kind = Target::Kind::Device;
        t.device = listed.at(n - 1);
        const QSerialPortInfo info(t.device);
        t.description = info.description();
        return t;
    }
    return t;
}

// An entry's value: a path, or a registered scheme ("sim", "sim:B").
PortDirectory::Target PortDirectory::resolveEntry(const QString &value) const
{
    Target t;
    const int colon = value.indexOf(QLatin1Char(':'));
    const QString scheme = colon < 0 ? value : value.left(colon);
    if (!value.startsWith(QLatin1Char('/')) && schemes_.contains(scheme)) {
        t.kind = Target::Kind::Scheme;
        t.scheme = scheme;
        t.argument = colon < 0 ? QString() : value.mid(colon + 1);
        t.device = value;
        return t;
    }
    if (!value.contains(QLatin1Char('/'))) {
        // A scheme this program does not know: nothing to open.
        t.description = value;
        return t;
    }
    t.kind = Target::Kind::Device;
    t.device = value;
    return t;
}

QStringList PortDirectory::adapters() const
{
    QStringList out;
    for (const QString &path : systemPorts())
        if (isAdapter(path.section(QLatin1Char('/'), -1)))
            out << path;
    return out;
}

std::unique_ptr<SerialLine> PortDirectory::createLine(const Target &target) const
{
    switch (target.kind) {
    case Target::Kind::Device:
        return std::make_unique<PosixLine>();
    case Target::Kind::Scheme: {
        const auto it = schemes_.constFind(target.scheme);
        return it != schemes_.cend() ? (*it)(target.argument) : nullptr;
    }
    case Target::Kind::None:
        break;
    }
    return nullptr;
}

QString PortDirectory::describe(const QString &comName) const
{
    const Target t = resolve(comName);
    switch (t.kind) {
    case Target::Kind::None:
        return QStringLiteral("no device");
    case Target::Kind::Scheme:
        if (t.scheme == QLatin1String("sim"))
            return t.argument.isEmpty()
                       ? QStringLiteral("simulated module")
                       : QStringLiteral("simulated module %1").arg(shown(t.argument));
        return shown(t.device);
    case Target::Kind::Device:
        return t.description.isEmpty()
                   ? shown(t.device)
                   : QStringLiteral("%1 (%2)").arg(shown(t.device), shown(t.description));
    }
    return {};
}

QString PortDirectory::portLabel(const QString &comName, const Target &target)
{
    return target.device.isEmpty() || target.device == comName
               ? comName
               : QStringLiteral("%1 (%2)").arg(comName, shown(target.device));
}

QString PortDirectory::failureText(const QString &comName, const Target &target, LineError error,
                                   const std::string &detail)
{
    if (target.kind == Target::Kind::None) {
        if (!target.description.isEmpty())
            return QStringLiteral("%1: \"%2\" names no device this program knows")
                .arg(comName, shown(target.description));
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
    case LineError::Io:
    case LineError::None:
        break;
    }
    return QStringLiteral("%1: %2").arg(where, why.isEmpty() ? QStringLiteral("failed") : why);
}
