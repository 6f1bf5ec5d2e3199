#pragma once

// Keeps a test away from the machine: the settings file lives in a temporary folder
// (XDG_CONFIG_HOME, set before any window is built) and the system's serial port list is
// stood in for by an empty one, so a COM name opens only what the test maps in [Devices].

#include "serial/PortDirectory.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

class IsolatedSettings {
public:
    IsolatedSettings()
    {
        qputenv("XDG_CONFIG_HOME", dir_.path().toLocal8Bit());
        PortDirectory::global().setPortSource([] { return QList<PortInfo>(); });
    }
    ~IsolatedSettings()
    {
        PortDirectory::global().setExplicit({});
        PortDirectory::global().setSimulated({});
        PortDirectory::global().setPortSource({});
    }
    IsolatedSettings(const IsolatedSettings &) = delete;
    IsolatedSettings &operator=(const IsolatedSettings &) = delete;

    QString iniPath() const { return dir_.filePath(QStringLiteral("Quorvane.ini")); }
    bool write(const QByteArray &text) const
    {
        QFile f(iniPath());
        return f.open(QIODevice::WriteOnly) && f.write(text) == text.size();
    }
    QByteArray read() const
    {
        QFile f(iniPath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // No file at all, as on a first run.
    void remove() const
    {
        QFile::remove(iniPath());
        QDir(iniPath()).removeRecursively();
    }

private:
    QTemporaryDir dir_;
};
