// Typed lines and text files over the radio link. A typed line goes out as it stands, in one
// write; a file goes out line by line, each line with CR LF cut into packets of exactly the
// receive width W (DataW1), so that a station with the same width shows each packet as soon
// as it is complete. What went out is echoed into the "Sent" pane.

#include "app/InputHistory.h"
#include "app/Memo.h"
#include "app/OpenDialog.h"
#include "app/Prompts.h"
#include "app/Radio.h"
#include "app/SpinEdit.h"
#include "app/Writing.h"
#include "serial/Radiocom.h"
#include "traffic/ResponsivePause.h"
#include "traffic/TextFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QLineEdit>
#include <QProgressBar>

#include <algorithm>
#include <climits>

namespace {

// The pause after every file packet: the only pacing of a file transfer.
constexpr int kPacketPauseMs = 10;

} // namespace

void TMainForm::EchoSent(QByteArrayView bytes)
{
    if (!View.on(ViewOptions::Utf8Text)) {
        SentMemo->AddLine(QString::fromLatin1(bytes));
        return;
    }
    SentMemo->Record(QString::fromLatin1(bytes));
    SentMemo->Show(QString::fromUtf8(bytes));
}

void TMainForm::SendEditKeyPress(char &Key)
{
    if (Key != '\r' || SendEdit->text().isEmpty())
        return;
    Key = 0; // Enter sends the line; the field has nothing to do with it
    SendHistory->Add(SendEdit->text());
    SendTypedLine();
}

void TMainForm::SendTypedLine()
{
    const int width = DataW1->Value();
    const QByteArray text = SendEdit->text().toLatin1();
    // The pane shows what went out, the bytes of the text (not the field's text itself).
    if (!SendText(text)) {
        EchoSent(text);
        return;
    }
    // A line the port did not take is tried once more, filled up to the packet width with the
    // digit zero; a line of the width or longer is not tried again.
    if (text.size() >= width)
        return;
    QByteArray padded = text;
    padded.append(width - text.size(), '0');
    if (!SendText(padded))
        EchoSent(text);
}

void TMainForm::Button11Click()
{
    // One transfer at a time: a second one would run inside the first, between two of its
    // lines, and leave the first without its progress window and "&Abort".
    if (FileSending)
        return;
    const QString path = ChooseTextFile();
    if (!path.isEmpty())
        SendTextFile(path);
}

QString TMainForm::ChooseTextFile()
{
    OpenDialog1->InitialDir = QDir::currentPath();
    OpenDialog1->Title = QStringLiteral("Open Text File");
    OpenDialog1->FileName.clear();
    OpenDialog1->Filter = QStringLiteral("Text Files (*.txt)");
    return OpenDialog1->Execute() ? OpenDialog1->FileName : QString();
}

void TMainForm::SendTextFile(const QString &path)
{
    const int width = DataW1->Value();
    if (width <= 0)
        return;
    // A file that cannot be read throws (naming the file and the cause) before anything is
    // shown or sent; the handler's error box reports it. The file is held once, its lines are
    // walked in place.
    const QByteArray text = TextFile::readAll(path);
    const qsizetype lines = TextFile::lineCount(text);

    TWritingForm *const progress = WritingForm;
    if (progress) {
        progress->setWindowTitle(QStringLiteral("Sending text File"));
        progress->ProgressBar1->setRange(0, int(std::min<qsizetype>(lines, INT_MAX)));
        progress->ProgressBar1->setValue(0);
    }
    QCoreApplication::processEvents();
    if (lines == 0) {
        Prompts::current()->critical(this, QStringLiteral("Error!"),
                                     QStringLiteral("Null length File!"));
        return;
    }

    // On every way out, an unexpected error included: the progress window is hidden, and a
    // close of the main window that waited for the transfer goes ahead.
    struct Running {
        TMainForm *form;
        TWritingForm *progress;
        Running(TMainForm *f, TWritingForm *p) : form(f), progress(p) { form->FileSending = true; }
        ~Running()
        {
            if (progress)
                progress->hide();
            form->FileSending = false;
            form->BusyLoopEnded();
        }
        Running(const Running &) = delete;
        Running &operator=(const Running &) = delete;
    } running(this, progress);
    if (progress)
        progress->show(); // clears Aborted
    // Data received during the transfer is shown on a clean pane.
    Clear1Click();
    RecMemo->repaint();

    qsizetype handled = 0;
    qsizetype pos = 0;
    QByteArrayView line;
    while (TextFile::nextLine(text, pos, line)) {
        QCoreApplication::processEvents(); // "&Abort", received data, the other windows
        if (progress && progress->Aborted)
            return;
        // Every byte of the line and its CR LF goes out, the last packet filled up with
        // spaces: a line shorter than W is one padded packet, a longer one ends in one.
        const int packets = TextFile::packetCount(line.size() + 2, width);
        for (int i = 0; i < packets; ++i) {
            const QByteArray packet = TextFile::linePacket(line, width, i);
            const int sent = SerialConnector->SendBuffer(
                reinterpret_cast<const unsigned char *>(packet.constData()), width);
            if (sent != width) {
                if (progress)
                    progress->hide();
                Prompts::current()->critical(
                    this, QStringLiteral("Error!"),
                    QStringLiteral("Cannot Perform Write Operation to Modul!"));
                return;
            }
            // Between the packets of one line nothing else may run: another operation's bytes
            // would land inside the line at the other station.
            if (i + 1 < packets)
                Pause(kPacketPauseMs);
        }
        EchoSent(line);
        ++handled;
        if (progress)
            progress->SetProgress(int(std::min<qsizetype>(handled, INT_MAX)));
        // The pause after a line's last packet is where the windows run: the echo and the
        // progress show, received data is handled and "&Abort" is taken, while the pause
        // runs instead of after it.
        responsivePause(kPacketPauseMs);
    }
}
