#pragma once

// A serial line onto a simulated module ("sim" for the module "default", "sim:NAME" for the
// module NAME), with the same meaning as a tty's: an exclusive open, RTS and DTR set at the
// open, reads that return waiting bytes at once or else wait up to their time-out for the
// count asked, writes into a transmit buffer of a few KiB whose bytes go out at line time and
// that return when their bytes have left (within their time-out), line events on arrival (not
// on level) and after each write, and a close that never blocks.
//
// The modem inputs show CTS and DSR on while the port is open (the module is powered), CTS
// off while the module holds it (SimModule::setCtsHeld); ring and carrier are off.

#include "serial/SerialLine.h"

#include "sim/SimTime.h"

#include <memory>
#include <mutex>
#include <string>

class SimModule;
class SimWorld;

class SimLine : public SerialLine {
public:
    // With a module name the line opens that module whatever device text it is given;
    // without one, open() takes the name from the device text.
    explicit SimLine(std::string moduleName = {});
    ~SimLine() override;

    bool open(const std::string &device, bool rtsRaised, bool dtrRaised) override;
    bool configure(const LineSettings &settings) override;
    void close() override;
    bool isOpen() const override { return module_ != nullptr; }

    int write(const uint8_t *data, int length, int timeoutMs) override;
    int unsentOutput() override;
    int drainOutput(int timeoutMs) override;
    int read(uint8_t *data, int length, int timeoutMs) override;
    int queuedInput() override;
    void purge() override;

    bool modemInputs(unsigned &bits) override;
    bool setRts(bool raised) override;
    bool setDtr(bool raised) override;

    Wait waitEvent() override;
    void takeEvents() override;
    void wake() override;

    SimModule *module() const { return module_; }

private:
    void closeLine();
    // Lock held: waits until the port's bytes have left, or the deadline (kSimNever: none)
    // passes; returns the count still unsent.
    int awaitSent(std::unique_lock<std::mutex> &lk, SimNs deadline);

    std::shared_ptr<SimWorld> world_;
    std::string boundName_;
    SimModule *module_ = nullptr; // while open
};
