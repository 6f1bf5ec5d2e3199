#pragma once

// Everything simulated in this process: the modules by name, the air they share, the one
// thread that moves time on (SimScheduler), and the lock that guards all of it. Made at first
// use; SimLine holds on to it so that it outlives every open simulated port.

#include "sim/SimAir.h"
#include "sim/SimScheduler.h"
#include "sim/SimTime.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class SimModule;

class SimWorld {
public:
    static std::shared_ptr<SimWorld> instance();
    ~SimWorld();
    SimWorld(const SimWorld &) = delete;
    SimWorld &operator=(const SimWorld &) = delete;

    std::mutex &lock() { return lock_; }
    SimScheduler &scheduler() { return scheduler_; }
    SimAir &air() { return air_; }

    // The module of that name ("default" for an empty name); made at first use, with the
    // configuration stored in the state folder if there is one. Lock not held.
    SimModule *module(const std::string &name);
    // Lock held.
    std::vector<SimModule *> modules() const;

    // Where modules keep their configuration between runs; empty: they power on fresh.
    // Modules made afterwards power on from it; every module stores its changes there (the
    // folder is made then). Set before or after the world is made.
    static void setStateFolder(const std::string &folder);
    // The file of one module, or "" without a state folder.
    static std::string stateFile(const std::string &moduleName);

    // Lock held: lets the simulation catch up with the present.
    void advance() { scheduler_.runDue(simNow()); }

private:
    SimWorld();

    std::mutex lock_;
    std::map<std::string, std::unique_ptr<SimModule>> modules_;
    SimScheduler scheduler_;
    SimAir air_;
};
