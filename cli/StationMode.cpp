#include "cli/StationMode.h"

#include "cli/ModuleHost.h"
#include "cli/ModuleLog.h"
#include "cli/Output.h"

#include "cli/StopSignals.h"

#include <memory>

StationMode::StationMode(const Output &out, Request request)
    : out_(out), request_(std::move(request)), watch_(request_.folder)
{
    connect(&watch_, &PortWatch::changed, this, &StationMode::look);
}

StationMode::~StationMode() = default;

int StationMode::Run()
{
    const StopSignals stopSignals([this] { Stop(); });
    out_.Progress(QStringLiteral("Station: every module plugged in %1 gets %2 written and checked; "
                                 "Ctrl+C ends.")
                      .arg(request_.folder.isEmpty()
                               ? QStringLiteral("to an adapter")
                               : QStringLiteral("under %1").arg(request_.folder),
                           request_.profilePath));
    watch_.Start();
    look();
    loop_.exec();
    out_.Result(QStringLiteral("Station ended: %1 passed, %2 failed.").arg(passed_).arg(failed_),
                {{QStringLiteral("command"), QStringLiteral("station")},
                 {QStringLiteral("ok"), failed_ == 0},
                 {QStringLiteral("passed"), passed_},
                 {QStringLiteral("failed"), failed_}});
    return failed_ == 0 ? 0 : 1;
}

void StationMode::Stop()
{
    if (stopping_)
        return;
    stopping_ = true;
    if (running_ > 0)
        out_.Progress(QStringLiteral("Finishing %1 module(s) in progress...").arg(running_));
    endWhenIdle();
}

void StationMode::endWhenIdle()
{
    if (stopping_ && running_ == 0)
        loop_.quit();
}

void StationMode::look()
{
    if (stopping_)
        return;
    QMap<QString, QString> now;
    QList<PortWatch::Plugged> fresh;
    for (const PortWatch::Plugged &p : watch_.Look()) {
        now.insert(p.port.name, p.identity);
        if (taken_.value(p.port.name) != p.identity)
            fresh.append(p);
    }
    // An adapter gone from the list was unplugged: plugged again, it is programmed again.
    taken_ = now;
    for (const PortWatch::Plugged &p : fresh)
        start(p);
}

void StationMode::start(const PortWatch::Plugged &plugged)
{
    ++running_;
    auto *host = new ModuleHost(this);
    auto outcome = std::make_shared<ModuleOutcome>();
    const ModulePort port = plugged.port;
    host->Post(
        [outcome, port, this](Programmer &p) {
            *outcome = ModuleTask::Run(p, ModuleTask::Kind::Write, port, request_.speedIndex,
                                       request_.profile);
        },
        [outcome, host, this] {
            host->deleteLater(); // the port is closed already; the thread ends with the host
            finished(*outcome);
        });
}

void StationMode::finished(const ModuleOutcome &outcome)
{
    --running_;
    (outcome.Passed() ? passed_ : failed_)++;
    out_.Line(outcome.Line() +
              (request_.bell && !outcome.Passed() ? QStringLiteral("\a") : QString()));
    if (request_.log && !request_.log->Append(outcome))
        Output::Reason(
            QStringLiteral("the log could not take the row of %1").arg(outcome.port.name));
    endWhenIdle();
}
