#include "cli/DeviceList.h"

#include "serial/PortDirectory.h"

#include <QFileInfo>
#include <QJsonObject>

namespace {

// "FTDI (0403)": the maker's name with its USB number, as far as the system knows them.
QString withId(const QString &name, int id)
{
    if (id < 0)
        return name;
    const QString number = QStringLiteral("%1").arg(id, 4, 16, QLatin1Char('0'));
    return name.isEmpty() ? number : QStringLiteral("%1 (%2)").arg(name, number);
}

} // namespace

QList<SerialDevice> DeviceList::Find()
{
    const PortDirectory &directory = PortDirectory::global();
    // The COM names as the console resolves them ([Devices] entries first).
    QMap<QString, QString> comOf;
    for (int n = 21; n >= 1; --n) {
        const QString com = QStringLiteral("COM%1").arg(n);
        const PortDirectory::Target t = directory.resolve(com);
        if (t.kind == PortDirectory::Target::Kind::Device)
            comOf.insert(QFileInfo(t.device).canonicalFilePath(), com);
    }

    // The devices as the console's own list knows them: stable name, driver and maker.
    QList<SerialDevice> out;
    for (const PortInfo &p : directory.listedPorts()) {
        SerialDevice d;
        d.com = comOf.value(QFileInfo(p.device).canonicalFilePath());
        d.device = p.device;
        d.byId = p.stableName;
        d.driver = p.driver;
        d.vendor = withId(p.manufacturer, p.vendorId);
        d.product = withId(p.description, p.productId);
        d.serial = p.serialNumber;
        out.append(d);
    }
    return out;
}

QString DeviceList::Text(const QList<SerialDevice> &devices)
{
    if (devices.isEmpty())
        return QStringLiteral("No serial devices found.");
    QString text;
    for (const SerialDevice &d : devices) {
        text += QStringLiteral("%1 %2\n")
                    .arg(d.com.isEmpty() ? QStringLiteral("-") : d.com, -5)
                    .arg(d.device);
        const std::pair<const char *, QString> rows[] = {{"by-id", d.byId},
                                                         {"driver", d.driver},
                                                         {"vendor", d.vendor},
                                                         {"product", d.product},
                                                         {"serial", d.serial}};
        for (const auto &[label, value] : rows)
            if (!value.isEmpty())
                text += QStringLiteral("      %1 %2\n")
                            .arg(QLatin1String(label) + QLatin1Char(':'), -8)
                            .arg(value);
    }
    return text;
}

QJsonArray DeviceList::Json(const QList<SerialDevice> &devices)
{
    QJsonArray out;
    for (const SerialDevice &d : devices)
        out.append(QJsonObject{{QStringLiteral("com"), d.com},
                               {QStringLiteral("device"), d.device},
                               {QStringLiteral("byId"), d.byId},
                               {QStringLiteral("driver"), d.driver},
                               {QStringLiteral("vendor"), d.vendor},
                               {QStringLiteral("product"), d.product},
                               {QStringLiteral("serial"), d.serial}});
    return out;
}
