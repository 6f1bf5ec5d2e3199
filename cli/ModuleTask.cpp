#include "cli/ModuleTask.h"

#include "cli/Programmer.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QStringList>

namespace {

QString differencesText(const QList<ModuleProfile::Difference> &differences)
{
    QStringList parts;
    for (const ModuleProfile::Difference &d : differences)
        parts << QStringLiteral("%1 profile %2, module %3").arg(d.key, d.wanted, d.found) +
                     (d.note.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(d.note));
    return parts.join(QStringLiteral("; "));
}

} // namespace

QString ModuleOutcome::VerdictText(Verdict v)
{
    switch (v) {
    case Verdict::Holds:
        return QStringLiteral("holds the profile");
    case Verdict::Read:
        return QStringLiteral("read");
    case Verdict::Differs:
        return QStringLiteral("differs");
    case Verdict::NoAnswer:
        return QStringLiteral("did not answer");
    case Verdict::Unplugged:
        return QStringLiteral("unplugged");
    case Verdict::NotOpened:
        return QStringLiteral("did not open");
    case Verdict::Refused:
        return QStringLiteral("refused");
    }
    return {};
}

QString ModuleOutcome::Line() const
{
    QStringList adapter;
    if (!port.byId.isEmpty())
        adapter << QStringLiteral("by-id %1").arg(QFileInfo(port.byId).fileName());
    if (!port.serial.isEmpty())
        adapter << QStringLiteral("serial %1").arg(port.serial);
    QString where = port.name;
    if (!adapter.isEmpty())
        where += QStringLiteral(" (%1)").arg(adapter.join(QStringLiteral(", ")));
    QString what = VerdictText(verdict);
    if (verdict == Verdict::Read && found)
        what = ModuleTask::ProfileLine(*found);
    else if (!reason.isEmpty())
        what += QStringLiteral(": ") + reason;
    return QStringLiteral("%1 %2: %3, %4 ms")
        .arg(Passed() ? (verdict == Verdict::Read ? QStringLiteral("OK  ") : QStringLiteral("PASS"))
                      : QStringLiteral("FAIL"),
             where, what)
        .arg(ms);
}

QJsonObject ModuleOutcome::Json() const
{
    QJsonObject o{
        {QStringLiteral("port"), port.name}, {QStringLiteral("device"), port.device},
        {QStringLiteral("byId"), port.byId}, {QStringLiteral("serial"), port.serial},
        {QStringLiteral("ok"), Passed()},    {QStringLiteral("verdict"), VerdictText(verdict)},
        {QStringLiteral("ms"), ms}};
    if (!reason.isEmpty())
        o.insert(QStringLiteral("reason"), reason);
    if (!differences.isEmpty()) {
        QJsonArray list;
        for (const ModuleProfile::Difference &d : differences)
            list.append(QJsonObject{{QStringLiteral("key"), d.key},
                                    {QStringLiteral("profile"), d.wanted},
                                    {QStringLiteral("module"), d.found}});
        o.insert(QStringLiteral("differences"), list);
    }
    if (found)
        o.insert(QStringLiteral("module"), ModuleTask::ProfileJson(*found));
    return o;
}

ModuleOutcome ModuleTask::Run(Programmer &p, Kind kind, const ModulePort &port, int speedIndex,
                              const ModuleConfig &profile)
{
    ModuleOutcome out;
    out.port = port;
    QElapsedTimer clock;
    clock.start();
    const QString error = port.device.isEmpty()
                              ? QStringLiteral("%1: no serial device for this port").arg(port.name)
                              : p.OpenDevice(port.device, speedIndex);
    if (!error.isEmpty()) {
        out.verdict = ModuleOutcome::Verdict::NotOpened;
        out.reason = error;
        out.ms = clock.elapsed();
        return out;
    }
    out.found = kind == Kind::Write ? p.Write(profile) : p.Read();
    if (p.Unplugged()) {
        out.verdict = ModuleOutcome::Verdict::Unplugged;
        out.reason = QStringLiteral("the adapter went away");
        out.found.reset();
    } else if (!p.Refusal().isEmpty()) {
        // Nothing was sent: a port without a programming line, or an input the core refuses
        // (a profile that loaded never is).
        out.verdict = ModuleOutcome::Verdict::Refused;
        out.reason = p.Refusal();
    } else if (!out.found) {
        out.verdict = ModuleOutcome::Verdict::NoAnswer;
        // Bytes that make no configuration are what a module at another speed sends.
        out.reason = p.HeardBytes() > 0
                         ? QStringLiteral("no configuration came back, only %1 byte(s) of "
                                          "something else (another speed?)")
                               .arg(p.HeardBytes())
                         : QStringLiteral("no configuration came back");
    } else if (kind == Kind::Read) {
        out.verdict = ModuleOutcome::Verdict::Read;
    } else {
        out.differences = ModuleProfile::Differences(profile, *out.found);
        out.verdict = out.differences.isEmpty() ? ModuleOutcome::Verdict::Holds
                                                : ModuleOutcome::Verdict::Differs;
        out.reason = differencesText(out.differences);
    }
    p.Close();
    out.ms = clock.elapsed();
    return out;
}

QJsonObject ModuleTask::ProfileJson(const ModuleConfig &config)
{
    QJsonObject o;
    for (const ModuleProfile::Field &f : ModuleProfile::Fields(config))
        o.insert(f.key, f.number ? QJsonValue(f.value.toInt()) : QJsonValue(f.value));
    return o;
}

QString ModuleTask::ProfileLine(const ModuleConfig &config)
{
    QStringList parts;
    for (const ModuleProfile::Field &f : ModuleProfile::Fields(config))
        parts << f.key + QLatin1Char('=') + f.value;
    return parts.join(QStringLiteral("; "));
}
