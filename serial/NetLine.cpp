#include "serial/NetLine.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <optional>
#include <set>

#include <fcntl.h>
#include <linux/sockios.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// A host that has not answered by then is not going to: the operator is told "no answer".
constexpr int kConnectMs = 3000;
// How long the server gets for each answer during the open and the line settings.
constexpr int kAnswerMs = 2000;
// A purge waits this long for the server to have done it; a server that does not answer
// purges all the same, only later.
constexpr int kPurgeMs = 500;
// Round trips measured at the open.
constexpr int kRoundTrips = 5;
// The shortest command wait the module core keeps (4 ms) and what the module is given at the
// least (half of it, as the 2 ms after a reset): a round trip that varies more than the
// difference may shrink a wait below it on the way.
constexpr double kCommandWaitMs = 4.0;
constexpr double kModuleNeedMs = 2.0;
// The input queue: a tty's is 4 KiB; a network port gets more, since the network delivers in
// bursts. When full, the socket is left unread and TCP holds the server back.
constexpr size_t kMaxInput = 64 * 1024;
// A connection made by reachable() is taken over by an open that comes within this time.
constexpr auto kParkedFor = std::chrono::seconds(10);

struct Address {
    bool raw = false;
    std::string host, port;
};

std::optional<Address> parseDevice(const std::string &device)
{
    Address a;
    std::string rest;
    if (device.rfind("rfc2217://", 0) == 0) {
        rest = device.substr(10);
    } else if (device.rfind("socket://", 0) == 0) {
        rest = device.substr(9);
        a.raw = true;
    } else {
        return std::nullopt;
    }
    size_t colon;
    if (!rest.empty() && rest[0] == '[') {
        const size_t close = rest.find(']');
        if (close == std::string::npos || close + 1 >= rest.size() || rest[close + 1] != ':')
            return std::nullopt;
        a.host = rest.substr(1, close - 1);
        colon = close + 1;
    } else {
        colon = rest.rfind(':');
        if (colon == std::string::npos)
            return std::nullopt;
        a.host = rest.substr(0, colon);
        if (a.host.find(':') != std::string::npos)
            return std::nullopt;
    }
    a.port = rest.substr(colon + 1);
    if (a.host.empty() || a.host.find_first_of("/?@ ") != std::string::npos || a.port.empty() ||
        a.port.size() > 5 || a.port.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const int port = std::stoi(a.port);
    if (port < 1 || port > 65535)
        return std::nullopt;
    return a;
}

// System errors of a connection become a result and a message in this one place.
LineError connectError(int err)
{
    switch (err) {
    case ECONNREFUSED:
        return LineError::Refused;
    case ENETUNREACH:
    case EHOSTUNREACH:
    case ENETDOWN:
    case EHOSTDOWN:
    case EADDRNOTAVAIL:
        return LineError::Unreachable;
    case ETIMEDOUT:
        return LineError::NoAnswer;
    default:
        return LineError::Io;
    }
}

std::string connectText(LineError e, const std::string &where, int err)
{
    switch (e) {
    case LineError::Refused:
        return "connection refused by " + where;
    case LineError::Unreachable:
        return where + " is unreachable (" + std::strerror(err) + ")";
    case LineError::NoAnswer:
        return "no answer from " + where + " within " + std::to_string(kConnectMs / 1000) + " s";
    default:
        return where + ": " + std::strerror(err);
    }
}

int remainingMs(Clock::time_point deadline)
{
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? int(left.count()) : 0;
}

void sleepUntil(Clock::time_point until)
{
    const auto wait = until - Clock::now();
    if (wait.count() <= 0)
        return;
    timespec ts{};
    ts.tv_sec = time_t(std::chrono::duration_cast<std::chrono::seconds>(wait).count());
    ts.tv_nsec = long((wait - std::chrono::seconds(ts.tv_sec)).count());
    ::nanosleep(&ts, nullptr);
}

// Where a host's port is, as last found by a successful open: the look for a lost port needs
// no name look-up, which could block.
struct Known {
    sockaddr_storage address{};
    socklen_t length = 0;
};

// Connection attempts of reachable(), by device; shared by every port, hence the lock.
struct Attempt {
    int fd = -1;
    Clock::time_point started;
};

std::mutex &registryLock()
{
    static std::mutex m;
    return m;
}
std::map<std::string, Known> &knownAddresses()
{
    static std::map<std::string, Known> m;
    return m;
}
std::map<std::string, Attempt> &attempts()
{
    static std::map<std::string, Attempt> m;
    return m;
}
std::set<std::string> &toldUneven()
{
    static std::set<std::string> s;
    return s;
}

// 1 connected, 0 still connecting, -1 failed. (The socket's error is taken by the first look
// at it; a failed socket also says so by its hang-up, and has no peer.)
int connectState(int fd)
{
    pollfd p{fd, POLLOUT, 0};
    if (::poll(&p, 1, 0) <= 0)
        return 0;
    int err = 0;
    socklen_t len = sizeof err;
    sockaddr_storage peer{};
    socklen_t peerLength = sizeof peer;
    if ((p.revents & (POLLERR | POLLHUP)) ||
        ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0 || err != 0 ||
        ::getpeername(fd, reinterpret_cast<sockaddr *>(&peer), &peerLength) != 0)
        return -1;
    return 1;
}

int startConnect(const sockaddr *address, socklen_t length, int *err)
{
    const int fd = ::socket(address->sa_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        *err = errno;
        return -1;
    }
    if (::connect(fd, address, length) == 0 || errno == EINPROGRESS) {
        *err = 0;
        return fd;
    }
    *err = errno;
    ::close(fd);
    return -1;
}

// A connection attempt of reachable() that stands, taken over; -1 for none.
int takeParked(const std::string &device)
{
    std::lock_guard<std::mutex> lk(registryLock());
    const auto it = attempts().find(device);
    if (it == attempts().end())
        return -1;
    const Attempt a = it->second;
    attempts().erase(it);
    if (Clock::now() - a.started < kParkedFor && connectState(a.fd) == 1)
        return a.fd;
    ::close(a.fd);
    return -1;
}

} // namespace

