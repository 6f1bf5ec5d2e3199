#pragma once

// The main window, the program's only working surface.
//
// How data flows through the program
// ----------------------------------
// Start.   main() creates MainForm, OptionsForm, AboutForm and WritingForm, in that order.
//          The TMainForm constructor builds every control with its defaults, reads
//          PortIndex and BaudIndex from Quorvane.ini (LoadSettings, which also feeds the
//          [Devices] section to PortDirectory and applies the input rules), and opens the
//          port (ApplyPortSettings). The first show runs FormShow once.
// Out.     Everything sent to the module goes through SerialConnector (a TRadioCom): the
//          programming line with ProgramModeOn/ProgramModeOff (the only two places that
//          drive RTS), command letters, typed lines and test packets as texts, file packets
//          as buffers. Every operation echoes short lines into the log pane Memo1; sent data
//          goes to SentMemo.
// In.      Everything from the module arrives as SerialConnector's OnReceive on this thread:
//          a configuration dump fills the configuration controls (their change events run
//          the input rules again), radio data goes to RecMemo and the link test counters.
// Report.  The link report (LinkReport) sees every data packet the receive handling reads
//          and every test packet sent; its window (View, "Link Report...") shows it, and
//          asks for numbered test packets.
// Record.  File, "Record to File..." hands every line any pane takes to the pane record
//          (PaneRecorder), stamped, until "Stop Recording"; the status bar says so meanwhile.
// Reading. The View menu's ticks (ViewOptions, remembered in [View]) change only what the
//          panes show: time stamps on every pane line, and for received data hex beside the
//          text, UTF-8 and whole lines (ReceivedText, between the receive handling and
//          RecMemo). Counters, link report and record take the packets as they came. The
//          find bar (Edit, "Find...") searches the pane it is opened over (PaneSearch).
// Rules.   UpdateMaxDataLength ties DataW1 and DataW2 to the address width and the CRC
//          length; it runs from LoadSettings and from every change of those controls.
// Status.  Panel 0 says whether the module answers, panel 1 the port, panel 2 the speed;
//          ApplyPortSettings writes all three, failures later turn panel 0 into
//          "Status: Not Detected". A simulated module is named in panel 1 and the log.
// Loss.    An unplugged device is noticed by the watcher (SerialConnectorDeviceLost): the
//          port is closed and watched for; when the device is back it is opened again with
//          the start-up's Reset and Read Config, counters and settings untouched.
// End.     Closing the window writes PortIndex and BaudIndex back (FormClose), with the
//          devices chosen in the settings dialog; a failed write keeps the window open.
//          Destroying the window closes the port.
//
// Handlers never let an exception out: the connections run them through Guarded(), which
// shows the message in an error box (ShowException) and lets the program go on. Message
// boxes, beeps and the file dialog go through Prompts, so tests can record them.
//
// Module.   The module operations themselves live in the widget-free module core
//          (module/RadioModule, a RadioModule on SerialConnector): the window maps its
//          controls to and from a ModuleConfig, and shows what the core reports (the
//          ModuleReport it implements) in the log, the status bar and message boxes.
//
// Methods are defined in the folder of their subsystem: app/Radio.cpp (construction,
// start-up, shutdown), app/PortSetup.cpp (the settings, the port set-up, a device lost and
// back), module/ (the window's side of the module core, profiles,
// input rules), traffic/ (receive handling, link test, text and file sending).

#include "app/ViewOptions.h"
#include "module/RadioModule.h"
#include "serial/PortDirectory.h"
#include "traffic/ReceivedText.h"
#include "traffic/TestPacket.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QString>

#include <cstdint>
#include <functional>

class FindBar;
class InputHistory;
class LinkReport;
class PaneRecorder;
class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTimer;
class TComboBox;
class TLamp;
class TLinkReportForm;
class TSurveyForm;
class TMemo;
class TOpenDialog;
class TRadioCom;
class TRadioGroup;
class TSpinEdit;

// Texts for the status bar: PortNames by PortIndex, BaudNames by BaudIndex + 7 (the serial
// component's speed enumeration).
extern const char *const PortNames[10];
extern const char *const BaudNames[12];

