#include "settings/ModuleProfile.h"

#include "settings/IniFile.h"

#include <QFileInfo>

#include <algorithm>
#include <iterator>
#include <utility>

namespace {

// A choice in the operator's words: the first spelling is the one written, every spelling is
// read (the window's own captions included).
struct Words {
    QStringList spellings;
};
const QList<Words> kPowers = {{{QStringLiteral("0 dBm")}},
                              {{QStringLiteral("-5 dBm")}},
                              {{QStringLiteral("-10 dBm")}},
                              {{QStringLiteral("-20 dBm")}}};
const QList<Words> kRates = {
    {{QStringLiteral("250 kbps"), QStringLiteral("250Kbs"), QStringLiteral("250 kbit/s")}},
    {{QStringLiteral("1 Mbps"), QStringLiteral("1Mbs"), QStringLiteral("1 Mbit/s")}}};
const QList<Words> kCrcs = {{{QStringLiteral("8 bits")}}, {{QStringLiteral("16 bits")}}};
const QList<Words> kSwitches = {{{QStringLiteral("Off")}}, {{QStringLiteral("On")}}};

QString squeezed(const QString &text)
{
    QString s = text.toLower();
    s.remove(QLatin1Char(' '));
    s.remove(QLatin1Char('\t'));
    return s;
}

QString wordOf(const QList<Words> &words, int index)
{
    return index >= 0 && index < words.size() ? words.at(index).spellings.first() : QString();
}

int indexOf(const QList<Words> &words, const QString &text)
{
    const QString s = squeezed(text);
    for (int i = 0; i < words.size(); ++i)
        for (const QString &spelling : words.at(i).spellings)
            if (squeezed(spelling) == s)
                return i;
    return -1;
}

bool takeWord(const QList<Words> &words, const QString &text, int &index)
{
    const int i = indexOf(words, text);
    if (i >= 0)
        index = i;
    return i >= 0;
}

bool takeSwitch(const QString &text, bool &on)
{
    int i = 0;
    if (!takeWord(kSwitches, text, i))
        return false;
    on = i != 0;
    return true;
}

bool takeInt(const QString &text, int low, int high, int &value)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok, 10);
    if (!ok || v < low || v > high)
        return false;
    value = v;
    return true;
}

bool takeAddress(const QString &text, QString &address)
{
    const QString t = text.trimmed();
    if (t.size() != 10)
        return false;
    for (const QChar c : t)
        if (!((c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
              (c.toLower() >= QLatin1Char('a') && c.toLower() <= QLatin1Char('f'))))
            return false;
    address = t.toUpper();
    return true;
}

// One key: how it shows a configuration's value, how it takes a text into one, what it
// allows, and whether the dump reports it.
struct Rule {
    const char *key;
    const char *allowed;
    bool number;
    bool inDump;
    QString (*show)(const ModuleConfig &);
    bool (*take)(const QString &, ModuleConfig &);
};

const Rule kRules[] = {
    {"Channel", "0 to 127", true, true,
     [](const ModuleConfig &c) { return QString::number(c.channel); },
     [](const QString &t, ModuleConfig &c) { return takeInt(t, 0, 127, c.channel); }},
    {"Power", "0 dBm, -5 dBm, -10 dBm or -20 dBm", false, true,
     [](const ModuleConfig &c) { return wordOf(kPowers, c.powerIndex); },
     [](const QString &t, ModuleConfig &c) { return takeWord(kPowers, t, c.powerIndex); }},
    {"DataRate", "250 kbps or 1 Mbps", false, true,
     [](const ModuleConfig &c) { return wordOf(kRates, c.rateIndex); },
     [](const QString &t, ModuleConfig &c) { return takeWord(kRates, t, c.rateIndex); }},
    {"AddressWidth", "1 to 5", true, true,
     [](const ModuleConfig &c) { return QString::number(c.addressWidth); },
     [](const QString &t, ModuleConfig &c) { return takeInt(t, 1, 5, c.addressWidth); }},
    {"Address1", "ten hexadecimal digits", false, true,
     [](const ModuleConfig &c) { return c.address1; },
     [](const QString &t, ModuleConfig &c) { return takeAddress(t, c.address1); }},
    {"Address2", "ten hexadecimal digits", false, true,
     [](const ModuleConfig &c) { return c.address2; },
     [](const QString &t, ModuleConfig &c) { return takeAddress(t, c.address2); }},
    {"Data1RX", "0 to 31", true, true,
     [](const ModuleConfig &c) { return QString::number(c.dataW1); },
     [](const QString &t, ModuleConfig &c) { return takeInt(t, 0, 31, c.dataW1); }},
    {"Data2RX", "0 to 31", true, true,
     [](const ModuleConfig &c) { return QString::number(c.dataW2); },
     [](const QString &t, ModuleConfig &c) { return takeInt(t, 0, 31, c.dataW2); }},
    {"Data1TX", "0 to 31", true, true,
     [](const ModuleConfig &c) { return QString::number(c.dataW1TX); },
     [](const QString &t, ModuleConfig &c) { return takeInt(t, 0, 31, c.dataW1TX); }},
    {"Data2TX", "0 to 31", true, true,
     [](const ModuleConfig &c) { return QString::number(c.dataW2TX); },
     [](const QString &t, ModuleConfig &c) { return takeInt(t, 0, 31, c.dataW2TX); }},
    // The dump carries none of these three: the console cannot tell what the module holds.
    {"CRC", "8 bits or 16 bits", false, false,
     [](const ModuleConfig &c) { return wordOf(kCrcs, c.crcIndex); },
     [](const QString &t, ModuleConfig &c) { return takeWord(kCrcs, t, c.crcIndex); }},
    {"ShockBurst", "On or Off", false, false,
     [](const ModuleConfig &c) { return wordOf(kSwitches, int(c.shockBurst)); },
     [](const QString &t, ModuleConfig &c) { return takeSwitch(t, c.shockBurst); }},
    {"DualChannel", "On or Off", false, false,
     [](const ModuleConfig &c) { return wordOf(kSwitches, int(c.dualChannel)); },
     [](const QString &t, ModuleConfig &c) { return takeSwitch(t, c.dualChannel); }},
};

// The configuration as a load of its own profile would take it.
ModuleProfile::Loaded reread(const ModuleConfig &config)
{
    QMap<QString, QString> keys;
    for (const ModuleProfile::Field &f : ModuleProfile::Fields(config))
        keys.insert(f.key, f.value);
    return ModuleProfile::FromSection(keys);
}

QString refusal(const Rule &r, const QString *value)
{
    const QString what =
        value ? QStringLiteral("\"%1\" is not allowed").arg(*value) : QStringLiteral("missing");
    return QStringLiteral("%1: %2; allowed: %3")
        .arg(QLatin1String(r.key), what, QLatin1String(r.allowed));
}

} // namespace

