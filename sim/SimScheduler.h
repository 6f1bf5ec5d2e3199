#pragma once

// The simulation's one thread: it sleeps until the next client is due, lets it handle what is
// due, and sleeps again. With nothing due it waits without a time limit, so idle modules cost
// no CPU. Everything runs under the simulation's lock (a std::mutex owned by the world), which
// callers on other threads take too; runDue() lets them catch up to the present before they
// look at simulated state.

#include "sim/SimTime.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <queue>
#include <thread>
#include <vector>

class SimScheduler {
public:
    class Client {
    public:
        virtual void service(SimNs now) = 0;

    protected:
        ~Client() = default;

    private:
        friend class SimScheduler;
        SimNs scheduledAt_ = kSimNever;
    };

    explicit SimScheduler(std::mutex &lock);
    ~SimScheduler();
    SimScheduler(const SimScheduler &) = delete;
    SimScheduler &operator=(const SimScheduler &) = delete;

    void start();
    void stop(); // lock not held

    // Lock held. The client is serviced at t or soon after (an earlier wish wins).
    void wakeAt(Client *client, SimNs t);
    // Lock held. Services every client due by now, in time order.
    void runDue(SimNs now);

private:
    struct Entry {
        SimNs time;
        uint64_t seq;
        Client *client;
        bool operator>(const Entry &o) const
        {
            return time != o.time ? time > o.time : seq > o.seq;
        }
    };
    void run();
    void dropStale();

    std::mutex &lock_;
    std::condition_variable cv_;
    std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>> queue_;
    uint64_t seq_ = 0;
    bool stopping_ = false;
    std::thread thread_;
};
