#include "serial/PortInfo.h"

#include <QCollator>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSerialPortInfo>
#include <QStringList>

#include <algorithm>

namespace {

// udev keeps a link per serial device with its maker, model and serial number in the name:
// the one name of an adapter that stays the same whichever socket or order it is plugged in.
QHash<QString, QString> stableNames()
{
    QHash<QString, QString> byDevice;
    const QDir byId(QStringLiteral("/dev/serial/by-id"));
    const QFileInfoList links = byId.entryInfoList(QDir::System | QDir::Files, QDir::Name);
    for (const QFileInfo &link : links) {
        const QString target = link.canonicalFilePath();
        if (!target.isEmpty() && !byDevice.contains(target))
            byDevice.insert(target, link.absoluteFilePath());
    }
    return byDevice;
}

// The kernel driver that owns the tty: it tells an on-board UART from an adapter where the
// system knows no maker or model.
QString driverOf(const QString &portName)
{
    const QFileInfo link(QStringLiteral("/sys/class/tty/%1/device/driver").arg(portName));
    const QString target = link.canonicalFilePath();
    return target.isEmpty() ? QString() : QFileInfo(target).fileName();
}

QString hex4(int v)
{
    return QStringLiteral("%1").arg(v, 4, 16, QLatin1Char('0'));
}

} // namespace

bool PortInfo::isAdapter() const
{
    const QString name = QFileInfo(device).fileName();
    return vendorId >= 0 || name.startsWith(QLatin1String("ttyUSB")) ||
           name.startsWith(QLatin1String("ttyACM"));
}

QString PortInfo::details() const
{
    QStringList parts;
    for (const QString &s : {description, manufacturer})
        if (!s.isEmpty() && !parts.contains(s))
            parts << s;
    if (vendorId >= 0 && productId >= 0)
        parts << hex4(vendorId) + QLatin1Char(':') + hex4(productId);
    if (!serialNumber.isEmpty())
        parts << QStringLiteral("serial ") + serialNumber;
    if (!driver.isEmpty())
        parts << QStringLiteral("driver ") + driver;
    return parts.join(QStringLiteral(", "));
}

QList<PortInfo> PortInfo::systemPorts()
{
    const QHash<QString, QString> stable = stableNames();
    QList<PortInfo> out;
    const auto infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &i : infos) {
        PortInfo p;
        p.device = i.systemLocation();
        p.stableName = stable.value(QFileInfo(p.device).canonicalFilePath());
        p.description = i.description();
        p.manufacturer = i.manufacturer();
        p.serialNumber = i.serialNumber();
        p.driver = driverOf(i.portName());
        if (i.hasVendorIdentifier() && i.hasProductIdentifier()) {
            p.vendorId = i.vendorIdentifier();
            p.productId = i.productIdentifier();
        }
        out << p;
    }
    return out;
}

void PortInfo::sortForComNames(QList<PortInfo> &ports)
{
    QCollator byName;
    byName.setNumericMode(true);
    std::stable_sort(ports.begin(), ports.end(), [&byName](const PortInfo &a, const PortInfo &b) {
        if (a.isAdapter() != b.isAdapter())
            return a.isAdapter();
        return byName.compare(a.device, b.device) < 0;
    });
}
