#pragma once

// A module profile: one radio configuration in a small INI file, read and written by the same
// code as the settings file, with one key per setting and the values in the operator's words:
//
//   [Module]
//   Channel=2                ; 0 to 127
//   Power=0 dBm              ; 0 dBm, -5 dBm, -10 dBm, -20 dBm
//   DataRate=1 Mbps          ; 250 kbps, 1 Mbps
//   AddressWidth=5           ; bytes, 1 to 5
//   Address1=E7E7E7E7E7      ; ten hexadecimal digits, first byte first
//   Address2=C2C2C2C2C2
//   Data1RX=25               ; payload widths in bytes, 0 to 31
//   Data2RX=0
//   Data1TX=25
//   Data2TX=0
//   CRC=16 bits              ; 8 bits, 16 bits
//   ShockBurst=On            ; On, Off
//   DualChannel=Off
//
// Every key is needed, and a profile with one bad value is refused whole, with a message that
// names the key, the value and what is allowed; keys it does not know are named and ignored.
// Names and words match without regard to case or blanks. The ranges are what the module
// can hold, so every profile can be written as it stands.

#include "module/ModuleConfig.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

class ModuleProfile {
public:
    static QString Section() { return QStringLiteral("Module"); }

    // One key with its value in the operator's words; number: the value is an integer.
    struct Field {
        QString key;
        QString value;
        bool number;
    };
    // Every key of the configuration, in the order a profile lists them.
    static QList<Field> Fields(const ModuleConfig &config);
    // The profile's text: "[Module]" and a line per key.
    static QString Text(const ModuleConfig &config);

    struct Loaded {
        bool ok = false;
        ModuleConfig config;
        QString error; // why it was refused: the file, or the first bad key
        QStringList unknownKeys;
    };
    static Loaded Load(const QString &path);
    // The keys of a [Module] section, as Load takes them.
    static Loaded FromSection(const QMap<QString, QString> &keys);

    // Why the configuration cannot be saved as a profile (its first bad key, worded as a
    // load would word it), or empty.
    static QString Check(const ModuleConfig &config);
    // Writes every key into the file's [Module] section at once; the file's other lines stay.
    // Empty, or why nothing was written.
    static QString Save(const QString &path, const ModuleConfig &config);

    // The keys the configuration dump reports whose values differ.
    struct Difference {
        QString key, wanted, found;
    };
    static QList<Difference> Differences(const ModuleConfig &wanted, const ModuleConfig &found);
};
