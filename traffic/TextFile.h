#pragma once

// A text file as the file sender sees it: read whole as 8-bit text, split into lines, and
// each line (with CR LF) cut into packets of exactly the payload width.
//
// The sender holds the file once and walks its lines in place (nextLine, lineCount,
// linePacket): a list of the lines would be a second copy of the file, and for a file of
// short lines many times its size in list entries.

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <functional>
#include <stdexcept>

// A file that cannot be read; the message names the file and the cause.
class FileReadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

namespace TextFile {

// The whole file. Throws FileReadError (missing, no permission, a directory, ...). Only a
// regular file is read: a pipe could keep the window waiting for a writer that never comes,
// and a device such as /dev/zero never ends.
QByteArray readAll(const QString &path);

// Lines split at CR LF, at a lone CR and at a lone LF; the breaks are not part of the lines;
// a last line without a break counts; a zero byte ends the text.
QList<QByteArray> splitLines(const QByteArray &text);

// The same lines one at a time, as views into the text: the line that starts at pos, and pos
// moved past its break. False when the text has ended (its end, or a zero byte).
bool nextLine(QByteArrayView text, qsizetype &pos, QByteArrayView &line);

// How many lines splitLines() gives, without making them.
qsizetype lineCount(QByteArrayView text);

// The file line as it goes out: its bytes and CR LF.
QByteArray fileLine(const QByteArray &line);

// Number of packets of the given width that carry a file line of n bytes (CR LF included).
int packetCount(qsizetype bytes, int width);

// Packet i of a file line: width bytes taken in order from the line; the last packet of a
// line that does not fill it is padded with spaces, so that every byte of the line reaches
// the other station and nothing from outside the line is sent.
QByteArray packet(const QByteArray &fileLine, int width, int index);

// Packet i of a line going out with its CR LF, the same bytes as packet(fileLine(line), ...)
// without making the file line.
QByteArray linePacket(QByteArrayView line, int width, int index);

} // namespace TextFile
