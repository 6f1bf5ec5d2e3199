// "Set Module": writes the radio configuration of the Settings frame into the module, one
// command at a time, then reads it back so that the controls show what the module now holds.
//
// Everything that could stop the write half-way is checked before the first command goes
// out: a module left with half a configuration, or with the programming line raised, answers
// nothing sensible until the next command operation.

#include "app/ComboBox.h"
#include "app/Memo.h"
#include "app/Prompts.h"
#include "app/Radio.h"
#include "app/RadioGroup.h"
#include "app/SpinEdit.h"
#include "app/StrToInt.h"
#include "traffic/ConfigDump.h"

#include <QLineEdit>
#include <QTimer>

#include <array>

namespace {

constexpr int kAddressDigits = 10;
// Payload lengths travel in bits in one parameter byte: 31 bytes (248 bits) is the most it
// carries.
constexpr int kMaxPayloadBytes = 31;

const char *const kPowerLogs[] = {"Set Power to 0 dBm", "Set Power to -5 dBm",
                                  "Set Power to -10 dBm", "Set Power to -20 dBm"};

// The five bytes of an address text, digits 1 and 2 first. Each pair is read as "0x" and the
// pair, so a pair that is no hexadecimal number gives the conversion error the operator
// knows ("'0xG1' is not a valid integer value").
std::array<uint8_t, 5> addressBytes(const QString &text)
{
    std::array<uint8_t, 5> bytes{};
    for (int i = 0; i < 5; ++i)
        bytes[size_t(i)] = uint8_t(StrToInt(QStringLiteral("0x") + text.mid(2 * i, 2)));
    return bytes;
}

} // namespace

void TMainForm::Button2Click()
{
    Timer1->stop();
    if (ModuleAsleep)
        WakeUp();

    const QString address = EditAddress1->text();
    if (address.size() != kAddressDigits) {
        Prompts::current()->critical(nullptr, QStringLiteral("Error"),
                                     QStringLiteral("Error. Address Length must be 10!"));
        return;
    }
    // Throws the conversion error, shown by the application, before anything is sent.
    addressBytes(address);
    const std::pair<TSpinEdit *, const char *> payloads[] = {
        {DataW1, "Data1 RX"}, {DataW2, "Data2 RX"}, {DataW1TX, "Data1 TX"}, {DataW2TX, "Data2 TX"}};
    for (const auto &[box, caption] : payloads) {
        if (box->Value() > kMaxPayloadBytes) {
            Prompts::current()->critical(nullptr, QStringLiteral("Error"),
                                         QStringLiteral("Error. %1 must be %2 bytes or less!")
                                             .arg(QLatin1String(caption))
                                             .arg(kMaxPayloadBytes));
            return;
        }
    }

    Memo1->AddLine(QStringLiteral("Set Module."));
    WriteChannel();
    WriteDataLength1();
    WriteDataLength2();
    WriteDataLength1TX();
    WriteDataLength2TX();
    WriteDataRate();
    WritePower();
    WriteAddressWidth();
    WriteAddress1();
    Pause(CommandDelay);
    // The read-back refreshes the controls with what the module took. A read still under way
    // makes this one do nothing.
    ReadConfig();
}

void TMainForm::WriteChannel()
{
    OneByteCommand('C', Channel->Value(), QStringLiteral("Set Channel."), LogAt::AfterFirstWait);
}

void TMainForm::WriteDataLength1()
{
    OneByteCommand('L', DataW1->Value() * 8, QStringLiteral("Set Data Length 1."),
                   LogAt::AfterFirstWait);
}

void TMainForm::WriteDataLength2()
{
    OneByteCommand('l', DataW2->Value() * 8, QStringLiteral("Set Data Length 2."),
                   LogAt::AfterFirstWait);
}

void TMainForm::WriteDataLength1TX()
{
    OneByteCommand('T', DataW1TX->Value() * 8, QStringLiteral("Set Data Length 1.TX"),
                   LogAt::AfterFirstWait);
}

void TMainForm::WriteDataLength2TX()
{
    OneByteCommand('t', DataW2TX->Value() * 8, QStringLiteral("Set Data Length 2.TX"),
                   LogAt::AfterFirstWait);
}

void TMainForm::WriteDataRate()
{
    // Only "250Kbs" is the slow rate; "1Mbs" and no selection are the fast one.
    OneByteCommand('D', RFDataRate->ItemIndex() == 0 ? 0x00 : 0xFF,
                   QStringLiteral("Set RF Data Rate."), LogAt::AfterLetter);
}

void TMainForm::WritePower()
{
    // With no entry selected there is no line to log, and the code 0 (-20 dBm) goes out.
    const int index = PowerCombo->ItemIndex();
    const QString log = index >= 0 && index < 4 ? QLatin1String(kPowerLogs[index]) : QString();
    OneByteCommand('P', powerCodeForIndex(index), log, LogAt::BeforeLine);
}

void TMainForm::WriteAddressWidth()
{
    OneByteCommand('W', Address_W->Value() * 8, QStringLiteral("Set Address Width"),
                   LogAt::AfterFirstWait);
}

void TMainForm::WriteAddress1()
{
    // Converted before the line is raised: a bad pair must not leave the module in command
    // mode with part of an address.
    const std::array<uint8_t, 5> bytes = addressBytes(EditAddress1->text());
    ProgramModeOn();
    SendText(QByteArrayLiteral("A"));
    Pause(CommandDelay);
    // Five bytes whatever the address width; the module matches only the first width bytes.
    for (const uint8_t b : bytes) {
        SendParameter(b);
        Pause(CommandDelay);
    }
    ProgramModeOff();
    Pause(CommandDelay);
}
