#include "app/Eepromoptions.h"

#include "app/ComboBox.h"
#include "app/Radio.h"
#include "serial/PortDirectory.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TOptionsForm *OptionsForm = nullptr;

TOptionsForm::TOptionsForm(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("OptionsForm"));
    setWindowTitle(QStringLiteral("Communication Settings"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(424, 151);

    auto *portFrame = new QGroupBox(QStringLiteral("Serial port"), this);
    ComboBox1 =
        new TComboBox({QStringLiteral("COM1"), QStringLiteral("COM2"), QStringLiteral("COM3"),
                       QStringLiteral("COM4"), QStringLiteral("COM5"), QStringLiteral("COM6"),
                       QStringLiteral("COM7"), QStringLiteral("COM8")},
                      portFrame);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setAccessibleName(QStringLiteral("Serial port"));
    DeviceLabel = new QLabel(portFrame);
    DeviceLabel->setObjectName(QStringLiteral("DeviceLabel"));
    DeviceLabel->setAccessibleName(QStringLiteral("Device"));
    DeviceLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    DeviceLabel->setWordWrap(true);
    auto *portLayout = new QVBoxLayout(portFrame);
    portLayout->addWidget(ComboBox1);
    portLayout->addWidget(DeviceLabel, 1, Qt::AlignTop);

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

    auto *layout = new QHBoxLayout(this);
    layout->addWidget(portFrame, 3);
    layout->addWidget(speedFrame, 2);
    layout->addLayout(buttons);

    connect(Button1, &QPushButton::clicked, this, &TOptionsForm::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TOptionsForm::Button2Click);
    connect(ComboBox1, &QComboBox::currentIndexChanged, this, &TOptionsForm::ShowDevice);
    connect(ComboBox1, &QComboBox::editTextChanged, this, &TOptionsForm::ShowDevice);
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
    ComboBox1->SetItemIndex(MainForm->PortIndex);
    ComboBox2->SetItemIndex(MainForm->BaudIndex);
    ShowDevice();
}

void TOptionsForm::ShowDevice()
{
    // The list keeps the COM names the operator knows; the device behind the chosen one is
    // told beside it, since on this machine a COM name is only a name.
    const int index = ComboBox1->ItemIndex();
    if (index < 0) {
        DeviceLabel->setText(QStringLiteral("No port selected."));
        return;
    }
    const QString com = ComboBox1->itemText(index);
    DeviceLabel->setText(
        QStringLiteral("%1 opens: %2").arg(com, PortDirectory::global().describe(com)));
}

void TOptionsForm::Button1Click()
{
    if (MainForm) {
        MainForm->PortIndex = ComboBox1->ItemIndex();
        MainForm->BaudIndex = ComboBox2->ItemIndex();
        MainForm->Guarded([] { MainForm->ApplyPortSettings(); });
    }
    accept();
}

void TOptionsForm::Button2Click()
{
    reject();
}