QList<ModuleProfile::Field> ModuleProfile::Fields(const ModuleConfig &config)
{
    QList<Field> out;
    for (const Rule &r : kRules)
        out.append({QLatin1String(r.key), r.show(config), r.number});
    return out;
}

QString ModuleProfile::Text(const ModuleConfig &config)
{
    QString text = QLatin1Char('[') + Section() + QStringLiteral("]\n");
    for (const Field &f : Fields(config))
        text += f.key + QLatin1Char('=') + f.value + QLatin1Char('\n');
    return text;
}

ModuleProfile::Loaded ModuleProfile::FromSection(const QMap<QString, QString> &keys)
{
    Loaded loaded;
    QMap<QString, QString> byName; // squeezed name -> value
    for (auto it = keys.cbegin(); it != keys.cend(); ++it) {
        const QString name = squeezed(it.key());
        const bool known = std::any_of(std::begin(kRules), std::end(kRules), [&](const Rule &r) {
            return squeezed(QLatin1String(r.key)) == name;
        });
        if (known)
            byName.insert(name, it.value());
        else
            loaded.unknownKeys << it.key();
    }
    for (const Rule &r : kRules) {
        const auto found = byName.constFind(squeezed(QLatin1String(r.key)));
        if (found == byName.cend() || !r.take(*found, loaded.config)) {
            loaded.error = refusal(r, found == byName.cend() ? nullptr : &*found);
            return loaded;
        }
    }
    loaded.ok = true;
    return loaded;
}

ModuleProfile::Loaded ModuleProfile::Load(const QString &path)
{
    Loaded loaded;
    if (!QFileInfo(path).isFile()) {
        loaded.error = QStringLiteral("%1: no such file").arg(path);
        return loaded;
    }
    const IniFile ini(path);
    if (!ini.errorString().isEmpty()) {
        loaded.error = ini.errorString();
        return loaded;
    }
    const QMap<QString, QString> keys = ini.readSection(Section());
    if (keys.isEmpty()) {
        loaded.error = QStringLiteral("%1: no [%2] section").arg(path, Section());
        return loaded;
    }
    return FromSection(keys);
}

QString ModuleProfile::Check(const ModuleConfig &config)
{
    return reread(config).error;
}

QString ModuleProfile::Save(const QString &path, const ModuleConfig &config)
{
    // Written as a load would take it (upper-case address digits), or not at all: a profile
    // that could not be loaded again is no profile.
    const Loaded taken = reread(config);
    if (!taken.ok)
        return taken.error;
    QList<std::pair<QString, QString>> entries;
    for (const Field &f : Fields(taken.config))
        entries.append({f.key, f.value});
    IniFile ini(path);
    if (!ini.writeStrings(Section(), entries))
        return QStringLiteral("Unable to write to %1: %2").arg(path, ini.errorString());
    return {};
}

QList<ModuleProfile::Difference> ModuleProfile::Differences(const ModuleConfig &wanted,
                                                            const ModuleConfig &found)
{
    QList<Difference> out;
    for (const Rule &r : kRules) {
        const QString a = r.show(wanted), b = r.show(found);
        if (r.inDump && a != b)
            out.append({QLatin1String(r.key), a, b});
    }
    return out;
}