class TMainForm : public QMainWindow, private ModuleReport {
    Q_OBJECT
public:
    explicit TMainForm(QWidget *parent = nullptr);
    ~TMainForm() override;

    // ---- "Settings" frame -------------------------------------------------------------
    // "Address"
    QLineEdit *EditAddress1; // "Address 1": ten hex digits, checked only by Set Module
    QLineEdit *EditAddress2; // "Address 2": "11", filled by the read-back
    TSpinEdit *Address_W;    // "Address Length": 1 to 5
    // "Data Length"
    TSpinEdit *DataW1;   // "Data1 RX": 0 to the maximum data length
    TSpinEdit *DataW2;   // "Data2 RX": 0 to the maximum data length
    TSpinEdit *DataW1TX; // "Data1 TX": 0 to 64
    TSpinEdit *DataW2TX; // "Data2 TX": 0 to 64
    QLineEdit *MaxDataL; // "Max. Data Length", display only
    // "Setup Module"
    QCheckBox *ShockBurstBox;   // "ShockBurst", ticked
    QCheckBox *CheckBox1;       // "16MHz", ticked, disabled
    QCheckBox *DualChannelBox;  // "DualChannel"
    QCheckBox *CRC;             // "CRC", ticked, disabled
    TRadioGroup *RFDataRate;    // "RF Data Rate": "250Kbs", "1Mbs"
    TSpinEdit *Channel;         // "Channel": 0 to 127, 2
    TComboBox *PowerCombo;      // "RF Power": "0  dBm", "-5 dBm", "-10 dBm", "-20 dBm"
    TRadioGroup *CRCRadioGroup; // "CRC": "8 Bits", "16 Bits"
    // "Serial"
    TLamp *RX;                // "Rx": ticked while received data is handled
    TLamp *TX;                // "Tx": ticked while a test packet is sent
    QCheckBox *RTS;           // "RTS": the programming line as last set
    QCheckBox *CTS;           // "CTS"
    QPushButton *Button7;     // "Sleep"
    QCheckBox *SleepCheckBox; // no caption, disabled: ModuleAsleep
    TComboBox *Speed;         // in the frame "Speed": the module speed list
    QPushButton *Set;         // "Set Speed"
    // "Data Test"
    QLineEdit *RecDataNum; // "Rec. Data": RecCount
    QPushButton *Button3;  // "Clr" beside it
    QLineEdit *RecDataErr; // "Data Error": ErrCount
    QPushButton *Button6;  // "Clr" beside it
    TSpinEdit *WaitTime;   // "WaitTime [mS]": 10 to 1000, step 10, 100
    QLineEdit *Edit1;      // "Time between 2 trams (ms)"
    QLineEdit *EditLeng;   // "Data Lengt"

    // ---- Below the settings -----------------------------------------------------------
    TMemo *SentMemo;     // "Sent"
    TMemo *RecMemo;      // "Received"
    QLineEdit *SendEdit; // the send line across the bottom

    // ---- Right block ------------------------------------------------------------------
    QPushButton *Button8;  // "Set": "Reset"
    QPushButton *Button2;  // "Set": "Set Module"
    QPushButton *Button5;  // "Set": "Read Config."
    QCheckBox *CheckBox2;  // "Set": "hex", the received data display
    QPushButton *Button10; // "Send": "SendTest"
    QPushButton *Button4;  // "Send": "Cont.Send"
    QPushButton *Button9;  // "Send": "Stop"
    QPushButton *Button11; // "Send": "Send File"
    TMemo *Memo1;          // "Log.": one line per step of every operation
    QPushButton *Button1;  // "Exit"

    // ---- Menus ------------------------------------------------------------------------
    QAction *N1;       // "&File": separator
    QAction *Exit1;    // "&File": "E&xit"
    QAction *Setup1;   // "&Settings": "&Serial port..."
    QAction *About1;   // "&Help": "&About..."
    QMenu *PopupMenu1; // on RecMemo
    QAction *Clear1;   // "Clear"
    QMenu *PopupMenu2; // on SentMemo
    QAction *Clear2;   // "Clear"