NetLine::~NetLine()
{
    closeDevice();
}

bool NetLine::isNetworkDevice(const std::string &device)
{
    return device.rfind("rfc2217://", 0) == 0 || device.rfind("socket://", 0) == 0;
}

bool NetLine::fail(LineError error, const std::string &text)
{
    closeDevice();
    setError(error, text);
    return false;
}

bool NetLine::open(const std::string &device, bool rtsRaised, bool dtrRaised)
{
    closeDevice();
    setError(LineError::None, {});
    const std::optional<Address> a = parseDevice(device);
    if (!a) {
        setError(LineError::Io, "not a network port (rfc2217://HOST:PORT or socket://HOST:PORT)");
        return false;
    }
    raw_ = a->raw;
    device_ = device;
    where_ = a->host + ":" + a->port;
    option_ = ComPortOption();
    input_.clear();
    inputHead_ = 0;
    peerGone_ = false;
    lines_ = Lines::Unknown;
    rttMinMs_ = rttMaxMs_ = 0;
    notice_.clear();
    lineFreeAt_ = Clock::time_point{};

    int fd = takeParked(device);
    if (fd < 0) {
        addrinfo hints{};
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_flags = AI_ADDRCONFIG;
        addrinfo *found = nullptr;
        const int gai = ::getaddrinfo(a->host.c_str(), a->port.c_str(), &hints, &found);
        if (gai != 0) {
            setError(LineError::Unreachable,
                     "unknown host " + a->host + " (" + ::gai_strerror(gai) + ")");
            return false;
        }
        const auto deadline = Clock::now() + std::chrono::milliseconds(kConnectMs);
        int err = ETIMEDOUT;
        for (addrinfo *ai = found; ai && fd < 0; ai = ai->ai_next) {
            int candidate = startConnect(ai->ai_addr, ai->ai_addrlen, &err);
            if (candidate < 0)
                continue;
            pollfd p{candidate, POLLOUT, 0};
            int r;
            do
                r = ::poll(&p, 1, remainingMs(deadline));
            while (r < 0 && errno == EINTR);
            socklen_t len = sizeof err;
            if (r == 0)
                err = ETIMEDOUT;
            else if (::getsockopt(candidate, SOL_SOCKET, SO_ERROR, &err, &len) != 0)
                err = errno;
            if (r > 0 && err == 0) {
                fd = candidate;
                std::lock_guard<std::mutex> lk(registryLock());
                Known &k = knownAddresses()[device];
                std::memcpy(&k.address, ai->ai_addr, ai->ai_addrlen);
                k.length = ai->ai_addrlen;
            } else {
                ::close(candidate);
            }
        }
        ::freeaddrinfo(found);
        if (fd < 0) {
            const LineError e = connectError(err);
            setError(e, connectText(e, where_, err));
            return false;
        }
    }
    // Every request goes out at once, not held back to gather a fuller packet: the waits
    // between them are what the module sees. Keep-alive and a time-out on unacknowledged
    // data notice a host that vanished without a word, as an unplugged adapter is noticed.
    const int one = 1, idle = 5, interval = 2, count = 3;
    const unsigned userTimeout = 10000;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &one, sizeof one);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof count);
    ::setsockopt(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, &userTimeout, sizeof userTimeout);
    fd_ = fd;

    // The server closing its side is the connection's end, as a hang-up is a tty's.
    if (!watch_.start(fd_, EPOLLRDHUP))
        return fail(LineError::Io, std::strerror(errno));
    if (raw_)
        return true;

    // The option first, then, before any other setting, RTS and DTR where the caller wants
    // them: a server opens the device when the client connects, and Linux raises both then.
    if (!sendRequest(option_.greeting()))
        return fail(LineError::Io, where_ + " closed the connection");
    const bool answered =
        await([this] { return option_.offer() != ComPortOption::Offer::Pending; }, kAnswerMs);
    if (!answered || option_.offer() != ComPortOption::Offer::Accepted) {
        // A server that gives up at once says why in plain text (ser2net: "Device open
        // failure: ..."): the first line of it goes to the operator.
        std::string said(input_.begin() + long(inputHead_), input_.end());
        said.resize(std::min({said.find_first_of("\r\n"), said.size(), size_t(200)}));
        if (peerGone_)
            return fail(LineError::Io, where_ + " closed the connection" +
                                           (said.empty() ? std::string() : ": " + said));
        if (!answered)
            return fail(LineError::NoAnswer, "no answer from " + where_ + " to RFC 2217");
        return fail(LineError::Io, where_ + " does not serve the port with RFC 2217 (socket:// "
                                            "reaches a raw TCP port)");
    }
    sendRequest(ComPortOption::request(
        ComPortOption::SetControl, rtsRaised ? ComPortOption::RtsOn : ComPortOption::RtsOff, 1));
    sendRequest(ComPortOption::request(
        ComPortOption::SetControl, dtrRaised ? ComPortOption::DtrOn : ComPortOption::DtrOff, 1));
    measureRoundTrips();
    if (peerGone_)
        return fail(LineError::Io, where_ + " closed the connection");
    return true;
}

