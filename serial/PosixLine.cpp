#include "serial/PosixLine.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <time.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// System errors become a result and a message in this one place.
LineError errorKind(int err)
{
    switch (err) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return LineError::NoDevice;
    case EBUSY:
    case EWOULDBLOCK:
        return LineError::Busy;
    case EACCES:
    case EPERM:
        return LineError::PermissionDenied;
    case EISDIR:
    case ENOTTY:
        return LineError::NotATty;
    default:
        return LineError::Io;
    }
}

std::string errnoText(int err)
{
    return std::strerror(err);
}

// Milliseconds left until a deadline, for poll(): -1 waits without limit.
int remainingMs(bool limited, Clock::time_point deadline)
{
    if (!limited)
        return -1;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? int(left.count()) : 0;
}

} // namespace

PosixLine::~PosixLine()
{
    closeDevice();
}

speed_t PosixLine::speedConstant(int baud)
{
    switch (baud) {
    case 110:
        return B110;
    case 150:
        return B150;
    case 300:
        return B300;
    case 600:
        return B600;
    case 1200:
        return B1200;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    default:
        return 0;
    }
}

bool PosixLine::open(const std::string &device, bool rtsRaised, bool dtrRaised)
{
    closeDevice();
    setError(LineError::None, {});
    int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        int err = errno;
        setError(errorKind(err), errnoText(err));
        return false;
    }
    // Exclusivity first: when another program holds the device, its lines are not ours to
    // touch. flock is a single quick call, so the open-time RTS glitch stays short.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        int err = errno;
        ::close(fd);
        setError(err == EWOULDBLOCK ? LineError::Busy : errorKind(err), errnoText(err));
        return false;
    }
    // Linux raises RTS and DTR inside open(); a raised RTS is the module's command line, so
    // put both where the flow settings want them before anything else. A driver without
    // modem lines (a pseudo-terminal) refuses; the open goes on.
    int rts = TIOCM_RTS, dtr = TIOCM_DTR;
    ::ioctl(fd, rtsRaised ? TIOCMBIS : TIOCMBIC, &rts);
    ::ioctl(fd, dtrRaised ? TIOCMBIS : TIOCMBIC, &dtr);

    if (!::isatty(fd)) {
        ::flock(fd, LOCK_UN);
        ::close(fd);
        setError(LineError::NotATty, "not a serial device");
        return false;
    }
    // Root ignores TIOCEXCL, which is why the flock above is what really keeps others out.
    ::ioctl(fd, TIOCEXCL);
    haveSaved_ = ::tcgetattr(fd, &saved_) == 0;

    if (!watch_.start(fd, 0)) {
        int err = errno;
        fd_ = fd;
        locked_ = true;
        closeDevice();
        setError(LineError::Io, errnoText(err));
        return false;
    }

    fd_ = fd;
    locked_ = true;
    lineFreeAt_ = Clock::time_point{};
    return true;
}

bool PosixLine::configure(const LineSettings &s)
{
    if (fd_ < 0)
        return false;
    speed_t speed = speedConstant(s.baud);
    if (speed == 0) {
        setError(LineError::SettingsRefused, "speed not supported");
        return false;
    }
    struct termios t {};
    if (::tcgetattr(fd_, &t) != 0) {
        setError(LineError::SettingsRefused, errnoText(errno));
        return false;
    }
    // Raw 8N1: every byte value passes unchanged both ways; no XON/XOFF, no signals, no CR/LF
    // translation. CLOCAL: the module has no carrier line.
    ::cfmakeraw(&t);
    t.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK | ISTRIP);
    t.c_iflag |= IGNBRK;
    t.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
    t.c_cflag |= CS8 | CLOCAL | CREAD;
    // Linux knows one hardware handshake that covers both CTS and RTS. DTR handshake, RTS
    // toggle and the DSR settings have no termios equivalent and are left off.
    if (s.ctsFlow || s.rts == LineSettings::Rts::Handshake)
        t.c_cflag |= CRTSCTS;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    ::cfsetispeed(&t, speed);
    ::cfsetospeed(&t, speed);
    if (::tcsetattr(fd_, TCSANOW, &t) != 0) {
        setError(LineError::SettingsRefused, errnoText(errno));
        return false;
    }
    byteTime_ = std::chrono::nanoseconds(10LL * 1000000000LL / s.baud);
    return true;
}

void PosixLine::close()
{
    closeDevice();
}

void PosixLine::closeDevice()
{
    if (fd_ >= 0) {
        // Whoever closes has let the output drain within its bound; what is still queued goes
        // now, or the close would wait for the driver (up to its closing_wait, 30 s) and the
        // program would freeze.
        purge();
        if (haveSaved_)
            ::tcsetattr(fd_, TCSANOW, &saved_);
        ::ioctl(fd_, TIOCNXCL);
        if (locked_)
            ::flock(fd_, LOCK_UN);
        ::close(fd_);
        fd_ = -1;
    }
    watch_.stop();
    locked_ = haveSaved_ = false;
}

