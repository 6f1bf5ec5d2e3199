#pragma once

// A simulated 2.4 GHz radio module on a serial cable.
//
// Serial side: while the port holds RTS raised, every byte is a command letter or one of its
// parameter bytes; a command whose parameter bytes have not all come when RTS falls is
// dropped. While RTS is low the module gathers bytes until it has the transmit payload width
// of data channel 1 and radios them as one packet (with a width of zero the bytes are dropped,
// since an empty payload cannot be sent). After "S" it sleeps: the next byte, whatever RTS
// is, wakes it and is lost; a sleeping module does not hear the air.
//
// Air side: a packet heard on the module's channel, data rate and address (address width and
// the first width bytes of address 1 agree), whose payload length equals its receive payload
// width of data channel 1, goes out on the serial side unchanged, at the module's speed.
//
// Every method that is not marked otherwise takes the simulation's lock itself; "lock held"
// methods are for the cable, the air and the scheduler.

#include "sim/SimCable.h"
#include "sim/SimConfig.h"
#include "sim/SimPacket.h"
#include "sim/SimScheduler.h"

#include <QString>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

class SimWorld;

class SimModule : private SimScheduler::Client, private SimCable::Sink {
public:
    SimModule(SimWorld &world, std::string name, const SimConfig &config);
    ~SimModule();
    SimModule(const SimModule &) = delete;
    SimModule &operator=(const SimModule &) = delete;

    // The module of that name ("default" for an empty name), powered on at its first use; it
    // lives as long as the process.
    static SimModule *named(const QString &name);

    const std::string &name() const { return name_; }

    SimConfig config() const;
    // As if the configuration had been programmed; kept in the state folder if there is one.
    void setConfig(const SimConfig &config);
    // Power-on state without any stored configuration: the configuration of SimConfig's
    // defaults, awake, nothing gathered or queued, an empty trace.
    void factoryReset();
    // The same, then its serial speed set to serialSpeed (as setConfig() sets it).
    void factoryReset(int serialSpeed);
    bool asleep() const;
    // Holds the module's CTS output low (true) or lets it rise: a port with CTS flow control
    // then keeps its bytes back. The module itself never does this; tests and trials do.
    void setCtsHeld(bool held);
    uint64_t packetsSent() const;
    uint64_t packetsHeard() const;

    std::vector<SimTraceEntry> trace();
    void clearTrace();

    // For the fuzz target and tests that drive the interpreter without line time: hands one
    // byte straight to the module's serial side, as if it had just come in with RTS at the
    // given level. A fall of that level since the previous fed byte drops a command still
    // waiting for its parameter bytes, as a fall on the wire does. Returns the bytes the
    // module answered with (the dump for "R"); they also go out on its serial side as usual.
    // Meant for a module no port has open; factoryReset() forgets the fed RTS level.
    std::vector<uint8_t> feed(uint8_t byte, bool rts);

    // Lock held.
    SimCable &cable() { return cable_; }
    void hear(const SimPacket &packet);
    // Makes sure the scheduler comes back when something is next due.
    void reschedule();

private:
    void service(SimNs now) override;
    void serialByte(uint8_t byte, SimNs at, bool rts) override;
    void rtsFell(SimNs at) override;

    void command(uint8_t byte, SimNs at);
    void execute(uint8_t letter, const std::vector<uint8_t> &params, SimNs at);
    void gather(uint8_t byte, SimNs at);
    void transmit(SimNs at);
    void deliver(const SimPacket &packet);
    // When the simulation must come round to this module next.
    SimNs wakeDue() const;
    int bytesBeforeActing() const;
    void store();
    // Everything the module sends on its serial side goes through here.
    void answer(const uint8_t *data, int length, SimNs notBefore);

    SimWorld &world_;
    const std::string name_;
    SimConfig config_;
    SimCable cable_;
    bool asleep_ = false;
    uint8_t pendingLetter_ = 0; // a command waiting for its parameter bytes
    size_t paramsWanted_ = 0;
    std::vector<uint8_t> params_;
    std::vector<uint8_t> gathered_;         // data mode: bytes for the next packet
    SimNs radioFreeAt_ = 0;                 // end of the last packet this module sends
    std::multimap<SimNs, SimPacket> heard_; // packets on the air, by the end of each
    uint64_t packetsSent_ = 0;
    uint64_t packetsHeard_ = 0;
    bool fedRts_ = false;                       // RTS level of the last fed byte
    std::vector<uint8_t> *fedAnswer_ = nullptr; // collects answers while a byte is fed
};
