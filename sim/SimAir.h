#pragma once

// The air the simulated modules share. Modules of one process hear each other directly.
// Modules of other processes on this machine hear them through a local datagram socket per
// process in one folder per air name:
//   $XDG_RUNTIME_DIR/quorvane-air/<air name>/<pid>.sock
// or, without a runtime folder, /tmp/quorvane-air-<uid>/<air name>/<pid>.sock. A packet is
// sent to every socket of the folder when it leaves the antenna, with the time its CRC is
// through (the steady clock is the same in every process), and heard there at that time.
// Sockets left behind by a process that died are removed when found.
//
// The air name comes from QV_SIM_AIR, else "default"; under the test runner (QV_TEST set)
// it is empty, and a process's modules stay among themselves unless a test joins an air.
// QV_SIM_LOSS sets the loss: the percentage of packets each receiver misses; and
// QV_SIM_INTERFERENCE a loss by channel on top of it (SimInterference: "wifi", ...).

#include "sim/SimInterference.h"
#include "sim/SimPacket.h"

#include <atomic>
#include <random>
#include <string>
#include <thread>

class SimModule;
class SimWorld;

class SimAir {
public:
    explicit SimAir(SimWorld &world);
    ~SimAir();
    SimAir(const SimAir &) = delete;
    SimAir &operator=(const SimAir &) = delete;

    // The air name from the environment, as described above.
    static std::string nameFromEnvironment();
    // The folder of an air name ("" when the name is empty or unusable).
    static std::string folderOf(const std::string &airName);

    // Leaves the current air and joins the named one; an empty name joins none. False when the
    // socket cannot be made (the modules are then alone, with a warning in the log).
    // Lock not held.
    bool setName(const std::string &airName);
    std::string name() const;
    std::string folder() const;

    void setLossPercent(double percent);
    double lossPercent() const;
    void setInterference(const SimInterference &interference);
    SimInterference interference() const;

    // Lock held: from one module to every other that may hear it.
    void transmit(const SimModule *from, const SimPacket &packet);
    // Lock held: whether a receiver misses a packet on this channel.
    bool loses(int channel);

    void shutdown(); // lock not held

private:
    void receiveLoop(int socketFd, int stopFd);
    void sendToPeers(const SimPacket &packet);
    void leave();

    SimWorld &world_;
    std::string name_; // guarded by the world's lock
    std::string folder_;
    std::string socketPath_;
    int socketFd_ = -1;
    int stopFd_ = -1;
    std::thread receiver_;
    double lossPercent_ = 0;
    SimInterference interference_;
    std::mt19937_64 random_;
};
