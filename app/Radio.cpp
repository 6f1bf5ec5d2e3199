#include "app/Radio.h"

#include "app/About.h"
#include "app/AppLog.h"
#include "app/ComboBox.h"
#include "app/Eepromoptions.h"
#include "app/FindBar.h"
#include "app/FormParts.h"
#include "app/InputHistory.h"
#include "app/Lamp.h"
#include "app/LinkReportForm.h"
#include "app/Memo.h"
#include "app/OpenDialog.h"
#include "app/PaintPacer.h"
#include "app/PaneRecorder.h"
#include "app/Prompts.h"
#include "app/RadioGroup.h"
#include "app/SpinEdit.h"
#include "app/SurveyForm.h"
#include "app/Writing.h"
#include "module/RadioModule.h"
#include "serial/PortDirectory.h"
#include "serial/Radiocom.h"
#include "settings/Exception.h"
#include "settings/IniFile.h"
#include "settings/PortSettings.h"
#include "traffic/LinkReport.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

TMainForm *MainForm = nullptr;

const char *const PortNames[10] = {"COM1", "COM2", "COM3", "COM4", "COM5",
                                   "COM6", "COM7", "COM8", "COM9", "COM10"};
const char *const BaudNames[12] = {"110",  "150",  "300",   "600",   "1200",  "2400",
                                   "4800", "9600", "19200", "38400", "57600", "115200"};

namespace {

// The window's fixed client area, as the operator knows it: menu bar not included (it sits
// in the title area on the desktop the window was drawn for), status bar included.
constexpr int kClientWidth = 906;
constexpr int kClientHeight = 721;
constexpr int kStatusHeight = 22;
constexpr int kLeftWidth = 721;
constexpr int kSettingsHeight = 288;
constexpr int kSentWidth = 344;
constexpr int kSendLineHeight = 24;
constexpr int kPanelWidths[3] = {150, 180, 200};

// The described font (a 8 point bitmap sans) does not exist here: the system sans at the
// pixel size of that font fits every caption into the fixed window.
constexpr int kFontPixels = 11;

} // namespace

using namespace FormParts;

// ---------------------------------------------------------------------------------------
// Construction

// The serial component and the module core on it come first: the window's names for the
// module's state refer into the core.
TMainForm::TMainForm(QWidget *parent)
    : QMainWindow(parent), SerialConnector(new TRadioCom(this)),
      Module(new RadioModule(*SerialConnector, *this)), CommandDelay(Module->CommandDelay),
      ConfigReadActive(Module->ReadActive), ModuleAsleep(Module->Asleep),
      ConfigReplyPending(Module->ReplyPending), ConfigByteCount(Module->ByteCount),
      ReplyBuffer(Module->ReplyBuffer)
{
    BuildControls();
    new PaintPacer(this);
    LastRecTime = 0;
    LoadSettings();
    ApplyPortSettings();
    WireEvents();
}

TMainForm::~TMainForm()
{
    // The port closes while the log pane still exists: what the close has to say reaches it
    // (and the terminal).
    SerialConnector->SetComStatus(false);
    SerialConnector->SetOnNotice({});
    delete OpenDialog1;
    delete LinkReportForm; // it shows the report: gone first
    delete SurveyForm;     // a survey still running ends before the port goes
    delete Report;
    delete Module;
}

