#include "cli/ModuleLog.h"

#include "cli/ModuleTask.h"

#include <QDateTime>
#include <QStringList>

QString ModuleLog::Open(const QString &path)
{
    file_.setFileName(path);
    // Unbuffered: each row goes to the file as it is written.
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return QStringLiteral("--log %1: %2").arg(path, file_.errorString());
    if (file_.size() == 0 &&
        file_.write("time,port,by-id,serial,verdict,reason,configuration,ms\n") < 0)
        return QStringLiteral("--log %1: %2").arg(path, file_.errorString());
    return {};
}

bool ModuleLog::Append(const ModuleOutcome &o)
{
    const QDateTime now = QDateTime::currentDateTime();
    const QStringList fields{
        now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODateWithMs),
        o.port.name,
        o.port.byId,
        o.port.serial,
        o.Passed() ? QStringLiteral("PASS") : QStringLiteral("FAIL"),
        o.Passed() ? QString()
                   : ModuleOutcome::VerdictText(o.verdict) +
                         (o.reason.isEmpty() ? QString() : QStringLiteral(": ") + o.reason),
        o.found ? ModuleTask::ProfileLine(*o.found) : QString(),
        QString::number(o.ms)};
    QStringList quoted;
    for (const QString &f : fields)
        quoted << Field(f);
    const QByteArray row = quoted.join(QLatin1Char(',')).toUtf8() + '\n';
    return file_.write(row) == row.size();
}

QString ModuleLog::Field(const QString &text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}
