// A network port against real servers started here: Debian's ser2net serving a
// pseudo-terminal with RFC 2217 on a free loopback port. Every byte value passes both ways,
// the speed set here is the pty's, a purge drops what had come, a server that leaves the
// modem-line requests unanswered still gives a port; a connection that goes is a lost device
// the watcher reports, and comes back once the server does. Opens that fail say why in the
// operator's terms: refused, unreachable, no answer, no RFC 2217.

#include "serial/NetLine.h"
#include "serial/PortDirectory.h"
#include "serial/Radiocom.h"
#include "support/PtyPair.h"
#include "support/Ser2net.h"

#include <QRegularExpression>
#include <QTest>

#include <netinet/in.h>
#include <sched.h>
#include <sys/socket.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

QByteArray everyValue()
{
    QByteArray all(256, '\0');
    for (int i = 0; i < 256; ++i)
        all[i] = char(i);
    return all;
}

// What the line gives within five seconds, up to want bytes.
QByteArray readAll(NetLine &line, int want)
{
    QByteArray got;
    for (int i = 0; i < 500 && got.size() < want; ++i) {
        uint8_t buf[256];
        const int n = line.read(buf, std::min(want - int(got.size()), 256), 10);
        got.append(reinterpret_cast<const char *>(buf), std::max(n, 0));
    }
    return got;
}

speed_t ptySpeed(const PtyPair &pty)
{
    termios t{};
    ::tcgetattr(pty.slaveKeeper(), &t);
    return ::cfgetospeed(&t);
}

// A loopback listener of the test's own; answer is sent to each connection it accepts.
class Listener {
public:
    explicit Listener(int backlog = 4)
    {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        ::bind(fd_, reinterpret_cast<sockaddr *>(&a), sizeof a);
        ::listen(fd_, backlog);
        ::getsockname(fd_, reinterpret_cast<sockaddr *>(&a), &len);
        port_ = ntohs(a.sin_port);
    }
    ~Listener()
    {
        for (int fd : others_)
            ::close(fd);
        ::close(fd_);
    }
    int port() const { return port_; }
    int fd() const { return fd_; }
    // Connections that are never accepted: with the queue full, the kernel drops further
    // connection requests without a word, as a host behind a firewall does.
    void fillQueue()
    {
        for (int i = 0; i < 2; ++i) {
            const int c = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            sockaddr_in a{};
            a.sin_family = AF_INET;
            a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            a.sin_port = htons(uint16_t(port_));
            ::connect(c, reinterpret_cast<sockaddr *>(&a), sizeof a);
            others_.push_back(c);
        }
        QThread::msleep(50);
    }

private:
    int fd_ = -1;
    int port_ = 0;
    std::vector<int> others_;
};

enum class Server { ClosedPort, FullQueue, NoNetwork, TelnetWithoutOption, BadAddress };

} // namespace

Q_DECLARE_METATYPE(Server)