void TMainForm::BuildControls()
{
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("2.4GHz Radio Communication- Veltrane Ltd."));
    // Title bar with the system menu and the close box only.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    QFont f = font();
    f.setPixelSize(kFontPixels);
    setFont(f);

    // ---- Menus
    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    SaveProfile1 = file->addAction(QStringLiteral("Save Profile..."));
    LoadProfile1 = file->addAction(QStringLiteral("Load Profile..."));
    RecordToFile1 = file->addAction(QStringLiteral("Record to File..."));
    StopRecording1 = file->addAction(QStringLiteral("Stop Recording"));
    StopRecording1->setEnabled(false);
    N1 = file->addSeparator();
    Exit1 = file->addAction(QStringLiteral("E&xit"));
    QMenu *edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    Find1 = edit->addAction(QStringLiteral("&Find..."));
    FindNext1 = edit->addAction(QStringLiteral("Find &Next"));
    FindPrevious1 = edit->addAction(QStringLiteral("Find &Previous"));
    Find1->setShortcut(QKeySequence::Find);
    FindNext1->setShortcut(Qt::Key_F3);
    FindPrevious1->setShortcut(Qt::SHIFT | Qt::Key_F3);
    QMenu *view = menuBar()->addMenu(QStringLiteral("&View"));
    LinkReport1 = view->addAction(QStringLiteral("&Link Report..."));
    ChannelSurvey1 = view->addAction(QStringLiteral("Channel Survey..."));
    view->addSeparator();
    QAction **ticks[ViewOptions::Count] = {&TimeStamps1, &HexAndText1, &Utf8Text1, &WholeLines1};
    for (int i = 0; i < ViewOptions::Count; ++i) {
        *ticks[i] = view->addAction(ViewOptions::Name(ViewOptions::Option(i)));
        (*ticks[i])->setCheckable(true);
    }
    QMenu *settings = menuBar()->addMenu(QStringLiteral("&Settings"));
    Setup1 = settings->addAction(QStringLiteral("&Serial port..."));
    QMenu *help = menuBar()->addMenu(QStringLiteral("&Help"));
    About1 = help->addAction(QStringLiteral("&About..."));
    About1->setShortcut(Qt::Key_F1);
    SaveProfile1->setObjectName(QStringLiteral("SaveProfile1"));
    LoadProfile1->setObjectName(QStringLiteral("LoadProfile1"));
    RecordToFile1->setObjectName(QStringLiteral("RecordToFile1"));
    StopRecording1->setObjectName(QStringLiteral("StopRecording1"));
    N1->setObjectName(QStringLiteral("N1"));
    LinkReport1->setObjectName(QStringLiteral("LinkReport1"));
    ChannelSurvey1->setObjectName(QStringLiteral("ChannelSurvey1"));
    Exit1->setObjectName(QStringLiteral("Exit1"));
    Setup1->setObjectName(QStringLiteral("Setup1"));
    About1->setObjectName(QStringLiteral("About1"));
    Find1->setObjectName(QStringLiteral("Find1"));
    FindNext1->setObjectName(QStringLiteral("FindNext1"));
    FindPrevious1->setObjectName(QStringLiteral("FindPrevious1"));
    TimeStamps1->setObjectName(QStringLiteral("TimeStamps1"));
    HexAndText1->setObjectName(QStringLiteral("HexAndText1"));
    Utf8Text1->setObjectName(QStringLiteral("Utf8Text1"));
    WholeLines1->setObjectName(QStringLiteral("WholeLines1"));

    auto *client = new QWidget(this);
    setCentralWidget(client);
    const int centralHeight = kClientHeight - kStatusHeight;

    // ---- "Settings" frame
    QGroupBox *settingsBox = Frame(QStringLiteral("Settings"), client);
    settingsBox->setGeometry(0, 0, kLeftWidth, kSettingsHeight);
    auto *settingsLayout = Tight(new QVBoxLayout(settingsBox), 4, 4);

    // "Address"
    QGroupBox *addressBox = Frame(QStringLiteral("Address"), settingsBox);
    auto *address = Tight(new QGridLayout(addressBox));
    EditAddress1 = Edit("EditAddress1", QString(), addressBox);
    EditAddress2 = Edit("EditAddress2", QStringLiteral("11"), addressBox);
    Address_W = Spin("Address_W", 1, 5, 1, 4, addressBox);
    EditAddress1->setFixedWidth(84);
    EditAddress2->setFixedWidth(84);
    Address_W->setFixedWidth(48);
    address->addWidget(Caption(QStringLiteral("Address 1"), EditAddress1, addressBox), 0, 0);
    address->addWidget(EditAddress1, 0, 1);
    address->addWidget(Caption(QStringLiteral("Address 2"), EditAddress2, addressBox), 1, 0);
    address->addWidget(EditAddress2, 1, 1);
    address->addWidget(Caption(QStringLiteral("Address Length"), Address_W, addressBox), 2, 0);
    address->addWidget(Address_W, 2, 1);
    address->setRowStretch(3, 1);

    // "Data Length"
    QGroupBox *lengthBox = Frame(QStringLiteral("Data Length"), settingsBox);
    auto *length = Tight(new QGridLayout(lengthBox));
    DataW1 = Spin("DataW1", 0, 64, 1, 0, lengthBox);
    DataW2 = Spin("DataW2", 0, 64, 1, 0, lengthBox);
    DataW1TX = Spin("DataW1TX", 0, 64, 1, 0, lengthBox);
    DataW2TX = Spin("DataW2TX", 0, 64, 1, 0, lengthBox);
    MaxDataL = Edit("MaxDataL", QStringLiteral("22"), lengthBox);
    MaxDataL->setEnabled(false);
    const std::pair<const char *, QWidget *> lengthRows[] = {{"Data1 RX", DataW1},
                                                             {"Data2 RX", DataW2},
                                                             {"Data1 TX", DataW1TX},
                                                             {"Data2 TX", DataW2TX},
                                                             {"Max. Data Length", MaxDataL}};
    int row = 0;
    for (const auto &[caption, control] : lengthRows) {
        control->setFixedWidth(46);
        length->addWidget(Caption(QLatin1String(caption), control, lengthBox), row, 0);
        length->addWidget(control, row++, 1);
    }

    // "Setup Module"
    QGroupBox *setupBox = Frame(QStringLiteral("Setup Module"), settingsBox);
    auto *setup = Tight(new QGridLayout(setupBox));
    ShockBurstBox = Check("ShockBurstBox", QStringLiteral("ShockBurst"), true, setupBox);
    CheckBox1 = Check("CheckBox1", QStringLiteral("16MHz"), true, setupBox);
    CheckBox1->setEnabled(false);
    DualChannelBox = Check("DualChannelBox", QStringLiteral("DualChannel"), false, setupBox);
    CRC = Check("CRC", QStringLiteral("CRC"), true, setupBox);
    CRC->setEnabled(false);
    RFDataRate = new TRadioGroup(QStringLiteral("RF Data Rate"),
                                 {QStringLiteral("250Kbs"), QStringLiteral("1Mbs")}, 2, setupBox);
    RFDataRate->setObjectName(QStringLiteral("RFDataRate"));
    RFDataRate->setAccessibleName(QStringLiteral("RF Data Rate"));
    RFDataRate->SetItemIndex(0);
    Channel = Spin("Channel", 0, 127, 1, 2, setupBox);
    Channel->setFixedWidth(52);
    PowerCombo = new TComboBox({QStringLiteral("0  dBm"), QStringLiteral("-5 dBm"),
                                QStringLiteral("-10 dBm"), QStringLiteral("-20 dBm")},
                               setupBox);
    PowerCombo->setObjectName(QStringLiteral("PowerCombo"));
    PowerCombo->SetItemIndex(0);
    PowerCombo->setFixedWidth(80);
    CRCRadioGroup = new TRadioGroup(
        QStringLiteral("CRC"), {QStringLiteral("8 Bits"), QStringLiteral("16 Bits")}, 2, setupBox);
    CRCRadioGroup->setObjectName(QStringLiteral("CRCRadioGroup"));
    CRCRadioGroup->setAccessibleName(QStringLiteral("CRC"));
    CRCRadioGroup->SetItemIndex(1);
    setup->addWidget(ShockBurstBox, 0, 0);
    setup->addWidget(CheckBox1, 0, 1);
    setup->addWidget(DualChannelBox, 1, 0);
    setup->addWidget(CRC, 1, 1);
    setup->addWidget(Caption(QStringLiteral("Channel"), Channel, setupBox), 2, 0);
    setup->addWidget(Channel, 2, 1);
    setup->addWidget(Caption(QStringLiteral("RF Power"), PowerCombo, setupBox), 3, 0);
    setup->addWidget(PowerCombo, 3, 1);
    setup->addWidget(RFDataRate, 0, 2, 2, 1);
    setup->addWidget(CRCRadioGroup, 2, 2, 2, 1);

    // "Serial"
    QGroupBox *serialBox = Frame(QStringLiteral("Serial"), settingsBox);
    auto *serial = Tight(new QGridLayout(serialBox));
    RX = Lamp("RX", QStringLiteral("Rx"), serialBox);
    TX = Lamp("TX", QStringLiteral("Tx"), serialBox);
    RTS = Check("RTS", QStringLiteral("RTS"), false, serialBox);
    CTS = Check("CTS", QStringLiteral("CTS"), false, serialBox);
    Button7 = Button("Button7", QStringLiteral("Sleep"), serialBox);
    SleepCheckBox = Check("SleepCheckBox", QString(), false, serialBox);
    SleepCheckBox->setAccessibleName(QStringLiteral("Asleep"));
    SleepCheckBox->setEnabled(false);
    QGroupBox *speedBox = Frame(QStringLiteral("Speed"), serialBox);
    Speed = new TComboBox({QStringLiteral("9600"), QStringLiteral("19200"), QStringLiteral("38400"),
                           QStringLiteral("57600"), QStringLiteral("115000")},
                          speedBox);
    Speed->setObjectName(QStringLiteral("Speed"));
    Speed->setAccessibleName(QStringLiteral("Speed"));
    Speed->SetItemIndex(2);
    Speed->setFixedWidth(84);
    Tight(new QVBoxLayout(speedBox), 3)->addWidget(Speed);
    Set = Button("Set", QStringLiteral("Set Speed"), serialBox);
    auto *indicators = Tight(new QHBoxLayout, 0, 8);
    for (QCheckBox *c : std::initializer_list<QCheckBox *>{RX, TX, RTS, CTS})
        indicators->addWidget(c);
    indicators->addStretch(1);
    auto *sleep = Tight(new QHBoxLayout, 0, 4);
    sleep->addWidget(Button7);
    sleep->addWidget(SleepCheckBox);
    serial->addLayout(indicators, 0, 0);
    serial->addLayout(sleep, 1, 0);
    serial->addWidget(speedBox, 0, 1);
    serial->addWidget(Set, 1, 1);

    // "Data Test"
    QGroupBox *testBox = Frame(QStringLiteral("Data Test"), settingsBox);
    auto *test = Tight(new QGridLayout(testBox));
    RecDataNum = Edit("RecDataNum", QString(), testBox);
    RecDataErr = Edit("RecDataErr", QString(), testBox);
    Button3 = Button("Button3", QStringLiteral("Clr"), testBox);
    Button6 = Button("Button6", QStringLiteral("Clr"), testBox);
    Button3->setAccessibleDescription(QStringLiteral("Clears Rec. Data"));
    Button6->setAccessibleDescription(QStringLiteral("Clears Data Error"));
    WaitTime = Spin("WaitTime", 10, 1000, 10, 100, testBox);
    Edit1 = Edit("Edit1", QString(), testBox);
    EditLeng = Edit("EditLeng", QString(), testBox);
    for (QWidget *w : {static_cast<QWidget *>(RecDataNum), static_cast<QWidget *>(RecDataErr),
                       static_cast<QWidget *>(WaitTime), static_cast<QWidget *>(Edit1),
                       static_cast<QWidget *>(EditLeng)})
        w->setFixedWidth(54);
    Button3->setFixedWidth(34);
    Button6->setFixedWidth(34);
    test->addWidget(Caption(QStringLiteral("Rec. Data"), RecDataNum, testBox), 0, 0);
    test->addWidget(RecDataNum, 0, 1);
    test->addWidget(Button3, 0, 2);
    test->addWidget(Caption(QStringLiteral("Data Error"), RecDataErr, testBox), 1, 0);
    test->addWidget(RecDataErr, 1, 1);
    test->addWidget(Button6, 1, 2);
    test->setColumnMinimumWidth(3, 10);
    test->addWidget(Caption(QStringLiteral("WaitTime [mS]"), WaitTime, testBox), 0, 4);
    test->addWidget(WaitTime, 0, 5);
    test->addWidget(Caption(QStringLiteral("Time between 2 trams (ms)"), Edit1, testBox), 1, 4);
    test->addWidget(Edit1, 1, 5);
    test->addWidget(Caption(QStringLiteral("Data Lengt"), EditLeng, testBox), 2, 4);
    test->addWidget(EditLeng, 2, 5);

    auto *top = Tight(new QHBoxLayout, 0, 4);
    top->addWidget(addressBox, 0);
    top->addWidget(lengthBox, 0);
    top->addWidget(setupBox, 1);
    auto *bottom = Tight(new QHBoxLayout, 0, 4);
    bottom->addWidget(serialBox, 0);
    bottom->addWidget(testBox, 1);
    settingsLayout->addLayout(top, 3);
    settingsLayout->addLayout(bottom, 2);

    // ---- "Sent", "Received" and the send line
    const int paneHeight = centralHeight - kSettingsHeight - kSendLineHeight;
    QGroupBox *sentBox = Frame(QStringLiteral("Sent"), client);
    sentBox->setGeometry(0, kSettingsHeight, kSentWidth, paneHeight);
    SentMemo = Pane("SentMemo", QStringLiteral("Sent"), sentBox);
    QGroupBox *receivedBox = Frame(QStringLiteral("Received"), client);
    receivedBox->setGeometry(kSentWidth, kSettingsHeight, kLeftWidth - kSentWidth, paneHeight);
    RecMemo = Pane("RecMemo", QStringLiteral("Received"), receivedBox);
    SendEdit = Edit("SendEdit", QString(), client);
    SendEdit->setAccessibleName(QStringLiteral("Send line"));
    SendEdit->setGeometry(2, kSettingsHeight + paneHeight + 1, kLeftWidth - 4, kSendLineHeight - 2);
    SentMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    RecMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    PopupMenu1 = new QMenu(RecMemo);
    Clear1 = PopupMenu1->addAction(QStringLiteral("Clear"));
    PopupMenu2 = new QMenu(SentMemo);
    Clear2 = PopupMenu2->addAction(QStringLiteral("Clear"));
    Clear1->setObjectName(QStringLiteral("Clear1"));
    Clear2->setObjectName(QStringLiteral("Clear2"));
    RecMemo->UsePopupMenu(PopupMenu1);
    SentMemo->UsePopupMenu(PopupMenu2);
    FindBar1 = new FindBar(client);
    SendHistory = new InputHistory(SendEdit);

    // ---- Right block
    const int rightX = kLeftWidth + 2;
    const int rightWidth = kClientWidth - rightX - 2;
    const int halfWidth = (rightWidth - 2) / 2;
    const int buttonsHeight = 140;
    QGroupBox *setBox = Frame(QStringLiteral("Set"), client);
    setBox->setGeometry(rightX, 0, halfWidth, buttonsHeight);
    Button8 = Button("Button8", QStringLiteral("Reset"), setBox);
    Button2 = Button("Button2", QStringLiteral("Set Module"), setBox);
    Button5 = Button("Button5", QStringLiteral("Read Config."), setBox);
    CheckBox2 = Check("CheckBox2", QStringLiteral("hex"), false, setBox);
    Button2->setToolTip(QStringLiteral("Writes Config. to Module"));
    Button5->setToolTip(QStringLiteral("Reads Config. bits from Module"));
    auto *set = Tight(new QVBoxLayout(setBox), 3, 4);
    for (QWidget *w : {static_cast<QWidget *>(Button8), static_cast<QWidget *>(Button2),
                       static_cast<QWidget *>(Button5), static_cast<QWidget *>(CheckBox2)})
        set->addWidget(w);
    QGroupBox *sendBox = Frame(QStringLiteral("Send"), client);
    sendBox->setGeometry(rightX + halfWidth + 2, 0, rightWidth - halfWidth - 2, buttonsHeight);
    Button10 = Button("Button10", QStringLiteral("SendTest"), sendBox);
    Button4 = Button("Button4", QStringLiteral("Cont.Send"), sendBox);
    Button9 = Button("Button9", QStringLiteral("Stop"), sendBox);
    Button11 = Button("Button11", QStringLiteral("Send File"), sendBox);
    auto *send = Tight(new QVBoxLayout(sendBox), 3, 4);
    for (QPushButton *b : {Button10, Button4, Button9, Button11})
        send->addWidget(b);
    for (QPushButton *b : {Button8, Button2, Button5, Button10, Button4, Button9, Button11})
        b->setMinimumWidth(0);

    const int exitHeight = 28;
    QGroupBox *logBox = Frame(QStringLiteral("Log."), client);
    logBox->setGeometry(rightX, buttonsHeight, rightWidth,
                        centralHeight - buttonsHeight - exitHeight - 6);
    Memo1 = Pane("Memo1", QStringLiteral("Log."), logBox);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QPalette dark = Memo1->palette();
    dark.setColor(QPalette::Base, Qt::black);
    dark.setColor(QPalette::Text, Qt::white);
    Memo1->setPalette(dark);
    PopupMenu3 = new QMenu(Memo1);
    Memo1->UsePopupMenu(PopupMenu3);
    Button1 = Button("Button1", QStringLiteral("Exit"), client);
    Button1->setGeometry(rightX + 20, centralHeight - exitHeight - 3, rightWidth - 40, exitHeight);

    // ---- Status bar
    statusBar()->setSizeGripEnabled(false);
    statusBar()->setFixedHeight(kStatusHeight);
    const char *const initial[3] = {"Status: Not Detected", "Baud Rate: 9600", "Serial Port: COM1"};
    for (int i = 0; i < 3; ++i) {
        panels_[i] = new QLabel(QLatin1String(initial[i]), statusBar());
        panels_[i]->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        panels_[i]->setFrameShape(QFrame::Panel);
        panels_[i]->setFrameShadow(QFrame::Sunken);
        panels_[i]->setFixedWidth(kPanelWidths[i]);
        statusBar()->addWidget(panels_[i]);
    }
    RecordingLabel = new QLabel(statusBar());
    RecordingLabel->setObjectName(QStringLiteral("RecordingLabel"));
    QPalette red = RecordingLabel->palette();
    red.setColor(QPalette::WindowText, QColor(0xC0, 0, 0));
    RecordingLabel->setPalette(red);
    statusBar()->addPermanentWidget(RecordingLabel);
    RecordingLabel->hide();

    // ---- Non-visual parts
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    Timer2 = Module->ReplyTimer();
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setInterval(10);
    ReconnectTimer = new QTimer(this);
    ReconnectTimer->setObjectName(QStringLiteral("ReconnectTimer"));
    ReconnectTimer->setInterval(1000);
    LineTimer = new QTimer(this);
    LineTimer->setObjectName(QStringLiteral("LineTimer"));
    LineTimer->setSingleShot(true);
    SerialConnector->setObjectName(QStringLiteral("SerialConnector"));
    SerialConnector->SetRtsFlowControl(RTSOff);
    SerialConnector->SetReadTimeout(1);
    SerialConnector->SetWriteTimeout(10);
    // Bytes that had to be dropped because they never left (a transmitter held by flow
    // control) are said where the operator looks, and on the terminal for a close at exit.
    SerialConnector->SetOnNotice([this](const QString &text) {
        qCWarning(lcApp).noquote() << text;
        Memo1->AddLine(text);
    });
    OpenDialog1 = new TOpenDialog(this);
    Report = new LinkReport;
    Recorder = new PaneRecorder(this);
    RecMemo->SetRecorder(Recorder, QStringLiteral("Received"));
    SentMemo->SetRecorder(Recorder, QStringLiteral("Sent"));
    Memo1->SetRecorder(Recorder, QStringLiteral("Log"));

    // Fixed size: the client area plus the menu bar, which Qt keeps inside the window.
    setFixedSize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
    if (QScreen *s = screen())
        move(s->availableGeometry().center() - rect().center());
}

