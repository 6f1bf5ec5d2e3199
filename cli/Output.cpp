#include "cli/Output.h"

#include <QJsonDocument>

#include <cstdio>

void Output::Progress(const QString &line) const
{
    if (json_ || quiet_)
        return;
    std::printf("%s\n", line.toLocal8Bit().constData());
    std::fflush(stdout);
}

void Output::Line(const QString &line) const
{
    if (json_)
        return;
    std::printf("%s\n", line.toLocal8Bit().constData());
    std::fflush(stdout);
}

void Output::Result(const QString &text, const QJsonObject &json) const
{
    const QByteArray out =
        json_ ? QJsonDocument(json).toJson(QJsonDocument::Indented) : text.toLocal8Bit();
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
    if (!out.endsWith('\n'))
        std::fputc('\n', stdout);
    std::fflush(stdout);
}

void Output::Reason(const QString &line)
{
    std::fprintf(stderr, "quorvane-cli: %s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
}

void Output::Error(const QString &line, QJsonObject json) const
{
    Reason(line);
    if (!json_)
        return;
    json.insert(QStringLiteral("ok"), false);
    json.insert(QStringLiteral("error"), line);
    Result({}, json);
}
