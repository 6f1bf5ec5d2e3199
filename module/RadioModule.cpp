// The module speaks through one serial line: while the programming line (RTS) is raised it
// takes command letters with their parameter bytes, while it is lowered it relays data over
// the air. Nothing paces the commands but the fixed waits here, and nothing answers them but
// the configuration dump.

#include "module/RadioModule.h"

#include "serial/Radiocom.h"
#include "traffic/ConfigDump.h"

#include <QThread>

#include <array>
#include <cstring>
#include <optional>

namespace {

constexpr int kAddressDigits = 10;
// Payload lengths travel in bits in one parameter byte: 31 bytes (248 bits) is the most it
// carries.
constexpr int kMaxPayloadBytes = 31;
// How long the module gets to answer "R" with its dump.
constexpr int kReplyTimeoutMs = 500;
// The module wakes on any character and needs about 7 ms before it takes the next one.
constexpr int kWakeUpMs = 10;
// Reset only needs "X" to be through before the line falls.
constexpr int kResetMs = 2;
// Between the speed command and closing the port, so that the module has switched.
constexpr int kSpeedSwitchMs = 4;

const char *const kPowerLogs[] = {"Set Power to 0 dBm", "Set Power to -5 dBm",
                                  "Set Power to -10 dBm", "Set Power to -20 dBm"};

// The module speed change, by entry of the Speed list. The log lines keep the wording the
// operators know, "33.600" for 38400 included.
struct SpeedEntry {
    const char *log;
    int code;
};
constexpr SpeedEntry kSpeeds[] = {
    {"Set BaudRate to 9.600", 1},  {"Set BaudRate to 19.200", 2},   {"Set BaudRate to 33.600", 4},
    {"Set BaudRate to 57.600", 8}, {"Set BaudRate to 115.000", 16},
};
constexpr int kSpeedCount = int(sizeof kSpeeds / sizeof kSpeeds[0]);

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

// The five bytes of an address text, digits 1 and 2 first, or the first pair that is no
// hexadecimal number. Each pair is read as "0x" and the pair, so the operator sees the
// conversion error the console has always shown ("'0xG1' is not a valid integer value").
std::optional<std::array<uint8_t, 5>> addressBytes(const QString &text, QString *badPair)
{
    std::array<uint8_t, 5> bytes{};
    for (int i = 0; i < 5; ++i) {
        const int high = hexDigit(text.at(2 * i));
        const int low = hexDigit(text.at(2 * i + 1));
        if (high < 0 || low < 0) {
            *badPair = text.mid(2 * i, 2);
            return std::nullopt;
        }
        bytes[size_t(i)] = uint8_t(high * 16 + low);
    }
    return bytes;
}

} // namespace

RadioModule::RadioModule(TRadioCom &port, ModuleReport &report) : port_(port), report_(report)
{
    // Fires once per Read Config, which arms it again.
    replyTimer_.setSingleShot(true);
    QObject::connect(&replyTimer_, &QTimer::timeout, &replyTimer_, [this] { ReplyTimeout(); });
}

// ---------------------------------------------------------------------------------------
// Command channel

// The report follows the line as last set, whatever the port answered (a closed port refuses
// the change).
void RadioModule::ProgramModeOn()
{
    port_.SetRTSState(true);
    report_.programmingLine(true);
}

void RadioModule::ProgramModeOff()
{
    port_.SetRTSState(false);
    report_.programmingLine(false);
}

bool RadioModule::SendText(const QByteArray &text)
{
    const int sent = port_.SendBuffer(reinterpret_cast<const unsigned char *>(text.constData()),
                                      int(text.size()));
    if (sent == text.size())
        return false;
    // A closed port (-1) and a short write are the same failure to the operator.
    report_.moduleLog(QStringLiteral("Comm. Error!"));
    report_.moduleNotDetected();
    return true;
}

bool RadioModule::RefusedOnDataPort(const char *operation)
{
    if (!port_.DataOnly())
        return false;
    report_.operationRefused(
        QStringLiteral("%1 refused: %2 carries data only and cannot drive the programming line")
            .arg(QLatin1String(operation), port_.PortLabel()));
    return true;
}

void RadioModule::SendParameter(int value)
{
    port_.SendByte(static_cast<unsigned char>(value & 0xFF));
}