    QAction *SaveProfile1; // "&File", above the separator: "Save Profile..."
    QAction *LoadProfile1; // "&File", above the separator: "Load Profile..."
    // File, before the separator: the pane record. The "&View" menu, between "&File" and
    // "&Settings": the link report. Every pane's menu offers Copy, Select All and "Save As..."
    // after its own items (TMemo); the Log pane's has only those.
    QAction *RecordToFile1;  // "Record to File..."
    QAction *StopRecording1; // "Stop Recording"
    QAction *LinkReport1;    // "&Link Report..."
    QAction *ChannelSurvey1; // "&View": "Channel Survey..."
    QMenu *PopupMenu3;       // on Memo1
    // "&Edit", between "&File" and "&View": the find bar. "&View", after the link report: the
    // reading options, ticks in the order of ViewOptions::Option.
    QAction *Find1;            // "&Find...", Ctrl+F
    QAction *FindNext1;        // "Find &Next", F3
    QAction *FindPrevious1;    // "Find &Previous", Shift+F3
    QAction *TimeStamps1;      // "Time Stamps"
    QAction *HexAndText1;      // "Hex and Text"
    QAction *Utf8Text1;        // "UTF-8 Text"
    QAction *WholeLines1;      // "Whole Lines"
    FindBar *FindBar1;         // above the pane it searches, when open
    InputHistory *SendHistory; // Up and Down in SendEdit

    // ---- Non-visual parts -------------------------------------------------------------
    QTimer *Timer1; // missed-packet timer of the link test; stopped
    QTimer *Timer2; // configuration reply time-out (the module core's); stopped
    // Once a second while the port's device is gone: is it back? Stopped otherwise.
    QTimer *ReconnectTimer;
    // Whole Lines: a received line still open after a second of quiet is shown as it stands.
    QTimer *LineTimer;
    TRadioCom *SerialConnector;
    RadioModule *Module; // the module core on SerialConnector
    TOpenDialog *OpenDialog1;
    LinkReport *Report;                        // the link report of this station
    TLinkReportForm *LinkReportForm = nullptr; // its window, made when first asked for
    TSurveyForm *SurveyForm = nullptr;         // the channel survey's, likewise
    PaneRecorder *Recorder;                    // the pane record

    // ---- Status bar: 0 module status, 1 port, 2 speed ---------------------------------
    QString StatusPanel(int n) const;
    void SetStatusPanel(int n, const QString &text);
    QLabel *StatusPanelLabel(int n) const { return panels_[n]; }
    QLabel *RecordingLabel; // right of the panels while a record runs: "Recording to ..."

    // ---- Run-time state ---------------------------------------------------------------
    int PortIndex = 0;      // 0 = COM1 ... 9 = COM10
    int BaudIndex = 0;      // 0 = 9600, 1 = 19200, 2 = 38400, 3 = 57600, 4 = 115200
    int &CommandDelay;      // ms between command steps; 4 from LoadSettings on
    bool &ConfigReadActive; // a configuration read is under way
    float RecCount = 0;     // received packets
    float ErrCount = 0;     // missed packets
    bool &ModuleAsleep;     // sent to sleep and not woken since
    bool ContSend = false;  // keeps the continuous send going
    double LastRecTime = 0; // time of day of the previous data packet, in days
    int CrcBytes = 2;       // CRC length in bytes, as the input rules last saw it
    // Continuous-send loops running (they nest), and whether a file transfer runs. A close
    // requested meanwhile waits for them: the outermost calls BusyLoopEnded() when it returns.
    int ContSendLoops = 0;
    bool FileSending = false;
    // What the port's COM name opened at the last ApplyPortSettings: the device a loss and a
    // return are told by, or the simulated module the status bar names.
    PortDirectory::Target PortTarget;
    // [Devices] entries chosen in the settings dialog this run, by COM name (an empty value:
    // no entry); written with the port and the speed when the window closes.
    QMap<QString, QString> ChosenDevices;
    ViewOptions View;           // the View menu's ticks
    ReceivedText RecText;       // received data on its way into RecMemo, with the options
    QElapsedTimer SinceArrival; // since received data last came (Whole Lines)

