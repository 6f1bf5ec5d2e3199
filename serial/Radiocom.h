#pragma once

// The serial port component: one serial port, its choice, speed, line settings and
// time-outs; opening and closing through Connected; the lock; the modem lines; byte and
// buffer transfer; and, while the port is open, a watcher thread (TComReader) whose line
// events reach the OnReceive handler on the main thread with the input queue count.
//
// Results follow one convention: -1 when refused (port not open or a precondition unmet),
// otherwise the number of bytes moved; line changes give 0 or -1. The component never shows
// anything: callers learn about a failed open from Connected and LastOpenError().

#include "serial/PortDirectory.h"
#include "serial/SerialLine.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

class QSocketNotifier;

enum ports : uint8_t {
    COM1 = 0,
    COM2,
    COM3,
    COM4,
    COM5,
    COM6,
    COM7,
    COM8,
    COM9,
    COM10,
    COM11,
    COM12,
    COM13,
    COM14,
    COM15,
    COM16,
    COM17,
    COM18,
    COM19,
    COM20,
    COM21
};
enum bauds : uint8_t {
    br110 = 0,
    br150,
    br300,
    br600,
    br1200,
    br2400,
    br4800,
    br9600,
    br19200,
    br38400,
    br57600,
    br115200
};
enum TCtsFlowControl : uint8_t { CTSOff = 0, CTSOn = 1 };
enum TDtrFlowControl : uint8_t { DTROff = 0, DTROn = 1, DTRHandshake = 2 };
enum TRtsFlowControl : uint8_t { RTSOff = 0, RTSOn = 1, RTSHandshake = 2, RTSToggle = 3 };
enum TDsrSensitivity : uint8_t { DSRDetect = 0, DSRIgnore = 1 };
enum TDsrFlowControl : uint8_t { DSROn = 0, DSROff = 1 };

// Escape function codes of EscapeComm.
enum : int { SETRTS = 3, CLRRTS = 4, SETDTR = 5, CLRDTR = 6 };

// A counting semaphore: the component's lock. Not re-entrant.
class TSemaphore {
public:
    TSemaphore(int initial, int maximum) : count_(initial), max_(maximum) {}
    void acquire();
    bool release(); // false when already at the maximum

private:
    std::mutex m_;
    std::condition_variable cv_;
    int count_;
    int max_;
};

// The watcher of one opening of the port. It waits for line events on its own thread and
// hands each one to the main thread; the next one goes over only after the main thread has
// run the last, with everything the line reported meanwhile. All of its protocol is plain C++
// so that the thread sanitizer can judge it.
class QTimer;

class TComReader {
public:
    // wakeMain is called on the watcher thread after a notification has been queued; it must
    // make the main thread call TakeNotification() soon.
    TComReader(SerialLine &line, std::function<void()> wakeMain);
    ~TComReader(); // Stop()
    TComReader(const TComReader &) = delete;
    TComReader &operator=(const TComReader &) = delete;

    // Main thread. Ends the watcher at once: wakes its wait, releases it from a hand-over
    // (that notification is dropped), and joins it. After Stop() the watcher no longer
    // touches the line.
    void Stop();

    // Main thread. The hand-over: a notification to run, or none (the token is false when
    // none was pending); the watcher hands over no other until Finish() of the token.
    class Delivery {
    public:
        explicit operator bool() const { return bool(state_); }
        void Finish();
        ~Delivery() { Finish(); }
        Delivery(Delivery &&) = default;
        Delivery &operator=(Delivery &&) = default;

    private:
        friend class TComReader;
        struct State;
        explicit Delivery(std::shared_ptr<State> s) : state_(std::move(s)) {}
        std::shared_ptr<State> state_;
    };
    Delivery TakeNotification();
    // Main thread. True once after the line failed for good (the device went away); the
    // watcher stays parked until Stop().
    bool TakeLoss();

    // For tests and the benchmark: notifications handed over so far.
    uint64_t Delivered() const;

private:
    void Execute(); // the thread body

