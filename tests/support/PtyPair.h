#pragma once

// A pseudo-terminal pair: the slave's path is the device the component opens, the test plays
// the far end on the master.

#include <QByteArray>
#include <QString>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

class PtyPair {
public:
    PtyPair()
    {
        int slave = -1;
        char name[256] = {};
        if (::openpty(&master_, &slave, name, nullptr, nullptr) == 0) {
            path_ = QString::fromLocal8Bit(name);
            // Keep the slave open here too: a pty whose last slave descriptor closes hangs
            // up its master, which would look like a lost device between two openings.
            slave_ = slave;
            struct termios t {};
            ::tcgetattr(master_, &t);
            ::cfmakeraw(&t);
            ::tcsetattr(master_, TCSANOW, &t);
            ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
        }
    }
    ~PtyPair()
    {
        closeMaster();
        if (slave_ >= 0)
            ::close(slave_);
    }
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    bool ok() const { return master_ >= 0; }
    QString path() const { return path_; }
    int master() const { return master_; }
    int slaveKeeper() const { return slave_; }

    void write(const QByteArray &bytes)
    {
        int done = 0;
        while (done < bytes.size()) {
            ssize_t n = ::write(master_, bytes.constData() + done, size_t(bytes.size() - done));
            if (n > 0) {
                done += int(n);
            } else {
                pollfd p{master_, POLLOUT, 0};
                ::poll(&p, 1, 100);
            }
        }
    }

    // Reads what the component sent, waiting up to timeoutMs for want bytes.
    QByteArray read(int want, int timeoutMs = 1000)
    {
        QByteArray out;
        char buf[4096];
        while (out.size() < want) {
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, timeoutMs) <= 0)
                break;
            ssize_t n = ::read(master_, buf, sizeof buf);
            if (n <= 0)
                break;
            out.append(buf, int(n));
        }
        return out;
    }

    // Makes link name this pseudo-terminal's slave, replacing in one step whatever it named
    // before, as udev replaces the stable name of an adapter plugged in again.
    bool linkAs(const QString &link) const
    {
        const QByteArray to = link.toLocal8Bit();
        const QByteArray tmp = to + ".new";
        ::unlink(tmp.constData());
        return ::symlink(path_.toLocal8Bit().constData(), tmp.constData()) == 0 &&
               ::rename(tmp.constData(), to.constData()) == 0;
    }

    // An unplugged adapter: the far end vanishes.
    void closeMaster()
    {
        if (master_ >= 0)
            ::close(master_);
        master_ = -1;
    }
    // Hands the keeper to the test, which then decides when the slave's last descriptor goes.
    void dropSlaveKeeper()
    {
        if (slave_ >= 0)
            ::close(slave_);
        slave_ = -1;
    }

private:
    int master_ = -1;
    int slave_ = -1;
    QString path_;
};