int PosixLine::write(const uint8_t *data, int length, int timeoutMs)
{
    if (fd_ < 0)
        return -1;
    if (length <= 0)
        return 0;
    const bool limited = timeoutMs > 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    int done = 0;
    while (done < length) {
        ssize_t n = ::write(fd_, data + done, size_t(length - done));
        if (n > 0) {
            done += int(n);
            lineFreeAt_ = std::max(lineFreeAt_, Clock::now()) + byteTime_ * n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN) {
            if (done == 0) {
                setError(errorKind(errno), errnoText(errno));
                return -1;
            }
            break;
        }
        // The driver's buffer is full: let the kernel wait for room, within the budget.
        int left = remainingMs(limited, deadline);
        if (left == 0)
            break;
        pollfd p{fd_, POLLOUT, 0};
        int r = ::poll(&p, 1, left);
        if (r < 0 && errno != EINTR)
            break;
        if (r > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) && !(p.revents & POLLOUT))
            break;
    }
    // Done when the bytes have left, within the same budget. What a held transmitter keeps
    // past it is not counted; it stays queued until the port drains or discards it. The
    // count is taken after the time check, so that a thread the scheduler kept away past
    // the budget still counts what left meanwhile.
    int unsent = 0;
    for (;;) {
        const bool late = limited && Clock::now() >= deadline;
        unsent = unsentOutput();
        if (unsent == 0 || late)
            break;
        sleepWhileSending(limited, deadline);
    }
    const int left = std::max(0, done - unsent);
    if (left > 0)
        watch_.transmitEmpty();
    return left;
}

int PosixLine::driverQueued() const
{
    int queued = 0;
    if (fd_ < 0 || ::ioctl(fd_, TIOCOUTQ, &queued) != 0)
        return 0;
    return std::max(queued, 0);
}

int PosixLine::unsentOutput()
{
    if (fd_ < 0)
        return 0;
    const auto inFlight = lineFreeAt_ - Clock::now();
    const long long onTheLine =
        inFlight.count() > 0 ? (inFlight + byteTime_ - std::chrono::nanoseconds(1)) / byteTime_ : 0;
    return std::max(driverQueued(), int(std::min<long long>(onTheLine, 1 << 30)));
}

void PosixLine::sleepWhileSending(bool limited, Clock::time_point deadline) const
{
    // Until the line time of what was written has passed, or, when the driver still holds
    // bytes after it (a transmitter held by flow control), for their line time. Never less
    // than a tenth of a millisecond, so that the check that follows is no spin.
    const auto now = Clock::now();
    auto until = std::max(
        {lineFreeAt_, now + byteTime_ * driverQueued(), now + std::chrono::microseconds(100)});
    if (limited)
        until = std::min(until, deadline);
    const auto wait = until - now;
    if (wait.count() <= 0)
        return;
    timespec ts{};
    ts.tv_sec = time_t(std::chrono::duration_cast<std::chrono::seconds>(wait).count());
    ts.tv_nsec = long((wait - std::chrono::seconds(ts.tv_sec)).count());
    ::nanosleep(&ts, nullptr);
}

int PosixLine::drainOutput(int timeoutMs)
{
    if (fd_ < 0)
        return 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    for (;;) {
        const bool late = Clock::now() >= deadline;
        if (unsentOutput() == 0 || late)
            break;
        sleepWhileSending(true, deadline);
    }
    const int dropped = driverQueued();
    discardUnsent();
    return dropped;
}

void PosixLine::discardUnsent()
{
    // Only the driver's queue can be recalled. A pseudo-terminal reports none: its far end
    // holds bytes that have left, and flushing it would throw them away unread.
    if (driverQueued() > 0)
        ::tcflush(fd_, TCOFLUSH);
    lineFreeAt_ = std::min(lineFreeAt_, Clock::now());
}

int PosixLine::read(uint8_t *data, int length, int timeoutMs)
{
    if (fd_ < 0)
        return -1;
    if (length <= 0)
        return 0;
    const bool limited = true; // a read always has its time-out
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    int got = 0;
    bool first = true;
    for (;;) {
        ssize_t n = ::read(fd_, data + got, size_t(length - got));
        if (n > 0) {
            got += int(n);
            // Bytes already waiting are returned at once.
            if (first || got == length)
                return got;
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && errno != EAGAIN) {
            if (got == 0 && first) {
                setError(errorKind(errno), errnoText(errno));
                return -1;
            }
            return got;
        } else if (n == 0 && !first) {
            return got;
        }
        first = false;
        int left = remainingMs(limited, deadline);
        if (left == 0)
            return got;
        pollfd p{fd_, POLLIN, 0};
        int r = ::poll(&p, 1, left);
        if (r < 0 && errno != EINTR)
            return got;
        if (r > 0 && !(p.revents & POLLIN))
            return got; // hang-up or error: nothing more will come
    }
}

int PosixLine::queuedInput()
{
    if (fd_ < 0)
        return -1;
    int count = 0;
    if (::ioctl(fd_, FIONREAD, &count) != 0)
        return -1;
    return count;
}

void PosixLine::purge()
{
    if (fd_ < 0)
        return;
    ::tcflush(fd_, TCIFLUSH);
    discardUnsent();
}

bool PosixLine::modemInputs(unsigned &bits)
{
    bits = 0;
    int status = 0;
    if (fd_ < 0 || ::ioctl(fd_, TIOCMGET, &status) != 0)
        return false;
    if (status & TIOCM_CTS)
        bits |= CtsOn;
    if (status & TIOCM_DSR)
        bits |= DsrOn;
    if (status & TIOCM_RNG)
        bits |= RingOn;
    if (status & TIOCM_CAR)
        bits |= RlsdOn;
    return true;
}

bool PosixLine::setModemBit(int bit, bool raised)
{
    if (fd_ < 0)
        return false;
    return ::ioctl(fd_, raised ? TIOCMBIS : TIOCMBIC, &bit) == 0;
}

bool PosixLine::setRts(bool raised)
{
    return setModemBit(TIOCM_RTS, raised);
}

bool PosixLine::setDtr(bool raised)
{
    return setModemBit(TIOCM_DTR, raised);
}

SerialLine::Wait PosixLine::waitEvent()
{
    return watch_.wait();
}

void PosixLine::takeEvents()
{
    watch_.take();
}

void PosixLine::wake()
{
    watch_.wake();
}
