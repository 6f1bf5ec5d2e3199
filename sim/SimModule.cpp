#include "sim/SimModule.h"

#include "sim/SimLog.h"
#include "sim/SimWorld.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

SimModule::SimModule(SimWorld &world, std::string name, const SimConfig &config)
    : world_(world), name_(std::move(name)), config_(config), cable_(config.serialSpeed)
{
}

SimModule::~SimModule() = default;

SimModule *SimModule::named(const QString &name)
{
    return SimWorld::instance()->module(name.toStdString());
}

SimConfig SimModule::config() const
{
    std::lock_guard<std::mutex> lk(world_.lock());
    world_.advance();
    return config_;
}

void SimModule::setConfig(const SimConfig &config)
{
    std::lock_guard<std::mutex> lk(world_.lock());
    world_.advance();
    config_ = config;
    cable_.setModuleBaud(config_.serialSpeed);
    store();
}

void SimModule::factoryReset()
{
    std::lock_guard<std::mutex> lk(world_.lock());
    world_.advance();
    const SimNs now = simNow();
    config_ = SimConfig();
    cable_.setModuleBaud(config_.serialSpeed);
    cable_.moduleDropWaiting(now);
    cable_.clearTrace();
    cable_.setCtsHeld(false, now);
    asleep_ = false;
    pendingLetter_ = 0;
    params_.clear();
    gathered_.clear();
    heard_.clear();
    packetsSent_ = packetsHeard_ = 0;
    fedRts_ = false;
    store();
}

void SimModule::factoryReset(int serialSpeed)
{
    factoryReset();
    SimConfig c = config();
    c.serialSpeed = serialSpeed;
    setConfig(c);
}

void SimModule::setCtsHeld(bool held)
{
    std::lock_guard<std::mutex> lk(world_.lock());
    world_.advance();
    cable_.setCtsHeld(held, simNow());
    reschedule();
}

bool SimModule::asleep() const
{
    std::lock_guard<std::mutex> lk(world_.lock());
    world_.advance();
    return asleep_;
}

uint64_t SimModule::packetsSent() const
{
    std::lock_guard<std::mutex> lk(world_.lock());
    world_.advance();
    return packetsSent_;
}

uint64_t SimModule::packetsHeard() const
{
    std::lock_guard<std::mutex> lk(world_.lock());
    world_.advance();
    return packetsHeard_;
}

std::vector<SimTraceEntry> SimModule::trace()
{
    std::lock_guard<std::mutex> lk(world_.lock());
    world_.advance();
    service(simNow()); // bytes the simulation has not come round to yet are on it too
    return cable_.trace();
}

void SimModule::clearTrace()
{
    std::lock_guard<std::mutex> lk(world_.lock());
    world_.advance();
    service(simNow());
    cable_.clearTrace();
}

std::vector<uint8_t> SimModule::feed(uint8_t byte, bool rts)
{
    std::lock_guard<std::mutex> lk(world_.lock());
    world_.advance();
    const SimNs now = simNow();
    std::vector<uint8_t> answered;
    fedAnswer_ = &answered;
    if (fedRts_ && !rts)
        rtsFell(now);
    fedRts_ = rts;
    serialByte(byte, now, rts);
    fedAnswer_ = nullptr;
    reschedule();
    return answered;
}

void SimModule::answer(const uint8_t *data, int length, SimNs notBefore)
{
    if (fedAnswer_)
        fedAnswer_->insert(fedAnswer_->end(), data, data + length);
    cable_.moduleSend(data, length, notBefore);
}

SimNs SimModule::wakeDue() const
{
    const SimNs air = heard_.empty() ? kSimNever : heard_.begin()->first;
    return std::min(cable_.wakeDue(bytesBeforeActing()), air);
}

int SimModule::bytesBeforeActing() const
{
    // Gathering payload with the line low, the module acts on the byte that fills it; a
    // command letter, a parameter or the character that wakes it acts at once. An RTS change
    // comes round anyway, and the count is taken again then.
    const int width = config_.tx1Bytes();
    if (asleep_ || pendingLetter_ != 0 || cable_.rts() || width == 0)
        return 1;
    return std::max(1, width - int(gathered_.size()));
}

void SimModule::reschedule()
{
    world_.scheduler().wakeAt(this, wakeDue());
}

void SimModule::service(SimNs now)
{
    for (;;) {
        const SimNs serial = cable_.nextDue();
        const SimNs air = heard_.empty() ? kSimNever : heard_.begin()->first;
        if (std::min(serial, air) > now)
            break;
        if (air < serial) {
            const SimPacket packet = std::move(heard_.begin()->second);
            heard_.erase(heard_.begin());
            deliver(packet);
        } else {
            cable_.step(now, *this);
        }
    }
    reschedule();
}

void SimModule::serialByte(uint8_t byte, SimNs at, bool rts)
{
    if (asleep_) {
        // Any character wakes the module, and is lost doing so.
        asleep_ = false;
        qCDebug(lcSim) << "module" << name_.c_str() << "woken";
        return;
    }
    if (rts)
        command(byte, at);
    else
        gather(byte, at);
}

