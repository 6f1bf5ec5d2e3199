#include "sim/SimAir.h"

#include "sim/SimLog.h"
#include "sim/SimModule.h"
#include "sim/SimWorld.h"

#include <QByteArray>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// An air name as one folder name: letters, digits, '-', '_' and '.' stay, at most 40 of them.
std::string folderSafe(const std::string &name)
{
    std::string out;
    for (char c : name) {
        if (out.size() >= 40)
            break;
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                        (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.';
        out += ok ? c : '_';
    }
    if (out == "." || out == "..")
        out = "_";
    return out;
}

// A folder of ours: made if missing (private to the user), and refused when it is a link or
// belongs to someone else, as can happen under /tmp.
bool ownFolder(const std::string &path)
{
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid())
        return false;
    return true;
}

bool makeAddress(const std::string &path, sockaddr_un &addr)
{
    std::memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path)
        return false;
    std::memcpy(addr.sun_path, path.c_str(), path.size());
    return true;
}

bool endsWith(const std::string &s, const char *tail)
{
    const size_t n = std::strlen(tail);
    return s.size() >= n && s.compare(s.size() - n, n, tail) == 0;
}

// The sockets of the folder, all but our own.
std::vector<std::string> peersIn(const std::string &folder, const std::string &own)
{
    std::vector<std::string> out;
    DIR *d = ::opendir(folder.c_str());
    if (!d)
        return out;
    while (dirent *e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (!endsWith(name, ".sock"))
            continue;
        std::string path = folder;
        path += '/';
        path += name;
        if (path != own)
            out.push_back(path);
    }
    ::closedir(d);
    return out;
}

// A socket nobody listens on any more: its process died without cleaning up.
bool isStale(const std::string &path)
{
    sockaddr_un addr;
    if (!makeAddress(path, addr))
        return false;
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool stale = ::connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 &&
                       errno == ECONNREFUSED;
    ::close(fd);
    return stale;
}

} // namespace

SimAir::SimAir(SimWorld &world) : world_(world), random_(std::random_device{}())
{
    const QByteArray loss = qgetenv("QV_SIM_LOSS");
    if (!loss.isEmpty()) {
        bool ok = false;
        const double p = loss.toDouble(&ok);
        if (ok)
            lossPercent_ = p < 0 ? 0 : (p > 100 ? 100 : p);
    }
    const QByteArray interference = qgetenv("QV_SIM_INTERFERENCE");
    std::string error;
    if (!interference.isEmpty() &&
        !SimInterference::parse(interference.toStdString(), &interference_, &error))
        qCWarning(lcSim) << "QV_SIM_INTERFERENCE:" << error.c_str() << "- no interference";
}

SimAir::~SimAir()
{
    shutdown();
}

std::string SimAir::nameFromEnvironment()
{
    if (qEnvironmentVariableIsSet("QV_SIM_AIR"))
        return qgetenv("QV_SIM_AIR").toStdString();
    if (qEnvironmentVariableIsSet("QV_TEST"))
        return {};
    return "default";
}

std::string SimAir::folderOf(const std::string &airName)
{
    const std::string safe = folderSafe(airName);
    if (safe.empty())
        return {};
    const char *runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string base;
    struct stat st {};
    if (runtime && *runtime && ::stat(runtime, &st) == 0 && S_ISDIR(st.st_mode) &&
        ::access(runtime, W_OK) == 0)
        base = std::string(runtime) + "/quorvane-air";
    else
        base = "/tmp/quorvane-air-" + std::to_string(::getuid());
    return base + "/" + safe;
}

bool SimAir::setName(const std::string &airName)
{
    leave();
    const std::string folder = folderOf(airName);
    if (folder.empty())
        return airName.empty();
    const std::string base = folder.substr(0, folder.rfind('/'));
    if (!ownFolder(base) || !ownFolder(folder)) {
        qCWarning(lcSim) << "simulated air: cannot use the folder" << folder.c_str()
                         << "- modules of other programs will not be heard";
        return false;
    }
    for (const std::string &peer : peersIn(folder, {})) {
        if (isStale(peer)) {
            qCDebug(lcSim) << "simulated air: removing the stale socket" << peer.c_str();
            ::unlink(peer.c_str());
        }
    }
    const std::string path = folder + "/" + std::to_string(::getpid()) + ".sock";
    sockaddr_un addr;
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    const int stop = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    ::unlink(path.c_str()); // a leftover of an earlier process with our number
    if (fd < 0 || stop < 0 || !makeAddress(path, addr) ||
        ::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0) {
        qCWarning(lcSim) << "simulated air: cannot open a socket in" << folder.c_str() << "-"
                         << std::strerror(errno);
        if (fd >= 0)
            ::close(fd);
        if (stop >= 0)
            ::close(stop);
        return false;
    }
    {
        std::lock_guard<std::mutex> lk(world_.lock());
        name_ = airName;
        folder_ = folder;
        socketPath_ = path;
        socketFd_ = fd;
        stopFd_ = stop;
    }
    receiver_ = std::thread([this, fd, stop] { receiveLoop(fd, stop); });
    qCDebug(lcSim) << "simulated air" << airName.c_str() << "joined at" << path.c_str();
    return true;
}

