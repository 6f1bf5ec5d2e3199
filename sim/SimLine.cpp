#include "sim/SimLine.h"

#include "sim/SimModule.h"
#include "sim/SimWorld.h"

#include <algorithm>

namespace {

bool knownSpeed(int baud)
{
    for (int b : {110, 150, 300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200})
        if (b == baud)
            return true;
    return false;
}

} // namespace

SimLine::SimLine(std::string moduleName)
    : world_(SimWorld::instance()), boundName_(std::move(moduleName))
{
}

SimLine::~SimLine()
{
    closeLine();
}

bool SimLine::open(const std::string &device, bool rtsRaised, bool dtrRaised)
{
    closeLine();
    setError(LineError::None, {});
    std::string name = boundName_;
    if (name.empty()) {
        if (device == "sim")
            name = "default";
        else if (device.rfind("sim:", 0) == 0)
            name = device.substr(4);
        else {
            setError(LineError::NoDevice, "not a simulated module");
            return false;
        }
    }
    SimModule *m = world_->module(name);
    std::lock_guard<std::mutex> lk(world_->lock());
    world_->advance();
    if (m->cable().portOpen()) {
        setError(LineError::Busy, "the simulated module is in use by another port");
        return false;
    }
    m->cable().openPort(simNow(), rtsRaised, dtrRaised);
    m->reschedule();
    module_ = m;
    return true;
}

bool SimLine::configure(const LineSettings &settings)
{
    if (!module_)
        return false;
    if (!knownSpeed(settings.baud)) {
        setError(LineError::SettingsRefused, "speed not supported");
        return false;
    }
    std::lock_guard<std::mutex> lk(world_->lock());
    world_->advance();
    module_->cable().setPortBaud(settings.baud);
    module_->cable().setPortCtsFlow(
        settings.ctsFlow || settings.rts == LineSettings::Rts::Handshake, simNow());
    module_->reschedule();
    return true;
}

void SimLine::close()
{
    closeLine();
}

void SimLine::closeLine()
{
    if (!module_)
        return;
    std::lock_guard<std::mutex> lk(world_->lock());
    world_->advance();
    module_->cable().closePort(simNow());
    module_->reschedule();
    module_ = nullptr;
}

int SimLine::write(const uint8_t *data, int length, int timeoutMs)
{
    if (!module_)
        return -1;
    if (length <= 0)
        return 0;
    std::unique_lock<std::mutex> lk(world_->lock());
    SimCable &cable = module_->cable();
    const bool limited = timeoutMs > 0;
    const SimNs deadline = limited ? simNow() + SimNs(timeoutMs) * kSimMilli : kSimNever;
    int done = 0;
    for (;;) {
        world_->advance();
        const SimNs now = simNow();
        const int n = std::min(cable.transmitRoom(now), length - done);
        for (int i = 0; i < n; ++i)
            cable.portSend(data[done + i], now);
        done += n;
        if (n > 0)
            module_->reschedule();
        if (done == length || now >= deadline)
            break;
        // The buffer is full: sleep until the frames ahead have made room, within the
        // budget. A held transmitter makes room only when CTS rises, which notifies.
        const SimNs until = std::min(cable.roomFor(length - done, now), deadline);
        if (until == kSimNever)
            cable.portCondition().wait(lk);
        else
            cable.portCondition().wait_until(lk, simTimePoint(until));
    }
    // Done when the bytes have left: the newest bytes leave last, so those still unsent are
    // this write's own.
    const int left = done - std::min(done, awaitSent(lk, deadline));
    if (left > 0) {
        cable.txDone = true;
        cable.portCondition().notify_all();
    }
    return left;
}

int SimLine::awaitSent(std::unique_lock<std::mutex> &lk, SimNs deadline)
{
    SimCable &cable = module_->cable();
    for (;;) {
        world_->advance();
        const SimNs now = simNow();
        const int unsent = cable.unsent(now);
        if (unsent == 0 || now >= deadline)
            return unsent;
        const SimNs until = std::min(cable.allSentAt(), deadline);
        if (until == kSimNever)
            cable.portCondition().wait(lk);
        else
            cable.portCondition().wait_until(lk, simTimePoint(until));
    }
}

