#pragma once

// One module on a thread of its own: its serial component with the watcher, the module core
// and the event loop that serves them all live there, so that one module's blocking command
// waits never delay another module's bytes. Many modules at once (a tray of adapters, station
// mode, two stations of a survey) are one host each.
//
// The owner's thread hands a host jobs; they run one after another, in the order given, with
// the module's Programmer, and the owner hears on its own thread when each has returned. A job
// hands results back through what it captures (a shared record it fills): the completion
// comes only after the job has returned, so the owner then reads a finished record.
//
// Ending a host finishes the job in progress (a module being written is never cut off), drops
// the jobs not yet started, closes the port on the module's thread and ends that thread.

#include <QObject>
#include <QThread>

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

class Programmer;

class ModuleHost : public QObject {
    Q_OBJECT

public:
    explicit ModuleHost(QObject *parent = nullptr);
    ~ModuleHost() override;
    ModuleHost(const ModuleHost &) = delete;
    ModuleHost &operator=(const ModuleHost &) = delete;

    using Job = std::function<void(Programmer &)>;
    // Runs job on the module's thread after those posted before it; done then runs on this
    // object's thread. done must not delete the host (deleteLater() may).
    void Post(Job job, std::function<void()> done = {});

private:
    void postNext();
    void finished();

    struct Pending {
        Job job;
        std::function<void()> done;
    };
    QThread thread_;
    QObject *worker_ = nullptr;              // lives on thread_: the jobs run in its context
    std::unique_ptr<Programmer> programmer_; // made, used and destroyed on thread_ only
    std::deque<Pending> queue_;              // the owner's thread only
    bool posted_ = false;                    // the owner's thread only
    std::function<void()> done_;             // of the posted job
    // The posted job has not returned yet; the owner's end waits on it.
    std::mutex runningLock_;
    std::condition_variable runningEnded_;
    bool running_ = false;
};
