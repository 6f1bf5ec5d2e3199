#pragma once

// The port and the speed the program remembers between runs, in "Quorvane.ini":
//
//   [Port]
//   COM=2          ; PortIndex, 0 = COM1
//   Baud=2         ; BaudIndex, 0 = 9600 ... 4 = 115200
//   [Devices]
//   COM3=/dev/ttyUSB0   ; which device a COM name opens (also sim, sim:NAME; empty: none)
//
// The file lives in the user's configuration folder ($XDG_CONFIG_HOME, else ~/.config):
// one fixed place, whatever the working directory.

#include "settings/IniFile.h"

#include <QMap>
#include <QString>

struct PortSettings {
    static constexpr int DefaultPortIndex = 0;
    static constexpr int DefaultBaudIndex = 9;

    int PortIndex = DefaultPortIndex;
    int BaudIndex = DefaultBaudIndex;
    QMap<QString, QString> Devices;

    static QString FileName() { return QStringLiteral("Quorvane.ini"); }
    // The file in the configuration folder, or the one set for this run (--settings FILE).
    static QString FilePath();
    // An empty path sets the file in the configuration folder again.
    static void SetFilePath(const QString &path);

    // The reading rules: a missing key or one that is no integer gives the default (0 and
    // 9); "COM" keeps 0 to 8 and turns anything else into 1; "Baud" keeps 0 to 10 and turns
    // anything else into 3. Values that name no port or speed pass as they are.
    static PortSettings Read(const IniFile &ini);

    // Writes "COM" and then "Baud" as decimal integers, then the given [Devices] entries,
    // each at once. The first write that fails raises Exception "Unable to write to
    // Quorvane.ini" (or the name of the file given for this run); the rest is then not tried.
    static void Write(IniFile &ini, int portIndex, int baudIndex,
                      const QMap<QString, QString> &devices = {});
    // Writes "Baud" alone (quorvane-cli's speed on the console's own port): every other
    // section, key and comment stays. False, with the reason in ini.errorString(), when the
    // file could not be written.
    static bool WriteBaud(IniFile &ini, int baudIndex);
};
