#pragma once

// Station mode: stays running, and every adapter plugged in gets its module written with the
// profile and checked, on a thread of its own, while the others go on. One line per module,
// PASS or FAIL with the reason, the port, the adapter's serial number and the time it took (a
// bell on FAIL at a terminal), and a row in the log. An adapter that stays plugged in is not
// programmed again; unplugged and plugged again, it is.
//
// Ctrl+C or SIGTERM ends the station cleanly: nothing new is started, modules in progress are
// finished (a module is never cut off half-written), and the count of passed and failed
// modules closes the run.

#include "cli/PortWatch.h"

#include <QEventLoop>
#include <QMap>
#include <QObject>
#include <QString>

class ModuleLog;
class Output;

class StationMode : public QObject {
    Q_OBJECT

public:
    struct Request {
        ModuleConfig profile;
        QString profilePath;
        int speedIndex = 0;       // the Speed list entry, 0 = 9600 ... 4 = 115200
        QString folder;           // of device links; empty: the system's port list
        ModuleLog *log = nullptr; // a row per module, when given
        bool bell = false;        // sound the terminal's bell on FAIL
    };

    StationMode(const Output &out, Request request);
    ~StationMode() override;

    // Runs until Stop(), Ctrl+C or SIGTERM. The exit status: 0 when every module passed, 1
    // when any failed.
    int Run();
    void Stop();

private:
    void look();
    void start(const PortWatch::Plugged &plugged);
    void finished(const ModuleOutcome &outcome);
    void endWhenIdle();

    const Output &out_;
    const Request request_;
    PortWatch watch_;
    QMap<QString, QString> taken_; // plugged adapters already programmed: name -> identity
    int running_ = 0;
    int passed_ = 0;
    int failed_ = 0;
    bool stopping_ = false;
    QEventLoop loop_;
};
