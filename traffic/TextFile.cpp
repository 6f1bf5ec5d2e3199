#include "traffic/TextFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace TextFile {

namespace {

[[noreturn]] void fail(const QString &path, const QString &cause)
{
    throw FileReadError(
        QStringLiteral("Cannot open file \"%1\". %2").arg(path, cause).toStdString());
}

[[noreturn]] void fail(const QString &path, int err)
{
    fail(path, QString::fromLocal8Bit(std::strerror(err)));
}

} // namespace

QByteArray readAll(const QString &path)
{
    const QByteArray name = path.toLocal8Bit();
    // Without O_NONBLOCK the open of a pipe would wait for its writer before the check below.
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        fail(path, errno);
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int err = errno;
        ::close(fd);
        fail(path, err);
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        if (S_ISDIR(st.st_mode))
            fail(path, EISDIR);
        fail(path, QStringLiteral("Not a regular file"));
    }
    QByteArray data;
    data.reserve(qsizetype(st.st_size));
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n > 0) {
            data.append(buf, qsizetype(n));
        } else if (n == 0) {
            break;
        } else if (errno != EINTR) {
            const int err = errno;
            ::close(fd);
            fail(path, err);
        }
    }
    ::close(fd);
    return data;
}

bool nextLine(QByteArrayView text, qsizetype &pos, QByteArrayView &line)
{
    const char *const begin = text.data();
    const char *const end = begin + text.size();
    const char *p = begin + pos;
    if (p >= end || *p == '\0')
        return false;
    const char *const start = p;
    while (p < end && *p != '\0' && *p != '\r' && *p != '\n')
        ++p;
    line = QByteArrayView(start, p - start);
    if (p < end && *p == '\r')
        ++p;
    if (p < end && *p == '\n')
        ++p;
    pos = p - begin;
    return true;
}

qsizetype lineCount(QByteArrayView text)
{
    qsizetype n = 0, pos = 0;
    QByteArrayView line;
    while (nextLine(text, pos, line))
        ++n;
    return n;
}

QList<QByteArray> splitLines(const QByteArray &text)
{
    QList<QByteArray> lines;
    qsizetype pos = 0;
    QByteArrayView line;
    while (nextLine(text, pos, line))
        lines.append(line.toByteArray());
    return lines;
}

QByteArray fileLine(const QByteArray &line)
{
    return line + QByteArrayLiteral("\r\n");
}

int packetCount(qsizetype bytes, int width)
{
    if (width <= 0)
        return 0;
    return int((bytes + width - 1) / width);
}

QByteArray packet(const QByteArray &fileLine, int width, int index)
{
    QByteArray p = fileLine.mid(qsizetype(index) * width, width);
    if (p.size() < width)
        p.append(width - p.size(), ' ');
    return p;
}

QByteArray linePacket(QByteArrayView line, int width, int index)
{
    QByteArray p(width, ' ');
    const qsizetype start = qsizetype(index) * width;
    for (int k = 0; k < width; ++k) {
        const qsizetype at = start + k;
        if (at < line.size())
            p[k] = line[at];
        else if (at == line.size())
            p[k] = '\r';
        else if (at == line.size() + 1)
            p[k] = '\n';
        else
            break;
    }
    return p;
}

} // namespace TextFile