void NetLine::measureRoundTrips()
{
    // A speed request with the value 0 asks for the speed and changes nothing. The server
    // answers requests in order, so when the first answer is here, the answers to the RTS and
    // DTR requests sent before it are here too, or will never come.
    std::vector<double> samples;
    for (int i = 0; i <= kRoundTrips; ++i) {
        const unsigned before = option_.baudAnswers();
        const auto start = Clock::now();
        if (!sendRequest(ComPortOption::request(ComPortOption::SetBaudRate, 0, 4)) ||
            !await([&] { return option_.baudAnswers() > before; }, kAnswerMs))
            break;
        // The first answer also waits for the server to open its device: not a round trip.
        if (i > 0)
            samples.push_back(
                std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    if (option_.baudAnswers() == 0)
        return; // a server that answers no speed request: nothing known of its lines
    lines_ = option_.lineAnswers() > 0 ? Lines::Answered : Lines::Unanswered;
    if (samples.empty())
        return;
    rttMinMs_ = *std::min_element(samples.begin(), samples.end());
    rttMaxMs_ = *std::max_element(samples.begin(), samples.end());
    if (rttMaxMs_ - rttMinMs_ <= kCommandWaitMs - kModuleNeedMs)
        return;
    std::lock_guard<std::mutex> lk(registryLock());
    if (!toldUneven().insert(device_).second)
        return;
    char text[200];
    std::snprintf(text, sizeof text,
                  "round trip %.1f to %.1f ms: a %.0f ms command wait may reach the module "
                  "shorter than %.0f ms",
                  rttMinMs_, rttMaxMs_, kCommandWaitMs, kModuleNeedMs);
    notice_ = text;
}

bool NetLine::configure(const LineSettings &s)
{
    if (fd_ < 0)
        return false;
    if (s.baud <= 0) {
        setError(LineError::SettingsRefused, "speed not supported");
        return false;
    }
    byteTime_ = std::chrono::nanoseconds(10LL * 1000000000LL / s.baud);
    if (raw_)
        return true; // the far end's speed is set there
    const unsigned before = option_.baudAnswers();
    // 8N1; the one hardware handshake a server knows covers both CTS and RTS, as on Linux.
    const bool hardware = s.ctsFlow || s.rts == LineSettings::Rts::Handshake;
    const bool sent =
        sendRequest(ComPortOption::request(ComPortOption::SetBaudRate, uint32_t(s.baud), 4)) &&
        sendRequest(ComPortOption::request(ComPortOption::SetDataSize, 8, 1)) &&
        sendRequest(ComPortOption::request(ComPortOption::SetParity, ComPortOption::NoParity, 1)) &&
        sendRequest(
            ComPortOption::request(ComPortOption::SetStopSize, ComPortOption::OneStopBit, 1)) &&
        sendRequest(ComPortOption::request(
            ComPortOption::SetControl,
            hardware ? ComPortOption::HardwareFlowControl : ComPortOption::NoFlowControl, 1));
    if (!sent) {
        setError(LineError::SettingsRefused, where_ + " closed the connection");
        return false;
    }
    if (await([&] { return option_.baudAnswers() > before; }, kAnswerMs) &&
        option_.lastBaud() != uint32_t(s.baud)) {
        setError(LineError::SettingsRefused,
                 where_ + " runs the port at " + std::to_string(option_.lastBaud()) + " bit/s");
        return false;
    }
    return true;
}

void NetLine::close()
{
    closeDevice();
}

void NetLine::closeDevice()
{
    watch_.stop();
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

void NetLine::pump()
{
    if (fd_ < 0 || peerGone_)
        return;
    uint8_t wire[4096];
    uint8_t data[sizeof wire];
    for (;;) {
        if (inputHead_ > 0 && inputHead_ == input_.size()) {
            input_.clear();
            inputHead_ = 0;
        }
        const size_t queued = input_.size() - inputHead_;
        if (queued >= kMaxInput)
            return; // full: the socket keeps the rest, and TCP holds the server back
        // The data a read gives is never more than its wire bytes, so it always fits.
        const size_t want = std::min(sizeof wire, kMaxInput - queued);
        const ssize_t n = ::recv(fd_, wire, want, MSG_DONTWAIT);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        if (n <= 0) {
            peerGone_ = true;
            return;
        }
        if (inputHead_ > kMaxInput) {
            input_.erase(input_.begin(), input_.begin() + long(inputHead_));
            inputHead_ = 0;
        }
        if (raw_) {
            input_.insert(input_.end(), wire, wire + n);
            continue;
        }
        const int count = option_.take(wire, int(n), data);
        input_.insert(input_.end(), data, data + count);
        if (lines_ == Lines::Unanswered && option_.lineAnswers() > 0)
            lines_ = Lines::Answered; // late, but the server does drive the lines
        const std::string answers = option_.takeAnswers();
        if (!answers.empty())
            sendRequest(answers);
    }
}

int NetLine::sendAll(const char *wire, int length, bool limited, Clock::time_point deadline)
{
    int done = 0;
    while (done < length) {
        const ssize_t n =
            ::send(fd_, wire + done, size_t(length - done), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            done += int(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            peerGone_ = true;
            return done > 0 ? done : -1;
        }
        const int left = limited ? remainingMs(deadline) : -1;
        if (left == 0)
            break;
        pollfd p{fd_, POLLOUT, 0};
        if (::poll(&p, 1, left) < 0 && errno != EINTR)
            break;
    }
    return done;
}

bool NetLine::sendRequest(const std::string &request)
{
    if (fd_ < 0)
        return false;
    const auto deadline = Clock::now() + std::chrono::milliseconds(kAnswerMs);
    return sendAll(request.data(), int(request.size()), true, deadline) == int(request.size());
}

bool NetLine::await(const std::function<bool()> &done, int timeoutMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        pump();
        if (done())
            return true;
        const int left = remainingMs(deadline);
        if (peerGone_ || left == 0)
            return false;
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, left) < 0 && errno != EINTR)
            return false;
    }
}

int NetLine::write(const uint8_t *data, int length, int timeoutMs)
{
    // A server that has closed the connection takes nothing more, though this machine's
    // network stack may still accept a byte or two before it knows.
    if (fd_ < 0 || peerGone_ || watch_.lost())
        return -1;
    if (length <= 0)
        return 0;
    const bool limited = timeoutMs > 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string wire;
    if (raw_)
        wire.assign(reinterpret_cast<const char *>(data), size_t(length));
    else
        ComPortOption::escape(data, length, wire);
    int sentWire = sendAll(wire.data(), int(wire.size()), limited, deadline);
    if (sentWire < 0) {
        setError(LineError::Io, where_ + " closed the connection");
        return -1;
    }
    // A doubled 0xFF never goes out by half: the server would take the next byte for a
    // command.
    int sent = 0;
    for (int pos = 0; sent < length; ++sent) {
        const int size = !raw_ && data[sent] == TelnetParser::IAC ? 2 : 1;
        if (pos + size > sentWire) {
            if (pos < sentWire &&
                sendAll(wire.data() + sentWire, 1, true,
                        Clock::now() + std::chrono::milliseconds(kAnswerMs)) == 1) {
                ++sentWire;
                ++sent;
            }
            break;
        }
        pos += size;
    }
    lineFreeAt_ = std::max(lineFreeAt_, Clock::now()) + byteTime_ * sent;
    // Done when the bytes have left this machine and their line time has passed, within the
    // same budget. Bytes handed over have their line time for sure, also when the scheduler
    // kept this thread away until the budget was spent: it is always waited for.
    const auto endOfWait = std::max(deadline, lineFreeAt_);
    int unsent = 0;
    for (;;) {
        const bool late = limited && Clock::now() >= endOfWait;
        unsent = unsentOutput();
        if (unsent == 0 || late)
            break;
        auto until = std::max(lineFreeAt_, Clock::now() + std::chrono::microseconds(100));
        if (limited)
            until = std::min(until, endOfWait);
        sleepUntil(until);
    }
    const int left = std::max(0, sent - unsent);
    if (left > 0)
        watch_.transmitEmpty();
    return left;
}

int NetLine::socketUnsent() const
{
    int unsent = 0;
    if (fd_ < 0 || ::ioctl(fd_, SIOCOUTQNSD, &unsent) != 0)
        return 0;
    return std::max(unsent, 0);
}

int NetLine::unsentOutput()
{
    if (fd_ < 0)
        return 0;
    const auto inFlight = lineFreeAt_ - Clock::now();
    const long long onTheLine =
        inFlight.count() > 0 ? (inFlight + byteTime_ - std::chrono::nanoseconds(1)) / byteTime_ : 0;
    return std::max(socketUnsent(), int(std::min<long long>(onTheLine, 1 << 30)));
}

int NetLine::drainOutput(int timeoutMs)
{
    if (fd_ < 0)
        return 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    while (unsentOutput() > 0 && Clock::now() < deadline)
        sleepUntil(std::min({lineFreeAt_, deadline,
                             std::max(lineFreeAt_, Clock::now() + std::chrono::milliseconds(1))}));
    // What this machine has handed to the network is beyond recall; nothing is dropped.
    lineFreeAt_ = std::min(lineFreeAt_, Clock::now());
    return 0;
}

int NetLine::read(uint8_t *data, int length, int timeoutMs)
{
    if (fd_ < 0)
        return -1;
    if (length <= 0)
        return 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    int got = 0;
    bool first = true;
    for (;;) {
        pump();
        const int take = int(std::min(size_t(length - got), input_.size() - inputHead_));
        if (take > 0) {
            std::memcpy(data + got, input_.data() + inputHead_, size_t(take));
            inputHead_ += size_t(take);
            got += take;
        }
        // Bytes already waiting are returned at once.
        if (got == length || (first && got > 0))
            return got;
        first = false;
        const int left = remainingMs(deadline);
        if (left == 0 || peerGone_)
            return got;
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, left) < 0 && errno != EINTR)
            return got;
    }
}