    // ---- The settings and the port (app/PortSetup.cpp) -------------------------------
    void LoadSettings();
    // The one place that (re)opens the port; see the steps in PortSetup.cpp.
    void ApplyPortSettings();
    bool ModulePresent();
    // Maps a COM name to a device from the settings dialog's device list, at once for the
    // port and for the settings file at close.
    void ChooseDevice(const QString &comName, const QString &entry);
    // The device of the open port went away: the log and the status say so, and the console
    // watches for it to come back (ReconnectTimerTimer), then opens it again by itself.
    void SerialConnectorDeviceLost();
    void ReconnectTimerTimer();
    // The channel survey runs the console's module on a thread of its own: the port is lent
    // to it (closed here; the device it opens comes back, empty when the port is not open)
    // and taken back afterwards (opened again as it was, the programming line lowered; the
    // counters, the status bar and every setting untouched). Meanwhile the window's own
    // operations are refused, naming the survey (RefusedForSurvey).
    QString LendPort();
    void TakePortBack();
    bool PortLent = false;
    // True, after telling the operator, while the port is lent.
    bool RefusedForSurvey();

    // ---- Start-up and shutdown (app/Radio.cpp) ---------------------------------------
    void FormShow();
    // The settings write of every close request; throws when the file cannot be written.
    void FormClose();
    void Button1Click(); // Exit button
    void Exit1Click();   // File, Exit
    void Setup1Click();  // Settings, Serial port...
    void About1Click();  // Help, About...
    // A close requested during a continuous send or a file transfer waits for it: this ends
    // the program then, without writing the settings again.
    void BusyLoopEnded();

    // ---- Command channel (module/CommandChannel.cpp), on the module core -------------
    void ProgramModeOn();
    void ProgramModeOff();
    // Sends a text (8-bit characters, Latin-1) in one write; true on failure, which it has
    // reported: "Comm. Error!" in the log, "Status: Not Detected", a beep.
    bool SendText(const QByteArray &text);
    // A blocking pause of the command steps; received data waits meanwhile.
    void Pause(int ms);

    // ---- Maintenance (module/Maintenance.cpp) -----------------------------------------
    bool &ConfigReplyPending; // the reply to the last "R" has not come yet
    int &ConfigByteCount;     // dump bytes stored in ReplyBuffer so far
    void Timer2Timer();
    void ChangeSpeed();
    void Button5Click(); // Read Config.
    void Button7Click(); // Sleep
    void Button8Click(); // Reset
    void SetClick();     // Set Speed

    // ---- Configuration write and profiles (module/ConfigWrite.cpp, module/Profiles.cpp)
    void Button2Click(); // Set Module
    // The Settings frame as a configuration, as it stands: a box whose text is no integer
    // counts as its minimum, and keeps its text.
    ModuleConfig FrameConfig();
    // A configuration into the Settings frame, as operator input: the input rules run.
    void ShowConfig(const ModuleConfig &config);
    void SaveProfile1Click();
    void LoadProfile1Click();

    // ---- Receive handling (traffic/Receive.cpp) ---------------------------------------
    static constexpr int ReplyBufferSize = RadioModule::ReplyBufferSize;
    uint8_t (&ReplyBuffer)[ReplyBufferSize]; // the dump bytes of the current Read Config
    void SerialConnectorReceive(int Count);
    // What the window publishes as its own receive event: the same handler.
    void OnReceive(int Count) { SerialConnectorReceive(Count); }
    void Clear1Click(); // "Clear" on RecMemo
    void Clear2Click(); // "Clear" on SentMemo
    // Radio data into RecMemo through the reading options; the record takes the packet as
    // the plain form shows it.
    void ShowReceived(const QByteArray &packet);
    ReceivedText::Form ReceivedForm() const;
    void LineTimerTimer();
    // The open received line as it stands (Whole Lines).
    void ShowOpenLine();

    // ---- Link test (traffic/LinkTest.cpp) ---------------------------------------------
    static constexpr auto &TestAlphabet = TestPacket::Alphabet; // test packets are cut from it
    // Sends the test packet the link report asks for: numbered, or cut from TestAlphabet.
    void SendTestPacket();
    void Button10Click(); // SendTest
    void Button4Click();  // Cont.Send
    void Button9Click();  // Stop
    void Timer1Timer();   // a missed packet
    void Button3Click();  // Clr beside Rec. Data
    void Button6Click();  // Clr beside Data Error

