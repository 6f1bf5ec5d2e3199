#include "app/PaneRecorder.h"

#include "app/StampClock.h"

#include <QByteArray>

PaneRecorder::PaneRecorder(QObject *parent) : QObject(parent) {}

bool PaneRecorder::start(const QString &path, QString &error)
{
    stop();
    file_.setFileName(path);
    // Unbuffered: each line goes to the system with its own write, nothing waits in the
    // program for a crash to take with it.
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        error = file_.errorString();
        return false;
    }
    return true;
}

void PaneRecorder::stop()
{
    if (file_.isOpen())
        file_.close();
}

void PaneRecorder::writeLines(const QString &pane, QStringView text)
{
    const StampClock &clock = StampClock::program();
    const QByteArray head = clock.iso(clock.elapsed()).toLatin1() + '\t' + pane.toUtf8() + '\t';
    QByteArray out;
    for (const QStringView line : text.split(u'\n')) {
        QString shown = line.toString();
        for (QChar &c : shown) {
            const char16_t u = c.unicode();
            if ((u < 0x20 && u != u'\t') || u == 0x7F)
                c = QChar(u == 0x7F ? char16_t(0x2421) : char16_t(0x2400 + u));
        }
        out += head + shown.toUtf8() + '\n';
    }
    if (file_.write(out) != out.size()) {
        const QString reason = file_.errorString();
        file_.close();
        emit failed(reason);
    }
}
