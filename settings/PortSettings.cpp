#include "settings/PortSettings.h"

#include "settings/Exception.h"

#include <QDir>
#include <QFileInfo>

namespace {
const QString kPort = QStringLiteral("Port");
const QString kCom = QStringLiteral("COM");
const QString kBaud = QStringLiteral("Baud");
const QString kDevices = QStringLiteral("Devices");

QString &chosenPath()
{
    static QString path;
    return path;
}

} // namespace

void PortSettings::SetFilePath(const QString &path)
{
    chosenPath() = path;
}

QString PortSettings::FilePath()
{
    if (!chosenPath().isEmpty())
        return chosenPath();
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
    // The name of the file written, as the operator knows it: "Quorvane.ini", or the one
    // given with --settings.
    const auto failed = [&ini] {
        return Exception(
            QStringLiteral("Unable to write to %1").arg(QFileInfo(ini.path()).fileName()));
    };
    if (!ini.writeString(kPort, kCom, QString::number(portIndex)) ||
        !ini.writeString(kPort, kBaud, QString::number(baudIndex)))
        throw failed();
    for (auto it = devices.cbegin(); it != devices.cend(); ++it)
        if (!ini.writeString(kDevices, it.key(), it.value()))
            throw failed();
}

bool PortSettings::WriteBaud(IniFile &ini, int baudIndex)
{
    return ini.writeString(kPort, kBaud, QString::number(baudIndex));
}
