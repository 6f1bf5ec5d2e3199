#include "app/PortSettings.h"

#include "app/Exception.h"

#include <QDir>

namespace {
const QString kPort = QStringLiteral("Port");
const QString kCom = QStringLiteral("COM");
const QString kBaud = QStringLiteral("Baud");
const QString kDevices = QStringLiteral("Devices");
} // namespace

QString PortSettings::FilePath()
{
    // An XDG variable that is not an absolute path is to be ignored.
    QString dir = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (dir.isEmpty() || !QDir::isAbsolutePath(dir))
        dir = QDir::homePath() + QStringLiteral("/.config");
    return QDir(dir).filePath(FileName());
}

PortSettings PortSettings::Read(const IniFile &ini)
{
    PortSettings s;
    s.PortIndex = ini.readInteger(kPort, kCom, DefaultPortIndex);
    if (s.PortIndex > 8 || s.PortIndex < 0)
        s.PortIndex = 1;
    s.BaudIndex = ini.readInteger(kPort, kBaud, DefaultBaudIndex);
    if (s.BaudIndex > 10 || s.BaudIndex < 0)
        s.BaudIndex = 3;
    s.Devices = ini.readSection(kDevices);
    return s;
}

void PortSettings::Write(IniFile &ini, int portIndex, int baudIndex,
                         const QMap<QString, QString> &devices)
{
    const auto failed = [] {
        return Exception(QStringLiteral("Unable to write to %1").arg(FileName()));
    };
    if (!ini.writeString(kPort, kCom, QString::number(portIndex)) ||
        !ini.writeString(kPort, kBaud, QString::number(baudIndex)))
        throw failed();
    for (auto it = devices.cbegin(); it != devices.cend(); ++it)
        if (!ini.writeString(kDevices, it.key(), it.value()))
            throw failed();
}
