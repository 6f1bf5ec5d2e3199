#include "cli/SurveyCommand.h"

#include "cli/Output.h"
#include "cli/StopSignals.h"
#include "cli/SurveyChart.h"

#include <QDateTime>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonObject>
#include <QSaveFile>
#include <QStringList>

namespace {

constexpr int kBestShown = 3;

QString rateText(Survey::Rate rate)
{
    switch (rate) {
    case Survey::Rate::Held:
        return QStringLiteral("the data rate both modules hold");
    case Survey::Rate::Fast:
        return QStringLiteral("1 Mbit/s");
    case Survey::Rate::Slow:
        return QStringLiteral("250 kbit/s");
    case Survey::Rate::Both:
        return QStringLiteral("1 Mbit/s and 250 kbit/s");
    }
    return {};
}

// Written whole and renamed into place; empty, or why not.
QString save(const QString &path, const std::function<bool(QIODevice &)> &write)
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && write(file) && file.commit())
        return {};
    return QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
}

} // namespace

int SurveyCommand::Run(const Output &out, const Survey::Request &request, const Files &files,
                       const QString &command)
{
    Survey survey(request);
    QEventLoop loop;
    bool headed = false;
    QObject::connect(&survey, &Survey::RowDone, &survey, [&](const SurveyRow &row) {
        if (!headed)
            out.Line(SurveyResult::TableHeader());
        headed = true;
        out.Line(SurveyResult::TableLine(row));
    });
    QObject::connect(&survey, &Survey::Finished, &loop, &QEventLoop::quit);
    out.Progress(QStringLiteral("Survey: %1 sends, %2 receives; %3 channel(s), %4 packets a "
                                "channel, %5 ms apart, at %6. Ctrl+C stops.")
                     .arg(request.tx.name, request.rx.name)
                     .arg(request.channels.size())
                     .arg(request.packets)
                     .arg(request.paceMs)
                     .arg(rateText(request.rate)));
    {
        const StopSignals stopSignals([&survey] { survey.Stop(); });
        survey.Start();
        loop.exec();
    }

    const Survey::Outcome &o = survey.Result();
    using V = Survey::Verdict;
    QJsonObject json{{QStringLiteral("command"), command},
                     {QStringLiteral("tx"), request.tx.name},
                     {QStringLiteral("rx"), request.rx.name}};
    if (o.verdict == V::Refused || o.verdict == V::NotOpened || o.verdict == V::NoAnswer) {
        out.Error(o.reason, json);
        return o.verdict == V::NoAnswer ? 1 : 2;
    }

    QStringList text;
    const QList<SurveyResult::Ranked> best = o.result.Best(kBestShown);
    QJsonArray bestJson;
    if (!best.isEmpty()) {
        QStringList lines;
        for (const SurveyResult::Ranked &r : best) {
            lines << QStringLiteral("  ") + SurveyResult::BestText(r);
            bestJson.append(QJsonObject{{QStringLiteral("channel"), r.row.channel},
                                        {QStringLiteral("mhz"), r.row.Mhz()},
                                        {QStringLiteral("rate"), r.row.RateText()},
                                        {QStringLiteral("lossPercent"), r.row.LossPercent()},
                                        {QStringLiteral("neighbourLossPercent"), r.neighbourLoss}});
        }
        text << QStringLiteral("Best channels:") << lines;
    }
    if (o.applied)
        text << QStringLiteral("Both modules left on channel %1.").arg(o.appliedChannel);
    else if (o.txChannel >= 0 && o.rxChannel >= 0)
        text << QStringLiteral("Both modules back on their channels: %1 on %2, %3 on %4.")
                    .arg(request.tx.name)
                    .arg(o.txChannel)
                    .arg(request.rx.name)
                    .arg(o.rxChannel);

    // The files, also with the channels of a survey that ended early.
    QStringList written, problems;
    QJsonObject filesJson;
    if (!files.csv.isEmpty()) {
        const QString error = save(files.csv, [&o](QIODevice &f) { return o.result.WriteCsv(f); });
        (error.isEmpty() ? written : problems) << (error.isEmpty() ? files.csv : error);
        if (error.isEmpty())
            filesJson.insert(QStringLiteral("csv"), files.csv);
    }
    if (!files.png.isEmpty()) {
        const QString title =
            QStringLiteral("Channel survey %1, %2 to %3: %4 channel(s), %5 packets each%6")
                .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm")),
                     request.tx.name, request.rx.name)
                .arg(o.result.rows.size())
                .arg(request.packets)
                .arg(best.isEmpty() ? QString()
                                    : QStringLiteral(", best %1").arg(best.first().row.channel));
        const QString error = save(files.png, [&](QIODevice &f) {
            return SurveyChart::Image(QSize(1000, 380), o.result, title).save(&f, "PNG");
        });
        (error.isEmpty() ? written : problems) << (error.isEmpty() ? files.png : error);
        if (error.isEmpty())
            filesJson.insert(QStringLiteral("png"), files.png);
    }
    if (!written.isEmpty())
        text << QStringLiteral("Written: %1").arg(written.join(QStringLiteral(", ")));

    const bool done = o.verdict == V::Done && problems.isEmpty();
    json.insert(QStringLiteral("ok"), done);
    json.insert(QStringLiteral("packets"), request.packets);
    json.insert(QStringLiteral("paceMs"), request.paceMs);
    json.insert(QStringLiteral("width"), o.width);
    json.insert(QStringLiteral("channels"), o.result.Json());
    json.insert(QStringLiteral("best"), bestJson);
    json.insert(QStringLiteral("left"), QJsonObject{{QStringLiteral("tx"), o.txChannel},
                                                    {QStringLiteral("rx"), o.rxChannel}});
    json.insert(QStringLiteral("applied"), o.applied);
    json.insert(QStringLiteral("files"), filesJson);
    if (o.verdict != V::Done)
        json.insert(QStringLiteral("error"), o.reason);
    else if (!problems.isEmpty())
        json.insert(QStringLiteral("error"), problems.join(QStringLiteral("; ")));
    out.Result(text.join(QLatin1Char('\n')), json);
    if (o.verdict != V::Done) {
        Output::Reason(o.reason +
                       QStringLiteral(" (%1 channel(s) done)").arg(o.result.rows.size()));
        return 1;
    }
    for (const QString &p : problems)
        Output::Reason(p);
    return problems.isEmpty() ? 0 : 2;
}