void SimModule::rtsFell(SimNs)
{
    // A command whose parameter bytes never came is dropped.
    pendingLetter_ = 0;
    params_.clear();
}

void SimModule::command(uint8_t byte, SimNs at)
{
    if (pendingLetter_ != 0) {
        params_.push_back(byte);
        if (params_.size() == paramsWanted_) {
            const uint8_t letter = pendingLetter_;
            pendingLetter_ = 0;
            execute(letter, params_, at);
            params_.clear();
        }
        return;
    }
    switch (byte) {
    case 'C':
    case 'L':
    case 'l':
    case 'T':
    case 't':
    case 'D':
    case 'P':
    case 'W':
    case 'B':
        pendingLetter_ = byte;
        paramsWanted_ = 1;
        break;
    case 'A':
        pendingLetter_ = byte;
        paramsWanted_ = 5;
        break;
    case 'R': {
        const auto d = config_.dump();
        answer(d.data(), int(d.size()), at);
        break;
    }
    case 'S':
        asleep_ = true;
        qCDebug(lcSim) << "module" << name_.c_str() << "asleep";
        break;
    case 'X':
        // Reset: the configuration stays (it is in the module's memory); whatever was half
        // received or gathered goes.
        gathered_.clear();
        break;
    default:
        break; // not a command: ignored
    }
}

void SimModule::execute(uint8_t letter, const std::vector<uint8_t> &p, SimNs)
{
    const SimConfig before = config_;
    const uint8_t v = p[0];
    switch (letter) {
    case 'C':
        if (v <= 127) // seven channel bits; anything else is no channel
            config_.channel = v;
        break;
    case 'L':
        config_.rx1Bits = v;
        break;
    case 'l':
        config_.rx2Bits = v;
        break;
    case 'T':
        config_.tx1Bits = v;
        break;
    case 't':
        config_.tx2Bits = v;
        break;
    case 'D':
        config_.dataRate = v;
        break;
    case 'P':
        if (v <= 3)
            config_.power = v;
        break;
    case 'W':
        // The width travels in bits: 8 to 40, whole bytes only.
        if (v % 8 == 0 && v >= 8 && v <= 40)
            config_.addressWidth = v / 8;
        break;
    case 'A':
        std::copy(p.begin(), p.begin() + 5, config_.address1.begin());
        break;
    case 'B':
        if (const int speed = SimConfig::speedOfCode(v)) {
            // The new speed holds from the byte after this command on.
            config_.serialSpeed = speed;
            cable_.setModuleBaud(speed);
            qCDebug(lcSim) << "module" << name_.c_str() << "serial speed" << speed;
        }
        break;
    default:
        break;
    }
    if (config_ != before)
        store();
}

void SimModule::gather(uint8_t byte, SimNs at)
{
    const int width = config_.tx1Bytes();
    if (width == 0)
        return; // no payload to fill: the module cannot send an empty packet
    gathered_.push_back(byte);
    if (int(gathered_.size()) >= width)
        transmit(at);
}

void SimModule::transmit(SimNs at)
{
    SimPacket p;
    p.channel = config_.channel;
    p.oneMbit = config_.oneMbit();
    p.addressWidth = config_.addressWidth;
    std::copy(config_.address1.begin(), config_.address1.begin() + config_.addressWidth,
              p.address.begin());
    p.payload.swap(gathered_);
    gathered_.clear();
    p.start = std::max(at + SimPacket::kSettle, radioFreeAt_);
    p.end = p.start + SimPacket::airTime(p.addressWidth, int(p.payload.size()), p.oneMbit);
    radioFreeAt_ = p.end;
    ++packetsSent_;
    world_.air().transmit(this, p);
}

void SimModule::hear(const SimPacket &packet)
{
    heard_.emplace(packet.end, packet);
    reschedule();
}

void SimModule::deliver(const SimPacket &p)
{
    if (asleep_)
        return; // the radio is off
    if (p.channel != config_.channel || p.oneMbit != config_.oneMbit() ||
        p.addressWidth != config_.addressWidth ||
        !std::equal(p.address.begin(), p.address.begin() + p.addressWidth,
                    config_.address1.begin()))
        return;
    const int width = config_.rx1Bytes();
    if (width == 0 || int(p.payload.size()) != width)
        return; // the CRC would not fit: a payload of another length is no packet here
    if (world_.air().loses(p.channel))
        return;
    ++packetsHeard_;
    answer(p.payload.data(), int(p.payload.size()), p.end);
}

void SimModule::store()
{
    const std::string path = SimWorld::stateFile(name_);
    if (path.empty())
        return;
    // The folder comes with the first state stored: a program whose simulated modules never
    // change leaves none behind.
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
    // Written whole to a neighbour and renamed, so that a crash never leaves half a file.
    const std::string temp = path + ".new";
    {
        std::ofstream out(temp, std::ios::trunc);
        out << config_.toText();
        if (!out.flush()) {
            qCWarning(lcSim) << "cannot store the simulated module's state in" << temp.c_str();
            return;
        }
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0)
        qCWarning(lcSim) << "cannot store the simulated module's state in" << path.c_str();
}
