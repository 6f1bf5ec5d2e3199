#include "cli/Programmer.h"

#include "cli/Output.h"

#include <QEventLoop>

Programmer::Programmer(const Output &out, bool echo) : out_(out), echo_(echo), module_(port_, *this)
{
    // The line settings of the main window: the programming line is the system's to drive.
    port_.SetRtsFlowControl(RTSOff);
    port_.SetReadTimeout(1);
    port_.SetWriteTimeout(10);
    port_.SetOnReceive([this](int count) { Received(count); });
    // An unplugged adapter fails every transfer from here on; a read still waiting for its
    // dump would only learn it from the time-out.
    port_.SetOnDeviceLost([this] {
        unplugged_ = true;
        if (waiting_)
            waiting_->quit();
    });
}

Programmer::~Programmer()
{
    port_.SetOnReceive({});
    port_.SetOnDeviceLost({});
}

QString Programmer::Open(int comIndex, int speedIndex)
{
    port_.SetComStatus(false);
    port_.SetDevice({});
    port_.SetComPort(static_cast<ports>(comIndex));
    return openPort(speedIndex);
}

QString Programmer::OpenDevice(const QString &device, int speedIndex)
{
    port_.SetComStatus(false);
    port_.SetDevice(device);
    return openPort(speedIndex);
}

void Programmer::Close()
{
    port_.SetComStatus(false);
}

QString Programmer::openPort(int speedIndex)
{
    port_.SetBaudRate(static_cast<bauds>(br9600 + speedIndex));
    port_.SetComStatus(true);
    if (!port_.Connected())
        return port_.LastOpenError();
    notDetected_ = false;
    unplugged_ = false;
    // The module is in data mode after every opening.
    module_.ProgramModeOff();
    return {};
}

void Programmer::Received(int count)
{
    if (count <= 0)
        return;
    if (module_.ReadActive) {
        heard_ = module_.ByteCount + count;
        module_.TakeDump(count);
        return;
    }
    // Data mode: whatever the module hands over is read, so that it cannot pass for a dump.
    QByteArray bytes(count, '\0');
    const int got = port_.ReceiveBuffer(reinterpret_cast<unsigned char *>(bytes.data()), count);
    if (got > 0 && OnData)
        OnData(bytes.left(got));
}

std::optional<ModuleConfig> Programmer::AwaitRead()
{
    if (module_.ReadActive) {
        QEventLoop loop;
        waiting_ = &loop;
        loop.exec();
        waiting_ = nullptr;
    }
    return readBack_;
}

std::optional<ModuleConfig> Programmer::Read()
{
    readBack_.reset();
    refusal_.clear();
    heard_ = 0;
    module_.ReadConfig();
    return AwaitRead();
}

std::optional<ModuleConfig> Programmer::Write(const ModuleConfig &config)
{
    readBack_.reset();
    heard_ = 0;
    refusal_.clear();
    if (!module_.WriteConfig(config))
        return std::nullopt;
    return AwaitRead();
}

std::optional<ModuleConfig> Programmer::ChangeSpeed(int speedIndex)
{
    refusal_.clear();
    if (!module_.ChangeSpeed(speedIndex))
        return std::nullopt;
    // As the window's port set-up: the port opens again at the new speed, line lowered.
    port_.SetBaudRate(static_cast<bauds>(br9600 + speedIndex));
    if (!port_.Connected())
        return std::nullopt;
    module_.ProgramModeOff();
    return Read();
}

void Programmer::moduleLog(const QString &line)
{
    if (echo_)
        out_.Progress(line);
}

void Programmer::readEnded(bool)
{
    if (waiting_)
        waiting_->quit();
}
