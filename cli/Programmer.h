#pragma once

// One module on one port, as quorvane-cli drives it: the serial component and the module core
// on it, with the core's log lines as progress and its waits for an answer run on an event
// loop. Bytes the module hands over in data mode go to OnData, or are dropped.

#include "module/RadioModule.h"
#include "serial/Radiocom.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

class Output;
class QEventLoop;

class Programmer : private ModuleReport {
public:
    // echo: whether the core's log lines are progress.
    explicit Programmer(const Output &out, bool echo = true);
    ~Programmer() override;
    Programmer(const Programmer &) = delete;
    Programmer &operator=(const Programmer &) = delete;

    // The Speed list's rates in bit/s, by entry.
    static constexpr int SpeedBauds[] = {9600, 19200, 38400, 57600, 115200};

    // Opens COM<comIndex + 1> as the port directory maps it, at the speed of the Speed list
    // entry speedIndex (0 = 9600 ... 4 = 115200), with the programming line lowered. Empty,
    // or why the port did not open.
    QString Open(int comIndex, int speedIndex);
    // The same for a device named by its own text: a path, or sim:NAME.
    QString OpenDevice(const QString &device, int speedIndex);
    void Close();
    // The adapter went away while the port was open (since the last opening).
    bool Unplugged() const { return unplugged_; }
    // Bytes that came while the last read waited for its dump.
    int HeardBytes() const { return heard_; }

    RadioModule &Module() { return module_; }
    TRadioCom &Port() { return port_; }

    // Read Config, then the event loop until the dump or the time-out.
    std::optional<ModuleConfig> Read();
    // Set Module with its read-back. Nothing when refused (Refusal() says why) or when the
    // module did not answer.
    std::optional<ModuleConfig> Write(const ModuleConfig &config);
    // Why the last operation was refused before anything was sent, or empty.
    QString Refusal() const { return refusal_; }
    // Set Speed: the module, then the port, to the entry speedIndex; then a Read Config at the
    // new speed. Nothing when the port did not open again (OpenError()) or no answer came.
    std::optional<ModuleConfig> ChangeSpeed(int speedIndex);
    QString OpenError() const { return port_.LastOpenError(); }
    // A command did not go out whole, or a read got no answer, since the port was opened.
    bool NotDetected() const { return notDetected_; }

    std::function<void(const QByteArray &)> OnData;

private:
    void Received(int count);
    QString openPort(int speedIndex);
    std::optional<ModuleConfig> AwaitRead();

    void moduleLog(const QString &line) override;
    void moduleNotDetected() override { notDetected_ = true; }
    void programmingLine(bool) override {}
    void moduleAsleep(bool) override {}
    void writeRefused(const ModuleRefusal &refusal) override { refusal_ = refusal.text; }
    void operationRefused(const QString &text) override { refusal_ = text; }
    void configRead(const ModuleConfig &config) override { readBack_ = config; }
    void readEnded(bool answered) override;

    const Output &out_;
    const bool echo_;
    TRadioCom port_;
    RadioModule module_;
    QString refusal_;
    bool notDetected_ = false;
    bool unplugged_ = false;
    int heard_ = 0;
    std::optional<ModuleConfig> readBack_;
    QEventLoop *waiting_ = nullptr;
};
