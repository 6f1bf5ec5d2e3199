#include "traffic/TextFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace TextFile {

namespace {

[[noreturn]] void fail(const QString &path, int err)
{
    throw FileReadError(QStringLiteral("Cannot open file \"%1\". %2")
                            .arg(path, QString::fromLocal8Bit(std::strerror(err)))
                            .toStdString());
}

} // namespace

QByteArray readAll(const QString &path)
{
    const QByteArray name = path.toLocal8Bit();
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        fail(path, errno);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        const int err = S_ISDIR(st.st_mode) ? EISDIR : errno;
        ::close(fd);
        fail(path, err);
    }
    QByteArray data;
    if (S_ISREG(st.st_mode))
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

QList<QByteArray> splitLines(const QByteArray &text)
{
    QList<QByteArray> lines;
    const char *p = text.constData();
    const char *const end = p + text.size();
    while (p < end && *p != '\0') {
        const char *start = p;
        while (p < end && *p != '\0' && *p != '\r' && *p != '\n')
            ++p;
        lines.append(QByteArray(start, qsizetype(p - start)));
        if (p < end && *p == '\r')
            ++p;
        if (p < end && *p == '\n')
            ++p;
    }
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

} // namespace TextFile