int NetLine::queuedInput()
{
    if (fd_ < 0)
        return -1;
    pump();
    return int(input_.size() - inputHead_);
}

void NetLine::purge()
{
    if (fd_ < 0)
        return;
    // The server drops what it holds both ways, and what it sent before its answer goes here:
    // once the purge has returned, only bytes that reached the server after it come in.
    if (!raw_) {
        const unsigned before = option_.purgeAnswers();
        if (sendRequest(
                ComPortOption::request(ComPortOption::PurgeData, ComPortOption::PurgeBoth, 1)))
            await([&] { return option_.purgeAnswers() > before; }, kPurgeMs);
    }
    pump();
    input_.clear();
    inputHead_ = 0;
    lineFreeAt_ = std::min(lineFreeAt_, Clock::now());
}

bool NetLine::modemInputs(unsigned &bits)
{
    bits = 0;
    if (fd_ < 0 || raw_)
        return false;
    pump();
    if (!option_.modemStateKnown())
        return false;
    bits = option_.modemState() & (CtsOn | DsrOn | RingOn | RlsdOn);
    return true;
}

bool NetLine::setLine(uint8_t on, uint8_t off, bool raised)
{
    if (fd_ < 0 || raw_)
        return false;
    if (!sendRequest(ComPortOption::request(ComPortOption::SetControl, raised ? on : off, 1)))
        return false;
    // The request is on its way; whether it was carried out is not waited for, so that the
    // command waits count from here. A server known to leave these requests unanswered
    // cannot drive the lines.
    pump();
    return lines_ != Lines::Unanswered;
}