    void LinkReport1Click();    // View, "Link Report..."
    void ChannelSurvey1Click(); // View, "Channel Survey..."

    // ---- Records (app/Records.cpp) ----------------------------------------------------
    void RecordToFile1Click();  // File, "Record to File..."
    void StopRecording1Click(); // File, "Stop Recording"
    // The record ended on a failed write: the operator is told why.
    void RecordFailed(const QString &reason);
    // Menu items and the status bar as the record stands.
    void ShowRecording();

    // ---- Reading options and the find bar (app/ViewMenu.cpp) ---------------------------
    QAction *ViewAction(ViewOptions::Option option) const;
    // A tick of the View menu: remembered at once, then shown; a failed write is reported
    // and the tick still holds for this run.
    void ViewOptionClick(ViewOptions::Option option);
    void ApplyViewOptions();
    void Find1Click();
    void FindNext1Click();
    void FindPrevious1Click();

    // ---- Text and file sending (traffic/TextSend.cpp) ---------------------------------
    // Sent bytes into SentMemo: as 8-bit text, or read as UTF-8 ("UTF-8 Text").
    void EchoSent(QByteArrayView bytes);
    void SendEditKeyPress(char &Key);
    void SendTypedLine();
    void Button11Click(); // Send File
    QString ChooseTextFile();
    void SendTextFile(const QString &path);

    // ---- Input rules (module/InputRules.cpp) ------------------------------------------
    void UpdateMaxDataLength();
    void DataW1Change();    // DataW1, DataW2, DataW1TX, DataW2TX
    void Address_WChange(); // Address_W, WaitTime
    void CRCRadioGroupClick();
    void EditAddress1Change();
    void EditAddress2Change();

    // ---- Error display ----------------------------------------------------------------
    // The application's error box for an exception that reached a handler's top.
    void ShowException(const std::exception &e);
    // Runs a handler; an exception ends it and is shown.
    void Guarded(const std::function<void()> &handler) noexcept;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

    // Connects a signal to a handler of this window through Guarded().
    template <typename Sender, typename Signal>
    void On(Sender *sender, Signal signal, void (TMainForm::*handler)());
    // The same for an operation on the port: refused while the channel survey has it.
    template <typename Sender, typename Signal>
    void Op(Sender *sender, Signal signal, void (TMainForm::*handler)());

private:
    // ---- What the module core reports (module/CommandChannel.cpp) --------------------
    void moduleLog(const QString &line) override;
    void moduleNotDetected() override;
    void programmingLine(bool raised) override;
    void moduleAsleep(bool asleep) override;
    void writeRefused(const ModuleRefusal &refusal) override;
    void configRead(const ModuleConfig &config) override;

    void BuildControls();
    void WireEvents();
    // Each subsystem connects the events of its own handlers.
    void WireModuleEvents();  // module/
    void WireTrafficEvents(); // traffic/
    void WireRecordEvents();  // app/Records.cpp
    void WireViewEvents();    // app/ViewMenu.cpp

    QString PortName() const; // the COM name the component opens, "COM1"
    QLabel *panels_[3] = {};
    QString announcedSim_; // the simulated module the log last said the port opened
    bool shown_ = false;
    bool endPending_ = false;      // a close waits for a continuous send or file transfer
    bool endWithoutWrite_ = false; // that close has already written the settings
};

template <typename Sender, typename Signal>
void TMainForm::On(Sender *sender, Signal signal, void (TMainForm::*handler)())
{
    connect(sender, signal, this,
            [this, handler] { Guarded([this, handler] { (this->*handler)(); }); });
}

template <typename Sender, typename Signal>
void TMainForm::Op(Sender *sender, Signal signal, void (TMainForm::*handler)())
{
    connect(sender, signal, this, [this, handler] {
        Guarded([this, handler] {
            if (!RefusedForSurvey())
                (this->*handler)();
        });
    });
}

extern TMainForm *MainForm;