class TestNetLine : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(!Ser2net::program().isEmpty(),
                 "ser2net is missing: scripts/install-deps.sh --test installs it");
    }

    void bytesAndSpeedThroughSer2net()
    {
        PtyPair pty;
        Ser2net server(pty.path());
        QVERIFY(server.start());
        NetLine line;
        QVERIFY2(line.open(server.url().toStdString(), false, false), line.errorText().c_str());
        QVERIFY(line.configure(LineSettings{115200}));
        QCOMPARE(ptySpeed(pty), speed_t(B115200));
        // ser2net leaves the modem-line requests of a pty unanswered: only that call fails.
        QVERIFY(!line.setRts(true));
        QVERIFY(!line.dataOnly());

        const QByteArray all = everyValue();
        QCOMPARE(line.write(reinterpret_cast<const uint8_t *>(all.constData()), 256, 2560), 256);
        QCOMPARE(pty.read(256), all);
        pty.write(all);
        QCOMPARE(readAll(line, 256), all);

        QVERIFY(line.configure(LineSettings{19200}));
        QCOMPARE(ptySpeed(pty), speed_t(B19200));

        pty.write("stale");
        QTRY_COMPARE(line.queuedInput(), 5);
        line.purge();
        QCOMPARE(line.queuedInput(), 0);
        pty.write("fresh");
        QCOMPARE(readAll(line, 5), QByteArray("fresh"));
    }

    // The serial component on the network port, with its watcher: arrivals are announced,
    // a server that goes is a lost device, and once it serves again the port opens again.
    void lossAndReturnAsAnUnplug()
    {
        PtyPair pty;
        Ser2net server(pty.path());
        QVERIFY(server.start());
        PortDirectory::global().setExplicit({{QStringLiteral("COM3"), server.url()}});
        TRadioCom com;
        com.SetRtsFlowControl(RTSOff);
        com.SetComPort(COM3);
        com.SetBaudRate(br115200);
        int announced = 0, lost = 0;
        com.SetOnReceive([&](int count) { announced = std::max(announced, count); });
        com.SetOnDeviceLost([&] { ++lost; });
        com.SetComStatus(true);
        QVERIFY2(com.Connected(), qPrintable(com.LastOpenError()));
        QCOMPARE(com.PortLabel(), QStringLiteral("COM3 (%1)").arg(server.url()));
        pty.write("abc");
        QTRY_COMPARE(announced, 3);

        server.stop();
        QTRY_COMPARE(lost, 1);
        QCOMPARE(com.SendByte('x'), 0); // the connection is gone: nothing goes out
        com.SetComStatus(false);
        const PortDirectory::Target target =
            PortDirectory::global().resolve(QStringLiteral("COM3"));
        QVERIFY(!PortDirectory::global().present(target));
        QVERIFY(server.start());
        QTRY_VERIFY_WITH_TIMEOUT(PortDirectory::global().present(target), 5000);
        com.SetComStatus(true);
        QVERIFY2(com.Connected(), qPrintable(com.LastOpenError()));
        QCOMPARE(com.SendByte('y'), 1);
        QCOMPARE(pty.read(1), QByteArray("y"));
        com.SetComStatus(false);
        PortDirectory::global().setExplicit({});
    }

    // A round trip that varies more than a command wait can spare is told once for the port.
    void unevenRoundTripToldOnce()
    {
        Listener listener;
        std::thread server([fd = listener.fd()] {
            for (int connection = 0; connection < 2; ++connection) {
                const int c = ::accept(fd, nullptr, nullptr);
                ::send(c, "\xff\xfd\x2c", 3, MSG_NOSIGNAL); // DO COM-PORT-OPTION
                QByteArray in;
                int answered = 0;
                char buf[256];
                for (ssize_t n; (n = ::recv(c, buf, sizeof buf, 0)) > 0;) {
                    in.append(buf, int(n));
                    // Each speed request is answered, every other one 15 ms late.
                    for (; answered < int(in.count("\xfa\x2c\x01")); ++answered) {
                        if (answered % 2)
                            QThread::msleep(15);
                        ::send(c, "\xff\xfa\x2c\x65\x00\x00\x25\x80\xff\xf0", 10, MSG_NOSIGNAL);
                    }
                }
                ::close(c);
            }
        });
        const std::string device = "rfc2217://127.0.0.1:" + std::to_string(listener.port());
        for (const bool told : {true, false}) {
            NetLine line;
            QVERIFY(line.open(device, false, false));
            QVERIFY(line.longestRoundTripMs() - line.shortestRoundTripMs() >= 15.0);
            QCOMPARE(QString::fromStdString(line.notice())
                         .contains(QRegularExpression(QStringLiteral(
                             "^round trip [0-9.]+ to [0-9.]+ ms: a 4 ms command wait may reach "
                             "the module shorter than 2 ms$"))),
                     told);
        }
        server.join();
    }

    void openFailures_data()
    {
        QTest::addColumn<Server>("server");
        QTest::addColumn<QString>("why"); // %1: HOST:PORT
        QTest::newRow("refused") << Server::ClosedPort
                                 << QStringLiteral("connection refused by %1");
        QTest::newRow("no answer")
            << Server::FullQueue << QStringLiteral("no answer from %1 within 3 s");
        QTest::newRow("unreachable")
            << Server::NoNetwork << QStringLiteral("%1 is unreachable (Network is unreachable)");
        QTest::newRow("a Telnet server without the option")
            << Server::TelnetWithoutOption
            << QStringLiteral("%1 does not serve the port with RFC 2217 (socket:// reaches a raw "
                              "TCP port)");
        QTest::newRow("no port number")
            << Server::BadAddress
            << QStringLiteral("not a network port (rfc2217://HOST:PORT or socket://HOST:PORT)");
    }
    void openFailures()
    {
        QFETCH(Server, server);
        QFETCH(QString, why);
        Listener listener(0);
        int port = listener.port();
        std::thread refuser;
        if (server == Server::ClosedPort)
            port = Ser2net::freePort();
        if (server == Server::FullQueue)
            listener.fillQueue();
        if (server == Server::TelnetWithoutOption) {
            refuser = std::thread([fd = listener.fd()] {
                const int c = ::accept(fd, nullptr, nullptr);
                ::send(c, "\xff\xfe\x2c", 3, MSG_NOSIGNAL); // DONT COM-PORT-OPTION
                char buf[256];
                while (::recv(c, buf, sizeof buf, 0) > 0) {
                }
                ::close(c);
            });
        }
        const QString where = QStringLiteral("127.0.0.1:%1").arg(port);
        const QString device = server == Server::BadAddress ? QStringLiteral("rfc2217://rack-2")
                                                            : QStringLiteral("rfc2217://") + where;
        NetLine line;
        bool opened = true;
        if (server == Server::NoNetwork) {
            // A thread of its own in a network of its own, with no interface up: nothing
            // leaves this machine, and the system answers at once.
            bool isolated = false;
            std::thread t([&] {
                isolated = ::unshare(CLONE_NEWNET) == 0;
                if (isolated)
                    opened = line.open(device.toStdString(), false, false);
            });
            t.join();
            if (!isolated)
                QSKIP("a network namespace of its own needs root");
        } else {
            opened = line.open(device.toStdString(), false, false);
        }
        if (refuser.joinable()) {
            line.close();
            refuser.join();
        }
        QVERIFY(!opened);
        const PortDirectory::Target target = PortDirectory::global().resolveEntry(device);
        QCOMPARE(
            PortDirectory::failureText(QStringLiteral("COM3"), target, line.error(),
                                       line.errorText()),
            QStringLiteral("COM3 (%1): %2").arg(device, why.replace(QStringLiteral("%1"), where)));
    }
};

QTEST_GUILESS_MAIN(TestNetLine)
#include "tst_netline.moc"