bool NetLine::setRts(bool raised)
{
    return setLine(ComPortOption::RtsOn, ComPortOption::RtsOff, raised);
}

bool NetLine::setDtr(bool raised)
{
    return setLine(ComPortOption::DtrOn, ComPortOption::DtrOff, raised);
}

SerialLine::Wait NetLine::waitEvent()
{
    return watch_.wait();
}

void NetLine::takeEvents()
{
    watch_.take();
}

void NetLine::wake()
{
    watch_.wake();
}

bool NetLine::reachable(const std::string &device)
{
    std::lock_guard<std::mutex> lk(registryLock());
    auto it = attempts().find(device);
    if (it != attempts().end()) {
        const int state = connectState(it->second.fd);
        if (state == 1)
            return true;
        if (state == 0 && Clock::now() - it->second.started < std::chrono::milliseconds(kConnectMs))
            return false;
        ::close(it->second.fd); // refused, unreachable, or no answer: the next look tries anew
        attempts().erase(it);
        return false;
    }
    Known known;
    const auto k = knownAddresses().find(device);
    if (k != knownAddresses().end()) {
        known = k->second;
    } else {
        const std::optional<Address> a = parseDevice(device);
        addrinfo hints{};
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_flags = AI_ADDRCONFIG;
        addrinfo *found = nullptr;
        if (!a || ::getaddrinfo(a->host.c_str(), a->port.c_str(), &hints, &found) != 0)
            return false;
        std::memcpy(&known.address, found->ai_addr, found->ai_addrlen);
        known.length = found->ai_addrlen;
        ::freeaddrinfo(found);
    }
    int err = 0;
    const int fd =
        startConnect(reinterpret_cast<const sockaddr *>(&known.address), known.length, &err);
    if (fd < 0)
        return false;
    // A host nearby answers within a moment: a short look spares the operator a second.
    pollfd p{fd, POLLOUT, 0};
    ::poll(&p, 1, 20);
    const int state = connectState(fd);
    if (state < 0) {
        ::close(fd);
        return false;
    }
    attempts()[device] = Attempt{fd, Clock::now()};
    return state == 1;
}