void SimAir::leave()
{
    int fd, stop;
    std::string path;
    {
        std::lock_guard<std::mutex> lk(world_.lock());
        fd = socketFd_;
        stop = stopFd_;
        path = socketPath_;
        socketFd_ = stopFd_ = -1;
        socketPath_.clear();
        folder_.clear();
        name_.clear();
    }
    if (stop >= 0) {
        uint64_t one = 1;
        [[maybe_unused]] ssize_t r = ::write(stop, &one, sizeof one);
    }
    if (receiver_.joinable())
        receiver_.join();
    if (fd >= 0) {
        ::close(fd);
        ::unlink(path.c_str());
    }
    if (stop >= 0)
        ::close(stop);
}

void SimAir::shutdown()
{
    leave();
}

std::string SimAir::name() const
{
    std::lock_guard<std::mutex> lk(world_.lock());
    return name_;
}

std::string SimAir::folder() const
{
    std::lock_guard<std::mutex> lk(world_.lock());
    return folder_;
}

void SimAir::setLossPercent(double percent)
{
    std::lock_guard<std::mutex> lk(world_.lock());
    lossPercent_ = percent < 0 ? 0 : (percent > 100 ? 100 : percent);
}

double SimAir::lossPercent() const
{
    std::lock_guard<std::mutex> lk(world_.lock());
    return lossPercent_;
}

void SimAir::setInterference(const SimInterference &interference)
{
    std::lock_guard<std::mutex> lk(world_.lock());
    interference_ = interference;
}

SimInterference SimAir::interference() const
{
    std::lock_guard<std::mutex> lk(world_.lock());
    return interference_;
}

bool SimAir::loses(int channel)
{
    const double busy = interference_.lossPercent(channel);
    if (lossPercent_ <= 0 && busy <= 0)
        return false;
    // Missed for either reason: the even loss and the channel's are independent.
    std::uniform_real_distribution<double> d(0.0, 100.0);
    return d(random_) < lossPercent_ || (busy > 0 && d(random_) < busy);
}

void SimAir::transmit(const SimModule *from, const SimPacket &packet)
{
    for (SimModule *m : world_.modules())
        if (m != from)
            m->hear(packet);
    if (socketFd_ >= 0)
        sendToPeers(packet);
}

void SimAir::sendToPeers(const SimPacket &packet)
{
    const std::vector<uint8_t> datagram = packet.encode();
    for (const std::string &peer : peersIn(folder_, socketPath_)) {
        sockaddr_un addr;
        if (!makeAddress(peer, addr))
            continue;
        const ssize_t n = ::sendto(socketFd_, datagram.data(), datagram.size(), MSG_DONTWAIT,
                                   reinterpret_cast<sockaddr *>(&addr), sizeof addr);
        if (n < 0 && errno == ECONNREFUSED) {
            qCDebug(lcSim) << "simulated air: removing the stale socket" << peer.c_str();
            ::unlink(peer.c_str());
        }
        // A peer whose queue is full misses the packet, as a busy receiver would.
    }
}

void SimAir::receiveLoop(int socketFd, int stopFd)
{
    std::vector<uint8_t> buf(4096);
    for (;;) {
        pollfd p[2] = {{socketFd, POLLIN, 0}, {stopFd, POLLIN, 0}};
        const int r = ::poll(p, 2, -1);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (p[1].revents)
            return;
        if (!(p[0].revents & POLLIN)) {
            if (p[0].revents & (POLLERR | POLLHUP | POLLNVAL))
                return; // the socket is unusable; waiting on it would spin
            continue;
        }
        for (;;) {
            const ssize_t n = ::recv(socketFd, buf.data(), buf.size(), MSG_DONTWAIT);
            if (n < 0)
                break;
            SimPacket packet;
            if (!SimPacket::decode(buf.data(), size_t(n), packet))
                continue; // not one of ours, or damaged
            // Same clock in every process: a packet more than a second away from the present
            // is no packet of this air.
            const SimNs now = simNow();
            if (packet.end < now - 1000 * kSimMilli || packet.end > now + 1000 * kSimMilli)
                continue;
            std::lock_guard<std::mutex> lk(world_.lock());
            for (SimModule *m : world_.modules())
                m->hear(packet);
        }
    }
}
