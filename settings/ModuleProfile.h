#pragma once

// A module profile: one radio configuration in a small INI file, read and written by the same
// code as the settings file, with one key per setting the module can be given and the values
// in the operator's words:
//
//   [Module]
//   ; Channel 0 to 127; Power 0 dBm, -5 dBm, -10 dBm or -20 dBm; DataRate 250 kbps or 1 Mbps
//   Channel=2
//   Power=0 dBm
//   DataRate=1 Mbps
//   ; bytes, 1 to 5; then ten hexadecimal digits, first byte first
//   AddressWidth=5
//   Address1=E7E7E7E7E7
//   ; payload widths in bytes, 0 to 31
//   Data1RX=25
//   Data2RX=0
//   Data1TX=25
//   Data2TX=0
//
// Every one of these keys is needed, and a profile with one bad value is refused whole, with a
// message that names the key, the value and what is allowed; keys it does not know are named
// and ignored. Names and words match without regard to case or blanks. The ranges are what the
// module can hold, so every profile can be written as it stands.
//
// No command writes the rest of what the Settings frame shows, so a profile never holds it
// and nothing can pass for having set it. Profiles of earlier versions carried these keys
// and still load: CRC, ShockBurst and DualChannel only with the values every module reports
// (16 bits, On, Off), any other value is refused; Address2, which the module reports but
// cannot be given, is kept as an expectation that a comparison with the module checks.

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
    // Every key a profile holds, in the order it lists them.
    static QList<Field> Fields(const ModuleConfig &config);
    // The profile's text: "[Module]" and a line per key.
    static QString Text(const ModuleConfig &config);

    struct Loaded {
        bool ok = false;
        // address2 empty when the profile names none; CRC and the two switches always hold
        // what every module reports.
        ModuleConfig config;
        QString error; // why it was refused: the file, or the first bad key
        QStringList unknownKeys;
    };
    static Loaded Load(const QString &path);
    // The keys of a [Module] section, as Load takes them.
    static Loaded FromSection(const QMap<QString, QString> &keys);

    // Why the configuration cannot be saved as a profile (its first bad key, worded as a
    // load would word it, or a setting no command writes that differs from what every module
    // reports), or empty.
    static QString Check(const ModuleConfig &config);
    // Writes every key into the file's [Module] section at once and drops the keys a profile
    // no longer holds; the file's other lines stay. Empty, or why nothing was written.
    static QString Save(const QString &path, const ModuleConfig &config);

    // The keys whose values differ between a profile and what the module reported: every key
    // a profile holds, and Address2 when the profile names one (note: why writing cannot
    // mend it).
    struct Difference {
        QString key, wanted, found, note;
    };
    static QList<Difference> Differences(const ModuleConfig &wanted, const ModuleConfig &found);
};