    SerialLine &line_;
    std::function<void()> wakeMain_;
    std::shared_ptr<Delivery::State> state_;
    std::thread thread_;
};

class TRadioCom : public QObject {
    Q_OBJECT
    Q_PROPERTY(int ComPort READ comPortValue WRITE setComPortValue)
    Q_PROPERTY(int BaudRate READ baudRateValue WRITE setBaudRateValue)
    Q_PROPERTY(bool Connected READ Connected WRITE SetComStatus)
    Q_PROPERTY(int ReadTimeout READ ReadTimeout WRITE SetReadTimeout)
    Q_PROPERTY(int WriteTimeout READ WriteTimeout WRITE SetWriteTimeout)

public:
    using TReceiveEvent = std::function<void(int Count)>;
    // A line for the operator about the port: bytes that never left and were dropped.
    using TNoticeEvent = std::function<void(const QString &text)>;

    explicit TRadioCom(QObject *owner = nullptr);
    ~TRadioCom() override;

    // Port and speed. Setting either while open closes and reopens the port.
    ports GetComPort() const;
    void SetComPort(ports p);
    // A device to open instead of the COM name's: a path or a target of a registered scheme
    // ("sim:B"), as a [Devices] entry names it. Many ports at once are opened this way, one
    // component each, beyond the twenty-one COM names. Empty: the COM name's device. Takes
    // effect at the next open.
    void SetDevice(const QString &device) { device_ = device; }
    QString Device() const { return device_; }
    bauds GetBaudRate() const;
    void SetBaudRate(bauds b);
    bool Connected() const { return connected_; }
    void SetComStatus(bool c);

    // Plain values: they take effect at the next open (an open port keeps the time-outs it
    // was opened with).
    TCtsFlowControl CtsFlowControl() const { return cts_; }
    void SetCtsFlowControl(TCtsFlowControl v) { cts_ = v; }
    TDtrFlowControl DtrFlowControl() const { return dtr_; }
    void SetDtrFlowControl(TDtrFlowControl v) { dtr_ = v; }
    TRtsFlowControl RtsFlowControl() const { return rts_; }
    void SetRtsFlowControl(TRtsFlowControl v) { rts_ = v; }
    TDsrSensitivity DsrSensitivity() const { return dsrSens_; }
    void SetDsrSensitivity(TDsrSensitivity v) { dsrSens_ = v; }
    TDsrFlowControl DsrFlowControl() const { return dsrFlow_; }
    void SetDsrFlowControl(TDsrFlowControl v) { dsrFlow_ = v; }
    int ReadTimeout() const { return readTimeout_; }
    void SetReadTimeout(int v);
    int WriteTimeout() const { return writeTimeout_; }
    void SetWriteTimeout(int v);

    const TReceiveEvent &OnReceive() const { return onReceive_; }
    void SetOnReceive(TReceiveEvent handler) { onReceive_ = std::move(handler); }
    void SetOnNotice(TNoticeEvent handler) { onNotice_ = std::move(handler); }
    // Arrivals gathered: once a receive event has run, the next waits at least ms and carries
    // all that came meanwhile, so that a steady stream wakes this thread and the watcher once
    // in ms instead of on every arrival (a module's UART hands a 25-byte packet over in four
    // pieces). For an owner that counts packets rather than answering them; nothing is lost
    // while the line's input queue holds ms of bytes. 0, the default: each arrival at once;
    // setting it lets an event held back go at once.
    void SetReceiveGathering(int ms);
    // Raised on the main thread when the device of the open port has gone away (hang-up of
    // an unplugged adapter). The port stays open, every transfer failing, until it is closed.
    using TDeviceLostEvent = std::function<void()>;
    void SetOnDeviceLost(TDeviceLostEvent handler) { onDeviceLost_ = std::move(handler); }

