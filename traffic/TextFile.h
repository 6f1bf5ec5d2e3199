#pragma once

// A text file as the file sender sees it: read whole as 8-bit text, split into lines, and
// each line (with CR LF) cut into packets of exactly the payload width.

#include <QByteArray>
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

// The whole file. Throws FileReadError (missing, no permission, a directory, ...).
QByteArray readAll(const QString &path);

// Lines split at CR LF, at a lone CR and at a lone LF; the breaks are not part of the lines;
// a last line without a break counts; a zero byte ends the text.
QList<QByteArray> splitLines(const QByteArray &text);

// The file line as it goes out: its bytes and CR LF.
QByteArray fileLine(const QByteArray &line);

// Number of packets of the given width that carry a file line of n bytes (CR LF included).
int packetCount(qsizetype bytes, int width);

// Packet i of a file line: width bytes taken in order from the line; the last packet of a
// line that does not fill it is padded with spaces, so that every byte of the line reaches
// the other station and nothing from outside the line is sent.
QByteArray packet(const QByteArray &fileLine, int width, int index);

} // namespace TextFile
