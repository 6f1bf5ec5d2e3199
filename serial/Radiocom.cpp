#include "serial/Radiocom.h"

#include "serial/PortDirectory.h"
#include "serial/SerialLog.h"

#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <sys/eventfd.h>
#include <unistd.h>

// ---------------------------------------------------------------------------------------
// The lock

void TSemaphore::acquire()
{
    std::unique_lock<std::mutex> lk(m_);
    cv_.wait(lk, [this] { return count_ > 0; });
    --count_;
}

bool TSemaphore::release()
{
    std::lock_guard<std::mutex> lk(m_);
    if (count_ >= max_)
        return false;
    ++count_;
    cv_.notify_one();
    return true;
}

namespace {

// Holds the component's lock for one operation, also when an exception passes through.
class LockHolder {
public:
    explicit LockHolder(TRadioCom &c) : c_(c) { c_.Lock(); }
    ~LockHolder() { c_.Unlock(); }
    LockHolder(const LockHolder &) = delete;
    LockHolder &operator=(const LockHolder &) = delete;

private:
    TRadioCom &c_;
};

const char *const kDeviceNames[] = {"COM1",  "COM2",  "COM3",  "COM4",       "COM5",  "COM6",
                                    "COM7",  "COM8",  "COM9",  "COM10",      "COM11", "COM12",
                                    "COM13", "COM14", "COM15", "COM16",      "COM17", "COM18",
                                    "COM19", "COM20", "COM21", "ComFile.txt"};

const char *const kModeTexts[] = {"110,N,8,1",   "150,N,8,1",   "300,N,8,1",   "600,N,8,1",
                                  "1200,N,8,1",  "2400,N,8,1",  "4800,N,8,1",  "9600,N,8,1",
                                  "19200,N,8,1", "38400,N,8,1", "57600,N,8,1", "115200,N,8,1"};

} // namespace

// ---------------------------------------------------------------------------------------
// The watcher and its hand-over to the main thread

struct TComReader::Delivery::State {
    std::mutex m;
    std::condition_variable cv;
    // Idle: the watcher may wait for the next event. Pending: a notification is queued for
    // the main thread. Running: the main thread is running it.
    enum class Phase { Idle, Pending, Running } phase = Phase::Idle;
    bool stopped = false;
    bool lossPending = false; // the line failed; the main thread has not been told yet
    uint64_t delivered = 0;
};

void TComReader::Delivery::Finish()
{
    if (!state_)
        return;
    {
        std::lock_guard<std::mutex> lk(state_->m);
        if (state_->phase == State::Phase::Running) {
            state_->phase = State::Phase::Idle;
            ++state_->delivered;
        }
    }
    state_->cv.notify_all();
    state_.reset();
}

TComReader::TComReader(SerialLine &line, std::function<void()> wakeMain)
    : line_(line), wakeMain_(std::move(wakeMain)), state_(std::make_shared<Delivery::State>())
{
    thread_ = std::thread([this] { Execute(); });
}

TComReader::~TComReader()
{
    Stop();
}

void TComReader::Stop()
{
    {
        std::lock_guard<std::mutex> lk(state_->m);
        state_->stopped = true;
        // A notification queued or running is dropped: the main thread will find nothing
        // to run, and the watcher is released from its hand-over at once.
        state_->phase = Delivery::State::Phase::Idle;
    }
    state_->cv.notify_all();
    line_.wake();
    if (thread_.joinable())
        thread_.join();
}

TComReader::Delivery TComReader::TakeNotification()
{
    std::lock_guard<std::mutex> lk(state_->m);
    if (state_->stopped || state_->phase != Delivery::State::Phase::Pending)
        return Delivery(nullptr);
    state_->phase = Delivery::State::Phase::Running;
    return Delivery(state_);
}

bool TComReader::TakeLoss()
{
    std::lock_guard<std::mutex> lk(state_->m);
    const bool lost = state_->lossPending && !state_->stopped;
    state_->lossPending = false;
    return lost;
}

uint64_t TComReader::Delivered() const
{
    std::lock_guard<std::mutex> lk(state_->m);
    return state_->delivered;
}

