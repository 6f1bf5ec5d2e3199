#include "cli/ManyPorts.h"

#include "cli/ModuleHost.h"
#include "cli/ModuleLog.h"
#include "cli/Output.h"

#include <QEventLoop>
#include <QJsonArray>

#include <memory>
#include <vector>

QString ManyPorts::CommandName(ModuleTask::Kind kind)
{
    switch (kind) {
    case ModuleTask::Kind::Write:
        return QStringLiteral("write");
    case ModuleTask::Kind::Read:
        return QStringLiteral("read");
    case ModuleTask::Kind::Check:
        return QStringLiteral("check");
    }
    return {};
}

QString ManyPorts::Summary(ModuleTask::Kind kind, const QList<ModuleOutcome> &outcomes)
{
    using V = ModuleOutcome::Verdict;
    const auto count = [&outcomes](V v) {
        return int(std::count_if(outcomes.begin(), outcomes.end(),
                                 [v](const ModuleOutcome &o) { return o.verdict == v; }));
    };
    QStringList parts;
    if (kind == ModuleTask::Kind::Read) {
        parts << QStringLiteral("%1 read").arg(count(V::Read));
    } else {
        const int holds = count(V::Holds);
        parts << QStringLiteral("%1 %2 the profile")
                     .arg(holds)
                     .arg(holds == 1 ? QStringLiteral("holds") : QStringLiteral("hold"));
        if (const int n = count(V::Differs))
            parts << QStringLiteral("%1 %2").arg(n).arg(n == 1 ? QStringLiteral("differs")
                                                               : QStringLiteral("differ"));
    }
    for (const V v : {V::NoAnswer, V::Unplugged, V::NotOpened, V::Refused})
        if (const int n = count(v))
            parts << QStringLiteral("%1 %2").arg(n).arg(ModuleOutcome::VerdictText(v));
    return parts.join(QStringLiteral(", "));
}

QList<ModuleOutcome> ManyPorts::RunAll(const Request &r,
                                       const std::function<void(const ModuleOutcome &)> &finished)
{
    QList<ModuleOutcome> outcomes;
    std::vector<std::unique_ptr<ModuleHost>> hosts;
    QEventLoop loop;
    for (const ModulePort &port : r.ports) {
        hosts.push_back(std::make_unique<ModuleHost>());
        auto outcome = std::make_shared<ModuleOutcome>();
        hosts.back()->Post(
            [outcome, port, &r](Programmer &p) {
                *outcome = ModuleTask::Run(p, r.kind, port, r.speedIndex, r.profile);
            },
            [outcome, &outcomes, &r, &loop, &finished] {
                outcomes.append(*outcome);
                if (finished)
                    finished(*outcome);
                if (outcomes.size() == r.ports.size())
                    loop.quit();
            });
    }
    if (outcomes.size() < r.ports.size())
        loop.exec();
    return outcomes; // the hosts end here: each port is closed, each thread ended
}

int ManyPorts::Run(const Output &out, const Request &r)
{
    const QList<ModuleOutcome> outcomes = RunAll(r, [&out, &r](const ModuleOutcome &o) {
        if (r.log && !r.log->Append(o))
            Output::Reason(QStringLiteral("the log could not take the row of %1").arg(o.port.name));
        out.Line(o.Line());
    });

    const QString summary = Summary(r.kind, outcomes) + QLatin1Char('.');
    const bool ok = std::all_of(outcomes.begin(), outcomes.end(),
                                [](const ModuleOutcome &o) { return o.Passed(); });
    QJsonArray modules;
    for (const ModuleOutcome &o : outcomes)
        modules.append(o.Json());
    QJsonObject json{{QStringLiteral("command"), CommandName(r.kind)},
                     {QStringLiteral("ok"), ok},
                     {QStringLiteral("modules"), modules},
                     {QStringLiteral("summary"), summary}};
    if (r.kind != ModuleTask::Kind::Read)
        json.insert(QStringLiteral("profile"), r.profilePath);
    out.Result(summary, json);
    if (ok)
        return 0;
    const int failed = int(std::count_if(outcomes.begin(), outcomes.end(),
                                         [](const ModuleOutcome &o) { return !o.Passed(); }));
    Output::Reason(QStringLiteral("%1 of %2 modules failed").arg(failed).arg(outcomes.size()));
    return 1;
}