void TMainForm::WireEvents()
{
    Op(Button1, &QPushButton::clicked, &TMainForm::Button1Click);
    Op(Exit1, &QAction::triggered, &TMainForm::Exit1Click);
    Op(Setup1, &QAction::triggered, &TMainForm::Setup1Click);
    On(About1, &QAction::triggered, &TMainForm::About1Click);

    On(EditAddress1, &QLineEdit::textChanged, &TMainForm::EditAddress1Change);
    On(EditAddress2, &QLineEdit::textChanged, &TMainForm::EditAddress2Change);
    On(Address_W, &TSpinEdit::Change, &TMainForm::Address_WChange);
    On(WaitTime, &TSpinEdit::Change, &TMainForm::Address_WChange);
    for (TSpinEdit *s : {DataW1, DataW2, DataW1TX, DataW2TX})
        On(s, &TSpinEdit::Change, &TMainForm::DataW1Change);
    On(CRCRadioGroup, &TRadioGroup::Click, &TMainForm::CRCRadioGroupClick);
    On(ReconnectTimer, &QTimer::timeout, &TMainForm::ReconnectTimerTimer);
    SerialConnector->SetOnDeviceLost([this] { Guarded([this] { SerialConnectorDeviceLost(); }); });
    WireModuleEvents();
    WireTrafficEvents();
    WireRecordEvents();
    WireViewEvents();
}

