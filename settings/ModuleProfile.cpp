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

// What a key is to the module: a setting a command writes; one the dump reports but no
// command writes (Address2); or one neither carries, which every dump shows at one value.
enum class Kind { Written, Reported, Fixed };

// One key: how it shows a configuration's value, how it takes a text into one, what it
// allows, and what it is to the module.
struct Rule {
    const char *key;
    const char *allowed;
    bool number;
    Kind kind;
    QString (*show)(const ModuleConfig &);
    bool (*take)(const QString &, ModuleConfig &);
};

const Rule kRules[] = {
    {"Channel", "0 to 127", true, Kind::Written,
     [](const ModuleConfig &c) { return QString::number(c.channel); },
     [](const QString &t, ModuleConfig &c) { return takeInt(t, 0, 127, c.channel); }},
    {"Power", "0 dBm, -5 dBm, -10 dBm or -20 dBm", false, Kind::Written,
     [](const ModuleConfig &c) { return wordOf(kPowers, c.powerIndex); },
     [](const QString &t, ModuleConfig &c) { return takeWord(kPowers, t, c.powerIndex); }},
    {"DataRate", "250 kbps or 1 Mbps", false, Kind::Written,
     [](const ModuleConfig &c) { return wordOf(kRates, c.rateIndex); },
     [](const QString &t, ModuleConfig &c) { return takeWord(kRates, t, c.rateIndex); }},
    {"AddressWidth", "1 to 5", true, Kind::Written,
     [](const ModuleConfig &c) { return QString::number(c.addressWidth); },
     [](const QString &t, ModuleConfig &c) { return takeInt(t, 1, 5, c.addressWidth); }},
    {"Address1", "ten hexadecimal digits", false, Kind::Written,
     [](const ModuleConfig &c) { return c.address1; },
     [](const QString &t, ModuleConfig &c) { return takeAddress(t, c.address1); }},
    {"Address2", "ten hexadecimal digits", false, Kind::Reported,
     [](const ModuleConfig &c) { return c.address2; },
     [](const QString &t, ModuleConfig &c) { return takeAddress(t, c.address2); }},
    {"Data1RX", "0 to 31", true, Kind::Written,
     [](const ModuleConfig &c) { return QString::number(c.dataW1); },
     [](const QString &t, ModuleConfig &c) { return takeInt(t, 0, 31, c.dataW1); }},
    {"Data2RX", "0 to 31", true, Kind::Written,
     [](const ModuleConfig &c) { return QString::number(c.dataW2); },
     [](const QString &t, ModuleConfig &c) { return takeInt(t, 0, 31, c.dataW2); }},
    {"Data1TX", "0 to 31", true, Kind::Written,
     [](const ModuleConfig &c) { return QString::number(c.dataW1TX); },
     [](const QString &t, ModuleConfig &c) { return takeInt(t, 0, 31, c.dataW1TX); }},
    {"Data2TX", "0 to 31", true, Kind::Written,
     [](const ModuleConfig &c) { return QString::number(c.dataW2TX); },
     [](const QString &t, ModuleConfig &c) { return takeInt(t, 0, 31, c.dataW2TX); }},
    // The dump carries none of these three, and every dump is shown with one value of each.
    {"CRC", "16 bits", false, Kind::Fixed,
     [](const ModuleConfig &c) { return wordOf(kCrcs, c.crcIndex); },
     [](const QString &t, ModuleConfig &c) { return takeWord(kCrcs, t, c.crcIndex); }},
    {"ShockBurst", "On", false, Kind::Fixed,
     [](const ModuleConfig &c) { return wordOf(kSwitches, int(c.shockBurst)); },
     [](const QString &t, ModuleConfig &c) { return takeSwitch(t, c.shockBurst); }},
    {"DualChannel", "Off", false, Kind::Fixed,
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

// What every module reports for a key no command writes.
QString reported(const Rule &r)
{
    return r.show(ModuleConfig());
}

// A value no command can give the module: a profile holding it could pass a comparison for
// a setting that was never made.
QString notWritable(const Rule &r, const QString &value)
{
    return QStringLiteral("%1: \"%2\" cannot be given to the module: no command writes it, and "
                          "every module reports %3")
        .arg(QLatin1String(r.key), value, reported(r));
}

// Takes a key no command writes into config: Address2 as it stands, the others only with the
// value every module reports. Empty, or why the profile is refused.
QString takeUnwritten(const Rule &r, const QString &value, ModuleConfig &config)
{
    ModuleConfig taken = config;
    const bool ok = r.take(value, taken);
    if (r.kind == Kind::Fixed && (!ok || r.show(taken) != reported(r)))
        return notWritable(r, value.trimmed());
    if (!ok)
        return refusal(r, &value);
    config = taken;
    return {};
}

} // namespace

QList<ModuleProfile::Field> ModuleProfile::Fields(const ModuleConfig &config)
{
    QList<Field> out;
    for (const Rule &r : kRules)
        if (r.kind == Kind::Written)
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
        if (r.kind != Kind::Written) {
            if (found != byName.cend())
                loaded.error = takeUnwritten(r, *found, loaded.config);
        } else if (found == byName.cend() || !r.take(*found, loaded.config)) {
            loaded.error = refusal(r, found == byName.cend() ? nullptr : &*found);
        }
        if (!loaded.error.isEmpty())
            return loaded;
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
    QString error = reread(config).error;
    if (!error.isEmpty())
        return error;
    for (const Rule &r : kRules)
        if (r.kind == Kind::Fixed && r.show(config) != reported(r))
            return notWritable(r, r.show(config));
    return {};
}

QString ModuleProfile::Save(const QString &path, const ModuleConfig &config)
{
    // Written as a load would take it (upper-case address digits), or not at all: a profile
    // that could not be loaded again is no profile.
    if (QString error = Check(config); !error.isEmpty())
        return error;
    const Loaded taken = reread(config);
    QList<std::pair<QString, QString>> entries;
    for (const Field &f : Fields(taken.config))
        entries.append({f.key, f.value});
    // Saved over a profile of an earlier version, none of its keys that no command writes
    // may stay behind as if this profile held them.
    for (const Rule &r : kRules)
        if (r.kind != Kind::Written)
            entries.append({QLatin1String(r.key), QString()});
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
        if (r.kind == Kind::Written && a != b)
            out.append({QLatin1String(r.key), a, b, {}});
        else if (r.kind == Kind::Reported && !a.isEmpty() && a != b)
            out.append({QLatin1String(r.key), a, b, QStringLiteral("no command writes it")});
    }
    return out;
}
