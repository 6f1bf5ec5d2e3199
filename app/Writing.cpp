#include "app/Writing.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QVBoxLayout>

TWritingForm *WritingForm = nullptr;

namespace {
constexpr int kWidth = 300;
constexpr int kHeight = 96;
} // namespace

TWritingForm::TWritingForm(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("WritingForm"));
    setWindowTitle(QStringLiteral("WritingForm"));
    // Not modal: the main window stays usable while a file goes out, and the sender itself
    // lets the windows process their messages between lines.
    setModal(false);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);

    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    Button1 = new QPushButton(QStringLiteral("&Abort"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setAutoDefault(false);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(ProgressBar1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Button1);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    setFixedSize(kWidth, kHeight);

    connect(Button1, &QPushButton::clicked, this, &TWritingForm::Button1Click);
}

void TWritingForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return; // the desktop showing it again (de-iconified): not a new transfer
    // Centred on the desktop, frame included; the frame is known once the window exists.
    if (const QScreen *s = screen() ? screen() : QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(s->availableGeometry().center());
        move(frame.topLeft());
    }
    FormShow();
}

void TWritingForm::SetProgress(int lines)
{
    ProgressBar1->setUpdatesEnabled(false);
    ProgressBar1->setValue(lines);
    ProgressBar1->setUpdatesEnabled(true); // schedules the paint
}

void TWritingForm::FormShow()
{
    Aborted = false;
}

void TWritingForm::Button1Click()
{
    Aborted = true;
}

void TWritingForm::reject()
{
    Aborted = true;
    QDialog::reject();
}
