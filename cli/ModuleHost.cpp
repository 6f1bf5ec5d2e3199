#include "cli/ModuleHost.h"

#include "cli/Output.h"
#include "cli/Programmer.h"

#include <QLoggingCategory>

#include <exception>

Q_LOGGING_CATEGORY(lcHost, "quorvane.cli.host")

namespace {

// A module on a host of its own speaks through what its jobs return, never on the terminal:
// the lines of many modules would run into each other.
const Output &silent()
{
    static const Output out(false, true);
    return out;
}

} // namespace

ModuleHost::ModuleHost(QObject *parent) : QObject(parent), worker_(new QObject)
{
    worker_->moveToThread(&thread_);
    thread_.setObjectName(QStringLiteral("qv-module")); // the thread's name in top -H
    thread_.start();
}

ModuleHost::~ModuleHost()
{
    queue_.clear();
    {
        // The job in progress runs to its end; it needs nothing of this thread to get there.
        std::unique_lock<std::mutex> lk(runningLock_);
        runningEnded_.wait(lk, [this] { return !running_; });
    }
    // The serial component closes its port and ends its watcher on the thread that opened
    // them; nothing else runs there any more, so this cannot meet a job half-way.
    QMetaObject::invokeMethod(
        worker_, [this] { programmer_.reset(); }, Qt::BlockingQueuedConnection);
    thread_.quit();
    thread_.wait();
    delete worker_;
}

void ModuleHost::Post(Job job, std::function<void()> done)
{
    queue_.push_back({std::move(job), std::move(done)});
    postNext();
}

void ModuleHost::postNext()
{
    if (posted_ || queue_.empty())
        return;
    Pending next = std::move(queue_.front());
    queue_.pop_front();
    posted_ = true;
    done_ = std::move(next.done);
    {
        std::lock_guard<std::mutex> lk(runningLock_);
        running_ = true;
    }
    // One job at a time reaches the module's thread: a job waiting for the dump runs a local
    // event loop there, which would otherwise start the next job in the middle of this one.
    QMetaObject::invokeMethod(
        worker_,
        [this, job = std::move(next.job)] {
            try {
                if (!programmer_)
                    programmer_ = std::make_unique<Programmer>(silent(), false);
                job(*programmer_);
            } catch (const std::exception &e) {
                qCWarning(lcHost) << "a module's job failed:" << e.what();
            }
            // The completion is queued while the host is sure to exist (its end waits for
            // the flag below); a host that ends meanwhile drops it with its other events.
            QMetaObject::invokeMethod(
                this, [this] { finished(); }, Qt::QueuedConnection);
            {
                std::lock_guard<std::mutex> lk(runningLock_);
                running_ = false;
            }
            runningEnded_.notify_all();
        },
        Qt::QueuedConnection);
}

void ModuleHost::finished()
{
    posted_ = false;
    const std::function<void()> done = std::move(done_);
    done_ = nullptr;
    if (done)
        done();
    postNext();
}
