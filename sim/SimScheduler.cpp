#include "sim/SimScheduler.h"

#include <pthread.h>

SimScheduler::SimScheduler(std::mutex &lock) : lock_(lock) {}

SimScheduler::~SimScheduler()
{
    stop();
}

void SimScheduler::start()
{
    if (!thread_.joinable())
        thread_ = std::thread([this] {
            // Named, so that its share of the CPU is told apart from the program's.
            pthread_setname_np(pthread_self(), "qv-sim");
            run();
        });
}

void SimScheduler::stop()
{
    {
        std::lock_guard<std::mutex> lk(lock_);
        stopping_ = true;
    }
    cv_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

void SimScheduler::wakeAt(Client *client, SimNs t)
{
    if (t == kSimNever || t >= client->scheduledAt_)
        return;
    dropStale();
    const bool earliest = queue_.empty() || t < queue_.top().time;
    client->scheduledAt_ = t;
    queue_.push({t, seq_++, client});
    if (earliest)
        cv_.notify_one();
}

void SimScheduler::dropStale()
{
    while (!queue_.empty() && queue_.top().client->scheduledAt_ != queue_.top().time)
        queue_.pop();
}

void SimScheduler::runDue(SimNs now)
{
    for (;;) {
        dropStale();
        if (queue_.empty() || queue_.top().time > now)
            return;
        Client *c = queue_.top().client;
        queue_.pop();
        c->scheduledAt_ = kSimNever;
        c->service(now);
    }
}

void SimScheduler::run()
{
    std::unique_lock<std::mutex> lk(lock_);
    while (!stopping_) {
        runDue(simNow());
        dropStale();
        if (queue_.empty())
            cv_.wait(lk);
        else
            cv_.wait_until(lk, simTimePoint(queue_.top().time));
    }
}