    // The name the port is known by ("COM1" to "COM21", or "ComFile.txt") and the mode text
    // of the speed ("9600,N,8,1").
    const char *DeviceName() const { return deviceName_; }
    const char *ModeText() const { return modeText_; }
    // Why the last open failed: the device and the cause, for the operator; empty after a
    // successful open.
    QString LastOpenError() const { return lastOpenError_; }
    // The port as the log names it: "COM3 (rfc2217://rack-2:7003)".
    QString PortLabel() const;
    // The open port carries data and nothing else (a raw TCP port): it cannot drive the
    // programming line.
    bool DataOnly() const { return connected_ && line_ && line_->dataOnly(); }

    void OpenPort();
    void ClosePort();
    int CreateHandle();
    void DestroyHandle();
    void Lock() { lock_.acquire(); }
    void Unlock() { lock_.release(); }

    bool GetModemState(int line);
    bool GetCTSState() { return GetModemState(1); }
    bool GetDSRState() { return GetModemState(2); }
    int SetDTRState(bool on) { return EscapeComm(on ? SETDTR : CLRDTR); }
    int SetRTSState(bool on) { return EscapeComm(on ? SETRTS : CLRRTS); }
    int EscapeComm(int function);

    int SendByte(unsigned char b);
    int SendCTSByte(unsigned char b);
    int SendBuffer(const unsigned char *data, int length);
    int SendPlainBuffer(const unsigned char *data, int length);
    int SendCTSBuffer(const unsigned char *data, int length);
    int SendStepBuffer(const unsigned char *data, int length);
    int ReceiveBuffer(unsigned char *data, int length);

    void OnComReceive(int Count);

    // For tests and the benchmark: the line of the current opening (null while closed) and
    // the watcher's count of notifications.
    SerialLine *Line() const { return line_.get(); }
    uint64_t NotificationsDelivered() const { return reader_ ? reader_->Delivered() : 0; }

private:
    int comPortValue() const { return GetComPort(); }
    void setComPortValue(int p) { SetComPort(static_cast<ports>(p)); }
    int baudRateValue() const { return GetBaudRate(); }
    void setBaudRateValue(int b) { SetBaudRate(static_cast<bauds>(b)); }

    void runNotification(); // main thread, when the watcher has queued one
    bool openLocked();      // OpenPort with the lock held
    // The name the operator knows the port by (the COM name, or the device given), and what
    // it opens.
    QString portName() const;
    PortDirectory::Target target() const;
    LineSettings lineSettings() const;
    int baudFromModeText() const;
    // Lets unsent output leave within timeoutMs and says what had to be dropped; lock held.
    // Returns the notice for the operator, empty when nothing was dropped.
    QString drainOutput(int timeoutMs, const char *when);
    // Milliseconds the line takes for `bytes` at the open port's speed, rounded up.
    int lineTimeMs(int bytes) const;

    bool connected_ = false;
    int readTimeout_ = 1;
    int writeTimeout_ = 10;
    // The time-outs the open port runs with, taken at the open.
    int openReadTimeout_ = 1;
    int openWriteTimeout_ = 10;
    int portIndex_ = COM2;
    int speedIndex_ = br9600;
    const char *deviceName_ = "COM2";
    const char *modeText_ = "9600,N,8,1";
    QString device_;
    TReceiveEvent onReceive_;
    TNoticeEvent onNotice_;
    TDeviceLostEvent onDeviceLost_;
    TCtsFlowControl cts_ = CTSOff;
    TDtrFlowControl dtr_ = DTROff;
    TRtsFlowControl rts_ = RTSHandshake;
    TDsrFlowControl dsrFlow_ = DSROff;
    TDsrSensitivity dsrSens_ = DSRIgnore;
    std::unique_ptr<SerialLine> line_;
    TSemaphore lock_{1, 10};
    std::unique_ptr<TComReader> reader_;
    QString lastOpenError_;
    // The watcher wakes the main thread through this eventfd; a notifier on the main thread
    // runs the queued notification. No Qt object is touched from the watcher thread.
    int wakeFd_ = -1;
    QSocketNotifier *wakeNotifier_ = nullptr;
    // The receive event that ran last, finished only when the gathering's time is up.
    int gatherMs_ = 0;
    std::optional<TComReader::Delivery> held_;
    QTimer *gatherTimer_ = nullptr;
};
