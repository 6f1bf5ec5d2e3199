#include "serial/LineWatch.h"

#include <cerrno>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

bool LineWatch::start(int fd, uint32_t hangUp)
{
    stop();
    epollFd_ = ::epoll_create1(EPOLL_CLOEXEC);
    eventFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (epollFd_ < 0 || eventFd_ < 0) {
        const int err = errno;
        stop();
        errno = err;
        return false;
    }
    epoll_event ev{};
    ev.events = EPOLLIN | EPOLLET | hangUp;
    ev.data.fd = fd;
    ::epoll_ctl(epollFd_, EPOLL_CTL_ADD, fd, &ev);
    epoll_event wakeEv{};
    wakeEv.events = EPOLLIN;
    wakeEv.data.fd = eventFd_;
    ::epoll_ctl(epollFd_, EPOLL_CTL_ADD, eventFd_, &wakeEv);
    fd_ = fd;
    hangUp_ = hangUp | EPOLLHUP | EPOLLERR;
    txEmpty_ = false;
    lost_ = false;
    return true;
}

void LineWatch::stop()
{
    if (epollFd_ >= 0)
        ::close(epollFd_);
    if (eventFd_ >= 0)
        ::close(eventFd_);
    fd_ = epollFd_ = eventFd_ = -1;
}

SerialLine::Wait LineWatch::wait()
{
    if (epollFd_ < 0 || lost_)
        return SerialLine::Wait::Failed;
    for (;;) {
        const std::optional<SerialLine::Wait> result = collect(-1);
        if (result)
            return *result;
    }
}

void LineWatch::take()
{
    if (epollFd_ >= 0 && !lost_)
        collect(0);
}

std::optional<SerialLine::Wait> LineWatch::collect(int timeoutMs)
{
    epoll_event evs[2];
    const int n = ::epoll_wait(epollFd_, evs, 2, timeoutMs);
    if (n < 0)
        return errno == EINTR ? std::nullopt
                              : std::optional<SerialLine::Wait>(SerialLine::Wait::Failed);
    bool event = false, woken = false;
    for (int i = 0; i < n; ++i) {
        if (evs[i].data.fd == eventFd_) {
            uint64_t v; // one read takes the whole count
            [[maybe_unused]] const ssize_t r = ::read(eventFd_, &v, sizeof v);
            if (txEmpty_.exchange(false))
                event = true;
            else
                woken = true;
            continue;
        }
        if (evs[i].events & EPOLLIN)
            event = true;
        if (evs[i].events & hangUp_) {
            // The device went away (an unplugged adapter, a closed pseudo-terminal master, a
            // closed or broken connection). It will not come back for this opening: stop
            // watching it, and report the loss once the bytes that came with it are announced.
            lost_ = true;
            ::epoll_ctl(epollFd_, EPOLL_CTL_DEL, fd_, nullptr);
        }
    }
    if (event)
        return SerialLine::Wait::Event;
    if (lost_)
        return SerialLine::Wait::Failed;
    if (woken)
        return SerialLine::Wait::Woken;
    return std::nullopt;
}

void LineWatch::wake()
{
    if (eventFd_ >= 0) {
        uint64_t one = 1;
        [[maybe_unused]] ssize_t r = ::write(eventFd_, &one, sizeof one);
    }
}

void LineWatch::transmitEmpty()
{
    txEmpty_ = true;
    wake();
}