// ---------------------------------------------------------------------------------------
// Status bar

QString TMainForm::StatusPanel(int n) const
{
    return n >= 0 && n < 3 ? panels_[n]->text() : QString();
}

void TMainForm::SetStatusPanel(int n, const QString &text)
{
    if (n >= 0 && n < 3)
        panels_[n]->setText(text);
}

// ---------------------------------------------------------------------------------------
// Showing and closing

void TMainForm::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (shown_)
        return;
    shown_ = true;
    Guarded([this] { FormShow(); });
}

// The first show puts the module into a known state and fills the configuration controls
// from its answer.
void TMainForm::FormShow()
{
    Module->Reset();
    Module->ReadConfig();
}

void TMainForm::FormClose()
{
    IniFile ini(PortSettings::FilePath());
    PortSettings::Write(ini, PortIndex, BaudIndex, ChosenDevices);
}

void TMainForm::closeEvent(QCloseEvent *event)
{
    if (RefusedForSurvey()) {
        event->ignore();
        return;
    }
    if (!endWithoutWrite_) {
        try {
            FormClose();
        } catch (const std::exception &e) {
            event->ignore();
            ShowException(e);
            return;
        }
    }
    if (ContSendLoops > 0 || FileSending) {
        // A continuous send or a file transfer is still on the stack: the program ends when
        // it returns (BusyLoopEnded), with the window on screen until then. A file transfer
        // stops after the line in progress, as "&Abort" would stop it: the operator asked to
        // end, and the rest of a long file is not worth waiting for.
        if (FileSending && WritingForm)
            WritingForm->Aborted = true;
        endPending_ = true;
        event->ignore();
        return;
    }
    event->accept();
    if (this == MainForm)
        QCoreApplication::quit();
}

void TMainForm::BusyLoopEnded()
{
    if (!endPending_ || ContSendLoops > 0 || FileSending)
        return;
    endPending_ = false;
    endWithoutWrite_ = true;
    close();
}

void TMainForm::Button1Click()
{
    ContSend = false;
    close();
}

void TMainForm::Exit1Click()
{
    close();
}

void TMainForm::Setup1Click()
{
    if (OptionsForm)
        OptionsForm->exec();
}

void TMainForm::About1Click()
{
    if (AboutForm)
        AboutForm->exec();
}

// ---------------------------------------------------------------------------------------
// Errors

void TMainForm::ShowException(const std::exception &e)
{
    const auto *own = dynamic_cast<const Exception *>(&e);
    const QString text = own ? own->Message() : QString::fromUtf8(e.what());
    qCWarning(lcApp) << "error shown:" << text;
    Prompts::current()->critical(this, Prompts::applicationCaption(), text);
}

void TMainForm::Guarded(const std::function<void()> &handler) noexcept
{
    try {
        handler();
    } catch (const std::exception &e) {
        ShowException(e);
    } catch (...) {
        ShowException(Exception(QStringLiteral("Unexpected error")));
    }
}