void TComReader::Execute()
{
    Delivery::State &s = *state_;
    for (;;) {
        {
            std::lock_guard<std::mutex> lk(s.m);
            if (s.stopped)
                break;
        }
        const SerialLine::Wait result = line_.waitEvent();
        std::unique_lock<std::mutex> lk(s.m);
        if (s.stopped)
            break;
        if (result == SerialLine::Wait::Woken)
            continue;
        if (s.phase != Delivery::State::Phase::Idle) {
            // Blocking hand-over: what the line reports while the main thread has the last
            // notification waits until that one has run, and goes over together with all that
            // came meanwhile, as if the watcher had begun to wait only then. Watching the line
            // in the meantime rather than after spares a thread wake-up on every arrival.
            s.cv.wait(lk, [&s] { return s.phase == Delivery::State::Phase::Idle || s.stopped; });
            if (s.stopped)
                break;
            line_.takeEvents();
        }
        if (result == SerialLine::Wait::Failed) {
            // A wait that cannot go on would fail again at once: the device is gone. Tell the
            // main thread, then park until the port is closed instead of spinning.
            s.lossPending = true;
            lk.unlock();
            wakeMain_();
            lk.lock();
            s.cv.wait(lk, [&s] { return s.stopped; });
            break;
        }
        s.phase = Delivery::State::Phase::Pending;
        lk.unlock();
        wakeMain_();
    }
    line_.purge();
}

// ---------------------------------------------------------------------------------------
// The component