int SimLine::unsentOutput()
{
    if (!module_)
        return 0;
    std::lock_guard<std::mutex> lk(world_->lock());
    world_->advance();
    return module_->cable().unsent(simNow());
}

int SimLine::drainOutput(int timeoutMs)
{
    if (!module_)
        return 0;
    std::unique_lock<std::mutex> lk(world_->lock());
    awaitSent(lk, simNow() + SimNs(std::max(timeoutMs, 0)) * kSimMilli);
    const int dropped = module_->cable().dropUnsent(simNow());
    module_->reschedule();
    return dropped;
}

int SimLine::read(uint8_t *data, int length, int timeoutMs)
{
    if (!module_)
        return -1;
    if (length <= 0)
        return 0;
    std::unique_lock<std::mutex> lk(world_->lock());
    world_->advance();
    SimCable &cable = module_->cable();
    std::deque<uint8_t> &in = cable.input();
    if (in.empty()) {
        const auto deadline = simTimePoint(simNow() + SimNs(std::max(timeoutMs, 0)) * kSimMilli);
        cable.portCondition().wait_until(lk, deadline,
                                         [&in, length] { return int(in.size()) >= length; });
    }
    const int n = std::min(length, int(in.size()));
    std::copy(in.begin(), in.begin() + n, data);
    in.erase(in.begin(), in.begin() + n);
    return n;
}

int SimLine::queuedInput()
{
    if (!module_)
        return -1;
    std::lock_guard<std::mutex> lk(world_->lock());
    world_->advance();
    return int(module_->cable().input().size());
}

void SimLine::purge()
{
    if (!module_)
        return;
    std::lock_guard<std::mutex> lk(world_->lock());
    world_->advance();
    module_->cable().purge(simNow());
    module_->reschedule();
}

bool SimLine::modemInputs(unsigned &bits)
{
    bits = 0;
    if (!module_)
        return false;
    std::lock_guard<std::mutex> lk(world_->lock());
    bits = DsrOn | (module_->cable().ctsHeld() ? 0u : CtsOn);
    return true;
}

bool SimLine::setRts(bool raised)
{
    if (!module_)
        return false;
    std::lock_guard<std::mutex> lk(world_->lock());
    world_->advance();
    module_->cable().setRts(simNow(), raised);
    module_->reschedule();
    return true;
}

bool SimLine::setDtr(bool raised)
{
    if (!module_)
        return false;
    std::lock_guard<std::mutex> lk(world_->lock());
    module_->cable().setDtr(raised);
    return true;
}

namespace {

// What the cable has told the port since it last looked, taken: true for a line event (bytes
// arrived, a write completed), false for a bare wake-up or nothing.
bool takeAnnouncements(SimCable &cable)
{
    const bool event = cable.rxArrived || cable.txDone;
    cable.rxArrived = cable.txDone = cable.wakeRequested = false;
    return event;
}

} // namespace

SerialLine::Wait SimLine::waitEvent()
{
    SimModule *m = module_;
    if (!m)
        return Wait::Failed;
    std::unique_lock<std::mutex> lk(world_->lock());
    SimCable &cable = m->cable();
    cable.portCondition().wait(lk, [&cable] {
        return cable.rxArrived || cable.txDone || cable.wakeRequested || !cable.portOpen();
    });
    if (!cable.portOpen())
        return Wait::Failed;
    return takeAnnouncements(cable) ? Wait::Event : Wait::Woken;
}

void SimLine::takeEvents()
{
    SimModule *m = module_;
    if (!m)
        return;
    std::lock_guard<std::mutex> lk(world_->lock());
    SimCable &cable = m->cable();
    if (cable.portOpen())
        takeAnnouncements(cable);
}

void SimLine::wake()
{
    SimModule *m = module_;
    if (!m)
        return;
    std::lock_guard<std::mutex> lk(world_->lock());
    m->cable().wakeRequested = true;
    m->cable().portCondition().notify_all();
}
