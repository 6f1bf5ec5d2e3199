#include "app/Eepromoptions.h"

#include "app/ComboBox.h"
#include "app/Radio.h"
#include "serial/PortDirectory.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TOptionsForm *OptionsForm = nullptr;

namespace {
// DeviceList keeps each item's device name beside the entry it makes.
constexpr int kDeviceRole = Qt::UserRole + 1;
} // namespace

TOptionsForm::TOptionsForm(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("OptionsForm"));
    setWindowTitle(QStringLiteral("Communication Settings"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    // The port and speed row keeps its place; the device frame below it has room for a
    // stable device name.
    setFixedSize(560, 224);

    auto *portFrame = new QGroupBox(QStringLiteral("Serial port"), this);
    ComboBox1 =
        new TComboBox({QStringLiteral("COM1"), QStringLiteral("COM2"), QStringLiteral("COM3"),
                       QStringLiteral("COM4"), QStringLiteral("COM5"), QStringLiteral("COM6"),
                       QStringLiteral("COM7"), QStringLiteral("COM8")},
                      portFrame);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setAccessibleName(QStringLiteral("Serial port"));
    auto *portLayout = new QVBoxLayout(portFrame);
    portLayout->addWidget(ComboBox1);
    portLayout->addStretch(1);

    auto *speedFrame = new QGroupBox(QStringLiteral("Speed"), this);
    ComboBox2 =
        new TComboBox({QStringLiteral("9600"), QStringLiteral("19200"), QStringLiteral("38400"),
                       QStringLiteral("57600"), QStringLiteral("115000")},
                      speedFrame);
    ComboBox2->setObjectName(QStringLiteral("ComboBox2"));
    ComboBox2->setAccessibleName(QStringLiteral("Speed"));
    auto *speedLayout = new QVBoxLayout(speedFrame);
    speedLayout->addWidget(ComboBox2);
    speedLayout->addStretch(1);

    Button1 = new QPushButton(QStringLiteral("Ok"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setDefault(true);
    Button2 = new QPushButton(QStringLiteral("Cancel"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    auto *buttons = new QVBoxLayout;
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    buttons->addStretch(1);

    auto *deviceFrame = new QGroupBox(QStringLiteral("Device"), this);
    DeviceLabel = new QLabel(deviceFrame);
    DeviceLabel->setObjectName(QStringLiteral("DeviceLabel"));
    DeviceLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    DeviceLabel->setWordWrap(true);
    DeviceLabel->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    DeviceList = new QComboBox(deviceFrame);
    DeviceList->setObjectName(QStringLiteral("DeviceList"));
    DeviceList->setAccessibleName(QStringLiteral("Use this device"));
    DeviceList->setEditable(true);
    DeviceList->setInsertPolicy(QComboBox::NoInsert);
    DeviceList->lineEdit()->setPlaceholderText(
        QStringLiteral("a device, rfc2217://HOST:PORT or socket://HOST:PORT"));
    auto *useRow = new QHBoxLayout;
    useRow->addWidget(new QLabel(QStringLiteral("Use:"), deviceFrame));
    useRow->addWidget(DeviceList, 1);
    auto *deviceLayout = new QVBoxLayout(deviceFrame);
    deviceLayout->addWidget(DeviceLabel, 1);
    deviceLayout->addLayout(useRow);

    auto *top = new QHBoxLayout;
    top->addWidget(portFrame, 3);
    top->addWidget(speedFrame, 2);
    top->addLayout(buttons);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(deviceFrame, 1);

    connect(Button1, &QPushButton::clicked, this, &TOptionsForm::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TOptionsForm::Button2Click);
    connect(ComboBox1, &QComboBox::currentIndexChanged, this, &TOptionsForm::ShowDevice);
    connect(ComboBox1, &QComboBox::editTextChanged, this, &TOptionsForm::ShowDevice);
    connect(DeviceList, &QComboBox::activated, this, &TOptionsForm::DeviceListClick);
    connect(DeviceList->lineEdit(), &QLineEdit::editingFinished, this,
            &TOptionsForm::DeviceListTyped);
}

void TOptionsForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    FormShow();
}

void TOptionsForm::FormShow()
{
    if (!MainForm)
        return;
    // Each showing starts from the port as it is, and lists the devices there are now.
    chosen_.clear();
    DeviceList->clear();
    DeviceList->addItem(QStringLiteral("No entry: the port the system lists at this place"),
                        QString());
    for (const PortInfo &p : PortDirectory::global().listedPorts()) {
        const QString details = p.details();
        DeviceList->addItem(details.isEmpty() ? p.device
                                              : QStringLiteral("%1: %2").arg(p.device, details),
                            p.entryName());
        DeviceList->setItemData(DeviceList->count() - 1, p.device, kDeviceRole);
    }
    ComboBox1->SetItemIndex(MainForm->PortIndex);
    ComboBox2->SetItemIndex(MainForm->BaudIndex);
    ShowDevice();
}

QString TOptionsForm::SelectedCom() const
{
    const int index = ComboBox1->MatchingIndex();
    return index < 0 ? QString() : ComboBox1->itemText(index);
}

void TOptionsForm::ShowDevice()
{
    const QString com = SelectedCom();
    DeviceList->setEnabled(!com.isEmpty());
    if (com.isEmpty()) {
        DeviceLabel->setText(QStringLiteral("No port selected."));
        DeviceList->setCurrentIndex(-1);
        return;
    }
    // What the name will open once Ok takes the entries picked meanwhile.
    PortDirectory preview = PortDirectory::global();
    QMap<QString, QString> entries = preview.explicitEntries();
    entries.insert(chosen_);
    preview.setExplicit(entries);
    QStringList lines = preview.describe(preview.resolve(com));
    lines.first() = QStringLiteral("%1 opens: %2").arg(com, lines.first());
    DeviceLabel->setText(lines.join(QLatin1Char('\n')));
    // An entry names a listed device by its stable name or by its device name; one that
    // names no listed device (a simulated module, a link of the operator's own) leaves the
    // list without a selection.
    const QString entry = preview.explicitEntries().value(com);
    int item = DeviceList->findData(entry);
    if (item < 0 && !entry.isEmpty())
        item = DeviceList->findData(entry, kDeviceRole);
    DeviceList->setCurrentIndex(item);
    if (item < 0)
        DeviceList->setEditText(entry);
}

void TOptionsForm::DeviceListClick(int item)
{
    const QString com = SelectedCom();
    if (com.isEmpty() || item < 0)
        return;
    chosen_.insert(com, DeviceList->itemData(item).toString());
    ShowDevice();
}

void TOptionsForm::DeviceListTyped()
{
    const QString com = SelectedCom();
    const int item = DeviceList->currentIndex();
    // A pick from the list shows the item's own text: nothing was typed.
    if (com.isEmpty() || (item >= 0 && DeviceList->itemText(item) == DeviceList->currentText()))
        return;
    const QString entry = DeviceList->currentText().trimmed();
    QMap<QString, QString> entries = PortDirectory::global().explicitEntries();
    entries.insert(chosen_);
    if (entry == entries.value(com))
        return;
    chosen_.insert(com, entry);
    ShowDevice();
}

void TOptionsForm::Button1Click()
{
    DeviceListTyped(); // typed, and Ok pressed before leaving the field
    if (MainForm) {
        for (auto it = chosen_.cbegin(); it != chosen_.cend(); ++it)
            MainForm->ChooseDevice(it.key(), it.value());
        chosen_.clear();
        // A list left without an entry keeps its value: its index, -1, would open COM2 at
        // 4800 and be written so, and an untouched first-run dialog would change the speed.
        const int port = ComboBox1->MatchingIndex();
        const int baud = ComboBox2->MatchingIndex();
        if (port >= 0)
            MainForm->PortIndex = port;
        if (baud >= 0)
            MainForm->BaudIndex = baud;
        MainForm->Guarded([] { MainForm->ApplyPortSettings(); });
    }
    accept();
}

void TOptionsForm::Button2Click()
{
    reject();
}
