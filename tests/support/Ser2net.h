#pragma once

// Debian's ser2net serving one device on a free port of this machine's loopback, with RFC 2217
// or as a raw TCP port, from a configuration of the test's own; started and ended by the test,
// and started again on the same port to bring a lost connection back.

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>
#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

class Ser2net {
public:
    explicit Ser2net(const QString &device, bool rfc2217 = true)
        : device_(device), rfc2217_(rfc2217)
    {
    }
    ~Ser2net() { stop(); }
    Ser2net(const Ser2net &) = delete;
    Ser2net &operator=(const Ser2net &) = delete;

    static QString program()
    {
        QString p = QStandardPaths::findExecutable(QStringLiteral("ser2net"));
        if (p.isEmpty())
            p = QStandardPaths::findExecutable(QStringLiteral("ser2net"),
                                               {QStringLiteral("/usr/sbin")});
        return p;
    }

    // A port of the loopback that nothing listens on now.
    static int freePort()
    {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        int port = 0;
        if (::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0 &&
            ::getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len) == 0)
            port = ntohs(a.sin_port);
        ::close(fd);
        return port;
    }

    // Starts serving, on the port of the last start if there was one; true once it listens.
    bool start()
    {
        if (port_ == 0)
            port_ = freePort();
        const QString config = dir_.filePath(QStringLiteral("ser2net.yaml"));
        QFile f(config);
        if (!f.open(QIODevice::WriteOnly))
            return false;
        f.write(QStringLiteral("connection: &quorvane\n"
                               "  accepter: %1tcp,127.0.0.1,%2\n"
                               "  connector: serialdev,%3,9600n81,local\n"
                               "  options:\n"
                               "    kickolduser: true\n"
                               "    chardelay: false\n")
                    .arg(rfc2217_ ? QStringLiteral("telnet(rfc2217),") : QString())
                    .arg(port_)
                    .arg(device_)
                    .toUtf8());
        f.close();
        // Its chatter ("Unable to start mdns") goes nowhere, and it ends with the test even
        // when the test crashes: an orphan would keep the port and ctest's output pipe.
        process_.setStandardOutputFile(QProcess::nullDevice());
        process_.setStandardErrorFile(QProcess::nullDevice());
        process_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
        // -n: in the foreground; -u: no UUCP lock files, which need a system folder.
        process_.start(program(),
                       {QStringLiteral("-n"), QStringLiteral("-u"), QStringLiteral("-c"), config});
        if (!process_.waitForStarted(5000))
            return false;
        for (int i = 0; i < 500; ++i) {
            if (listening())
                return true;
            QThread::msleep(10);
        }
        return false;
    }
    // Ends the server at once, as a crash or a pulled cable would: its connections go.
    void stop()
    {
        if (process_.state() == QProcess::NotRunning)
            return;
        process_.kill();
        process_.waitForFinished(5000);
    }

    int port() const { return port_; }
    QString url() const
    {
        return QStringLiteral("%1://127.0.0.1:%2")
            .arg(rfc2217_ ? QStringLiteral("rfc2217") : QStringLiteral("socket"))
            .arg(port_);
    }

private:
    // Whether the kernel lists the port as listening, without a connection that would make
    // ser2net open the device.
    bool listening() const
    {
        QFile tcp(QStringLiteral("/proc/net/tcp"));
        if (!tcp.open(QIODevice::ReadOnly))
            return false;
        const QByteArray local =
            QByteArray(":") + QByteArray::number(port_, 16).toUpper().rightJustified(4, '0');
        for (const QByteArray &line : tcp.readAll().split('\n')) {
            const QList<QByteArray> f = line.simplified().split(' ');
            if (f.size() > 3 && f.at(1).endsWith(local) && f.at(3) == "0A")
                return true;
        }
        return false;
    }

    QString device_;
    bool rfc2217_;
    int port_ = 0;
    QTemporaryDir dir_;
    QProcess process_;
};