TRadioCom::TRadioCom(QObject *owner) : QObject(owner)
{
    wakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

TRadioCom::~TRadioCom()
{
    ClosePort();
    delete wakeNotifier_;
    if (wakeFd_ >= 0)
        ::close(wakeFd_);
}

ports TRadioCom::GetComPort() const
{
    return portIndex_ >= 0 && portIndex_ <= 20 ? static_cast<ports>(portIndex_) : COM2;
}

void TRadioCom::SetComPort(ports p)
{
    if (int(p) == portIndex_)
        return;
    portIndex_ = p;
    deviceName_ = p <= 21 ? kDeviceNames[p] : "COM2";
    if (connected_) {
        ClosePort();
        OpenPort();
    }
}

bauds TRadioCom::GetBaudRate() const
{
    return speedIndex_ >= 0 && speedIndex_ <= 11 ? static_cast<bauds>(speedIndex_) : br9600;
}

void TRadioCom::SetBaudRate(bauds b)
{
    if (int(b) == speedIndex_)
        return;
    speedIndex_ = b;
    modeText_ = b <= 11 ? kModeTexts[b] : "9600,N,8,1";
    if (connected_) {
        ClosePort();
        OpenPort();
    }
}

void TRadioCom::SetComStatus(bool c)
{
    if (c == connected_)
        return;
    if (c)
        OpenPort();
    else
        ClosePort();
}

void TRadioCom::SetReadTimeout(int v)
{
    if (v == readTimeout_)
        return;
    readTimeout_ = v < 1 ? 1 : (v > 30000 ? 30000 : v);
}

void TRadioCom::SetWriteTimeout(int v)
{
    if (v == writeTimeout_)
        return;
    writeTimeout_ = v < 0 ? 0 : (v > 30000 ? 30000 : v);
}

int TRadioCom::baudFromModeText() const
{
    return std::atoi(modeText_);
}

LineSettings TRadioCom::lineSettings() const
{
    LineSettings s;
    s.baud = baudFromModeText();
    s.ctsFlow = cts_ != CTSOff;
    s.dtr = dtr_ == DTROff  ? LineSettings::Dtr::Off
            : dtr_ == DTROn ? LineSettings::Dtr::On
                            : LineSettings::Dtr::Handshake;
    s.rts = rts_ == RTSOff         ? LineSettings::Rts::Off
            : rts_ == RTSOn        ? LineSettings::Rts::On
            : rts_ == RTSHandshake ? LineSettings::Rts::Handshake
                                   : LineSettings::Rts::Toggle;
    s.dsrFlow = dsrFlow_ == DSROn;
    s.dsrSensitivity = dsrSens_ == DSRDetect;
    return s;
}

QString TRadioCom::portName() const
{
    return device_.isEmpty() ? QString::fromLatin1(deviceName_) : device_;
}

PortDirectory::Target TRadioCom::target() const
{
    const PortDirectory &dir = PortDirectory::global();
    return device_.isEmpty() ? dir.resolve(portName()) : dir.resolveEntry(device_);
}

int TRadioCom::CreateHandle()
{
    const PortDirectory &dir = PortDirectory::global();
    const QString name = portName();
    const PortDirectory::Target target = this->target();
    std::unique_ptr<SerialLine> line = dir.createLine(target);
    if (!line) {
        lastOpenError_ = PortDirectory::failureText(name, target, LineError::NoDevice, {});
        return -1;
    }
    const LineSettings settings = lineSettings();
    if (!line->open(target.device.toStdString(), settings.rtsRaisedAtOpen(),
                    settings.dtrRaisedAtOpen())) {
        lastOpenError_ = PortDirectory::failureText(name, target, line->error(), line->errorText());
        return -1;
    }
    line_ = std::move(line);
    return 0;
}

void TRadioCom::DestroyHandle()
{
    if (line_) {
        line_->close();
        line_.reset();
    }
}

QString TRadioCom::PortLabel() const
{
    return PortDirectory::portLabel(portName(), target());
}

void TRadioCom::OpenPort()
{
    if (connected_)
        return;
    QString notice;
    {
        LockHolder hold(*this);
        if (!openLocked())
            return;
        if (!line_->notice().empty())
            notice = PortLabel() + QStringLiteral(": ") + QString::fromStdString(line_->notice());
    }
    if (!notice.isEmpty()) {
        qCWarning(lcSerial).noquote() << notice;
        if (onNotice_)
            onNotice_(notice);
    }
}

bool TRadioCom::openLocked()
{
    if (CreateHandle() != 0) {
        qCDebug(lcSerial) << "open failed:" << lastOpenError_;
        return false;
    }
    if (!line_->configure(lineSettings())) {
        lastOpenError_ =
            PortDirectory::failureText(portName(), target(), line_->error(), line_->errorText());
        DestroyHandle();
        return false;
    }
    connected_ = true;
    lastOpenError_.clear();
    openReadTimeout_ = readTimeout_;
    openWriteTimeout_ = writeTimeout_;
    if (!wakeNotifier_ && wakeFd_ >= 0) {
        wakeNotifier_ = new QSocketNotifier(wakeFd_, QSocketNotifier::Read);
        connect(wakeNotifier_, &QSocketNotifier::activated, this, [this] { runNotification(); });
    }
    const int fd = wakeFd_;
    reader_ = std::make_unique<TComReader>(*line_, [fd] {
        uint64_t one = 1;
        [[maybe_unused]] ssize_t r = ::write(fd, &one, sizeof one);
    });
    return true;
}

void TRadioCom::ClosePort()
{
    if (!connected_)
        return;
    QString notice;
    {
        LockHolder hold(*this);
        // Bytes already reported as sent are on their way; a close must not throw them away.
        // Normally nothing is left (a write ends when its bytes have left); a transmitter held
        // by flow control gets the time its queue needs at the line's speed, and what it
        // still holds after that is dropped and said.
        const int unsent = line_->unsentOutput();
        if (unsent > 0)
            notice = drainOutput(lineTimeMs(unsent) * 5 / 4 + 100, "at close");
        // The watcher ends before the handle closes, and a notification it queued is
        // dropped, also if the port is opened again before the main thread gets to it.
        held_.reset();
        if (gatherTimer_)
            gatherTimer_->stop();
        if (reader_) {
            reader_->Stop();
            reader_.reset();
        }
        connected_ = false;
        DestroyHandle();
    }
    if (!notice.isEmpty() && onNotice_)
        onNotice_(notice);
}

int TRadioCom::lineTimeMs(int bytes) const
{
    const long long baud = std::max(baudFromModeText(), 1);
    return int(std::min<long long>((10LL * bytes * 1000 + baud - 1) / baud, INT_MAX));
}

QString TRadioCom::drainOutput(int timeoutMs, const char *when)
{
    const int dropped = line_->drainOutput(timeoutMs);
    if (dropped <= 0)
        return {};
    return QStringLiteral("%1: %2 unsent byte(s) dropped %3")
        .arg(PortLabel())
        .arg(dropped)
        .arg(QLatin1String(when));
}

void TRadioCom::runNotification()
{
    // One read takes the whole count of an eventfd.
    uint64_t drained;
    [[maybe_unused]] const ssize_t r = ::read(wakeFd_, &drained, sizeof drained);
    if (!reader_)
        return;
    TComReader::Delivery delivery = reader_->TakeNotification();
    if (delivery) {
        const TComReader *reader = reader_.get();
        const int count = line_ ? line_->queuedInput() : -1;
        if (count >= 0)
            OnComReceive(count);
        // The watcher may wait again, at once or when the gathering's time is up. (The handler
        // may have closed or reopened the port; the delivery keeps what it needs alive.)
        if (gatherMs_ > 0 && reader_.get() == reader) {
            held_.emplace(std::move(delivery));
            gatherTimer_->start(gatherMs_);
        } else {
            delivery.Finish();
        }
    }
    // After the bytes that came before it. A handler that closed the port has ended that
    // watcher, and its loss with it.
    if (reader_ && reader_->TakeLoss() && onDeviceLost_)
        onDeviceLost_();
}

void TRadioCom::SetReceiveGathering(int ms)
{
    gatherMs_ = std::max(ms, 0);
    if (gatherMs_ > 0 && !gatherTimer_) {
        gatherTimer_ = new QTimer(this);
        gatherTimer_->setSingleShot(true);
        connect(gatherTimer_, &QTimer::timeout, this, [this] { held_.reset(); });
    }
    if (gatherMs_ == 0) {
        held_.reset();
        if (gatherTimer_)
            gatherTimer_->stop();
    }
}

void TRadioCom::OnComReceive(int Count)
{
    if (onReceive_)
        onReceive_(Count);
}

bool TRadioCom::GetModemState(int selector)
{
    unsigned bit = 0;
    switch (selector) {
    case 1:
        bit = SerialLine::CtsOn;
        break;
    case 2:
        bit = SerialLine::DsrOn;
        break;
    case 3:
        bit = SerialLine::RingOn;
        break;
    case 4:
        bit = SerialLine::RlsdOn;
        break;
    default:
        break;
    }
    unsigned bits = 0;
    if (!connected_ || !line_ || !line_->modemInputs(bits))
        return false;
    return (bits & bit) != 0;
}

int TRadioCom::EscapeComm(int function)
{
    if (!connected_ || rts_ == RTSHandshake || dtr_ == DTRHandshake)
        return -1;
    QString notice;
    LockHolder hold(*this);
    // The module reads RTS as each byte arrives: a line that moved over a byte in flight
    // would turn data into command letters or a command into radio data. Unsent bytes get
    // the budget a write of them has; what a held transmitter keeps past it never goes out.
    if (const int unsent = line_->unsentOutput(); unsent > 0)
        notice = drainOutput(openWriteTimeout_ > 0 ? unsent * openWriteTimeout_
                                                   : lineTimeMs(unsent) * 5 / 4 + 100,
                             "before RTS or DTR changed");
    bool ok = false;
    switch (function) {
    case SETRTS:
        ok = line_->setRts(true);
        break;
    case CLRRTS:
        ok = line_->setRts(false);
        break;
    case SETDTR:
        ok = line_->setDtr(true);
        break;
    case CLRDTR:
        ok = line_->setDtr(false);
        break;
    default:
        break;
    }
    if (!notice.isEmpty() && onNotice_)
        onNotice_(notice);
    return ok ? 0 : -1;
}

int TRadioCom::SendPlainBuffer(const unsigned char *data, int length)
{
    if (!connected_)
        return -1;
    LockHolder hold(*this);
    if (length <= 0)
        return 0;
    // A write of n bytes may take n x WriteTimeout ms; 0 puts no limit on it.
    long long budget = (long long)length * openWriteTimeout_;
    if (budget > INT_MAX)
        budget = INT_MAX;
    const int written = line_->write(data, length, int(budget));
    return written < 0 ? 0 : written;
}

int TRadioCom::SendBuffer(const unsigned char *data, int length)
{
    return SendPlainBuffer(data, length);
}

int TRadioCom::SendByte(unsigned char b)
{
    return SendPlainBuffer(&b, 1);
}

int TRadioCom::SendCTSByte(unsigned char b)
{
    if (cts_ != CTSOff)
        return -1;
    int budget = 100000;
    if (!connected_)
        return -1;
    for (;;) {
        unsigned bits = 0;
        // A driver that cannot report the modem lines would refuse every one of the polls:
        // the outcome (-1, nothing sent) is known after the first.
        if (!line_->modemInputs(bits))
            return -1;
        if ((bits & SerialLine::CtsOn) || budget == 0)
            break;
        --budget;
    }
    if (budget == 0)
        return -1;
    return SendPlainBuffer(&b, 1);
}

int TRadioCom::SendCTSBuffer(const unsigned char *data, int length)
{
    for (int i = 0; i < length; ++i)
        if (SendCTSByte(data[i]) != 1)
            return i;
    return length;
}

int TRadioCom::SendStepBuffer(const unsigned char *data, int length)
{
    for (int i = 0; i < length; ++i)
        if (SendByte(data[i]) != 1)
            return i;
    return length;
}

int TRadioCom::ReceiveBuffer(unsigned char *data, int length)
{
    if (!connected_)
        return -1;
    LockHolder hold(*this);
    // Clears line-error state so that a pending error does not block the read.
    line_->queuedInput();
    if (length <= 0)
        return 0;
    const int got = line_->read(data, length, openReadTimeout_);
    return got < 0 ? 0 : got;
}
