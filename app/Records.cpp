// The pane record: File, "Record to File..." writes every line any pane takes to a file of the
// operator's choice until File, "Stop Recording"; the status bar shows it meanwhile. The
// panes themselves show their texts as always, without stamps.

#include "app/PaneRecorder.h"
#include "app/Prompts.h"
#include "app/Radio.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QLabel>

void TMainForm::RecordToFile1Click()
{
    // The record goes on after what the file holds, so choosing an existing file asks
    // nothing about replacing it.
    const QString path = Prompts::current()->saveFileName(
        this, QStringLiteral("Record to File"),
        QDir::current().filePath(QStringLiteral("Quorvane record.txt")),
        QStringLiteral("Text Files (*.txt)"), true);
    if (path.isEmpty())
        return;
    QString error;
    if (!Recorder->start(path, error))
        Prompts::current()->critical(this, QStringLiteral("Error!"),
                                     QStringLiteral("Cannot record to %1: %2").arg(path, error));
    ShowRecording();
}

void TMainForm::StopRecording1Click()
{
    Recorder->stop();
    ShowRecording();
}

void TMainForm::RecordFailed(const QString &reason)
{
    ShowRecording();
    Prompts::current()->critical(this, QStringLiteral("Error!"),
                                 QStringLiteral("Recording stopped: %1").arg(reason));
}

void TMainForm::ShowRecording()
{
    const bool on = Recorder->recording();
    RecordToFile1->setEnabled(!on);
    StopRecording1->setEnabled(on);
    RecordingLabel->setText(
        on ? QStringLiteral("Recording to ") + QFileInfo(Recorder->path()).fileName() : QString());
    RecordingLabel->setToolTip(on ? QDir::toNativeSeparators(Recorder->path()) : QString());
    RecordingLabel->setVisible(on);
}

void TMainForm::WireRecordEvents()
{
    On(RecordToFile1, &QAction::triggered, &TMainForm::RecordToFile1Click);
    On(StopRecording1, &QAction::triggered, &TMainForm::StopRecording1Click);
    // Later, not inside the pane that was taking a line when the write failed.
    connect(
        Recorder, &PaneRecorder::failed, this,
        [this](const QString &reason) { Guarded([this, reason] { RecordFailed(reason); }); },
        Qt::QueuedConnection);
}