void RadioModule::Pause(int ms)
{
    // The module's interpreter needs these gaps; nothing else paces the command steps.
    QThread::msleep(static_cast<unsigned long>(ms));
}

void RadioModule::OneByteCommand(char letter, int parameter, const QString &log, LogAt at)
{
    if (at == LogAt::BeforeLine && !log.isEmpty())
        report_.moduleLog(log);
    ProgramModeOn();
    SendText(QByteArray(1, letter));
    if (at == LogAt::AfterLetter && !log.isEmpty())
        report_.moduleLog(log);
    Pause(CommandDelay);
    if (at == LogAt::AfterFirstWait && !log.isEmpty())
        report_.moduleLog(log);
    SendParameter(parameter);
    Pause(CommandDelay);
    ProgramModeOff();
    Pause(CommandDelay);
}

// ---------------------------------------------------------------------------------------
// Configuration write
//
// Everything that could stop the write half-way is checked before the first command goes
// out: a module left with half a configuration, or with the programming line raised, answers
// nothing sensible until the next command operation.

bool RadioModule::WriteConfig(const ModuleConfig &c)
{
    if (RefusedOnDataPort("Set Module"))
        return false;
    if (Asleep)
        WakeUp();
    if (c.address1.size() != kAddressDigits) {
        report_.writeRefused(
            {ModuleRefusal::Kind::Input, QStringLiteral("Error. Address Length must be 10!")});
        return false;
    }
    QString badPair;
    const auto address = addressBytes(c.address1, &badPair);
    if (!address) {
        report_.writeRefused({ModuleRefusal::Kind::Conversion,
                              QStringLiteral("'0x%1' is not a valid integer value").arg(badPair)});
        return false;
    }
    const std::pair<int, const char *> payloads[] = {{c.dataW1, "Data1 RX"},
                                                     {c.dataW2, "Data2 RX"},
                                                     {c.dataW1TX, "Data1 TX"},
                                                     {c.dataW2TX, "Data2 TX"}};
    for (const auto &[bytes, caption] : payloads) {
        if (bytes > kMaxPayloadBytes) {
            report_.writeRefused(
                {ModuleRefusal::Kind::Input, QStringLiteral("Error. %1 must be %2 bytes or less!")
                                                 .arg(QLatin1String(caption))
                                                 .arg(kMaxPayloadBytes)});
            return false;
        }
    }

    report_.moduleLog(QStringLiteral("Set Module."));
    WriteChannel(c.channel);
    OneByteCommand('L', c.dataW1 * 8, QStringLiteral("Set Data Length 1."), LogAt::AfterFirstWait);
    OneByteCommand('l', c.dataW2 * 8, QStringLiteral("Set Data Length 2."), LogAt::AfterFirstWait);
    OneByteCommand('T', c.dataW1TX * 8, QStringLiteral("Set Data Length 1.TX"),
                   LogAt::AfterFirstWait);
    OneByteCommand('t', c.dataW2TX * 8, QStringLiteral("Set Data Length 2.TX"),
                   LogAt::AfterFirstWait);
    WriteDataRate(c.rateIndex);
    // With no power selected there is no line to log, and the code 0 (-20 dBm) goes out.
    const int power = c.powerIndex;
    OneByteCommand('P', powerCodeForIndex(power),
                   power >= 0 && power < 4 ? QLatin1String(kPowerLogs[power]) : QString(),
                   LogAt::BeforeLine);
    OneByteCommand('W', c.addressWidth * 8, QStringLiteral("Set Address Width"),
                   LogAt::AfterFirstWait);
    ProgramModeOn();
    SendText(QByteArrayLiteral("A"));
    Pause(CommandDelay);
    // Five bytes whatever the address width; the module matches only the first width bytes.
    for (const uint8_t b : *address) {
        SendParameter(b);
        Pause(CommandDelay);
    }
    ProgramModeOff();
    Pause(CommandDelay);

    // A wait of its own before the read-back, after the address exchange's last one. The
    // read-back shows what the module took; a read still under way makes it do nothing.
    Pause(CommandDelay);
    ReadConfig();
    return true;
}

void RadioModule::WriteChannel(int channel)
{
    if (RefusedOnDataPort("Set Channel"))
        return;
    OneByteCommand('C', channel, QStringLiteral("Set Channel."), LogAt::AfterFirstWait);
}

void RadioModule::WriteDataRate(int rateIndex)
{
    if (RefusedOnDataPort("Set RF Data Rate"))
        return;
    // Only "250Kbs" is the slow rate; "1Mbs" and no selection are the fast one.
    OneByteCommand('D', rateIndex == 0 ? 0x00 : 0xFF, QStringLiteral("Set RF Data Rate."),
                   LogAt::AfterLetter);
}

// ---------------------------------------------------------------------------------------
// Maintenance

void RadioModule::ReadConfig()
{
    // One read at a time: its dump is still awaited, or is being taken in.
    if (ReadActive || RefusedOnDataPort("Read Config"))
        return;
    if (Asleep)
        WakeUp();
    ByteCount = 0;
    ProgramModeOn();
    Pause(CommandDelay);
    SendText(QByteArrayLiteral("R"));
    report_.moduleLog(QStringLiteral("Read Config"));
    // From here on the port's bytes are taken as the dump; the answer cannot be handled
    // before this operation has returned.
    ReadActive = true;
    Pause(CommandDelay);
    ProgramModeOff();
    ReplyPending = true;
    replyTimer_.setInterval(kReplyTimeoutMs);
    replyTimer_.start();
}

void RadioModule::ReplyTimeout()
{
    replyTimer_.stop();
    const bool unanswered = ReplyPending;
    if (unanswered) {
        // No dump came: give up the read so that a new one is accepted.
        ReadActive = false;
        report_.moduleLog(QStringLiteral("Comm. Error!"));
        report_.moduleNotDetected();
    }
    ReplyPending = false;
    if (unanswered)
        report_.readEnded(false);
}

void RadioModule::WakeUp()
{
    report_.moduleLog(QStringLiteral("Wake Up."));
    Asleep = false;
    // The line is low here (every command operation ends with it low): a sleeping module
    // wakes on any character and drops it, so "x" never reaches its interpreter.
    SendText(QByteArrayLiteral("x"));
    Pause(kWakeUpMs);
    report_.moduleAsleep(false);
}

void RadioModule::Sleep()
{
    if (RefusedOnDataPort("Sleep"))
        return;
    if (Asleep) {
        WakeUp();
        return;
    }
    report_.moduleLog(QStringLiteral("Sleep."));
    ProgramModeOn();
    SendText(QByteArrayLiteral("S"));
    Pause(CommandDelay);
    ProgramModeOff();
    Asleep = true;
    report_.moduleAsleep(true);
}

void RadioModule::Reset()
{
    // The sleep flag stays as it is: the console cannot tell what a reset did to a sleeping
    // module, and the next command operation wakes it anyway if the flag is set.
    if (RefusedOnDataPort("Reset"))
        return;
    ProgramModeOn();
    SendText(QByteArrayLiteral("X"));
    report_.moduleLog(QStringLiteral("Reset"));
    Pause(kResetMs);
    ProgramModeOff();
}

bool RadioModule::ChangeSpeed(int index)
{
    if (index < 0 || index >= kSpeedCount || RefusedOnDataPort("Set Speed"))
        return false;
    // The module takes the command at the speed the port still has, and switches after it.
    OneByteCommand('B', kSpeeds[index].code, QLatin1String(kSpeeds[index].log), LogAt::BeforeLine);
    Pause(kSpeedSwitchMs);
    return true;
}

// ---------------------------------------------------------------------------------------
// The dump

bool RadioModule::TakeDump(int count)
{
    if (count < ConfigDump::Size)
        return false; // the rest of the dump is still on its way
    uint8_t batch[ConfigDump::Size];
    const int got = port_.ReceiveBuffer(batch, ConfigDump::Size);
    if (got <= 0)
        return true; // the port went away under us: nothing to take
    // Only the bytes really read are stored, and never beyond the buffer: batches after the
    // fifth (a wrong dump followed by more bytes) are read and dropped.
    const int room = ReplyBufferSize - ByteCount;
    const int keep = got < room ? got : room;
    if (keep > 0) {
        std::memcpy(ReplyBuffer + ByteCount, batch, size_t(keep));
        ByteCount += keep;
    }
    if (ByteCount < ConfigDump::Size || ReplyBuffer[0] != ConfigDump::Marker)
        return true;
    report_.configRead(ConfigDump::decode(ReplyBuffer));
    ReadActive = false;
    ReplyPending = false;
    report_.moduleLog(QStringLiteral("OK"));
    report_.readEnded(true);
    return true;
}
