#include "cli/PortWatch.h"

#include "serial/PortDirectory.h"

#include <QDir>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// Udev makes the device node first, then gives it its group and its links: a look right at
// the kernel's news could find an adapter the operator may not open yet.
constexpr int kSystemSettleMs = 250;
// A folder's links are made in one step each.
constexpr int kFolderSettleMs = 50;

const QStringList kSystemFolders = {QStringLiteral("/dev"), QStringLiteral("/dev/serial"),
                                    QStringLiteral("/dev/serial/by-id")};

// The text a link holds, as written ("sim:A" stays "sim:A"), or empty for no link.
QString linkText(const QString &path)
{
    char buffer[4096];
    const ssize_t n = ::readlink(QFile::encodeName(path).constData(), buffer, sizeof buffer);
    return n > 0 ? QFile::decodeName(QByteArray(buffer, int(n))) : QString();
}

// The node a path leads to, "device:inode", or empty when it leads to no character device.
QString characterDevice(const QString &path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISCHR(st.st_mode))
        return {};
    return QStringLiteral("%1:%2").arg(st.st_rdev).arg(st.st_ino);
}

} // namespace

PortWatch::PortWatch(const QString &folder, QObject *parent)
    : QObject(parent), folder_(folder), watcher_(this), settle_(this)
{
    settle_.setSingleShot(true);
    settle_.setInterval(folder_.isEmpty() ? kSystemSettleMs : kFolderSettleMs);
    connect(&settle_, &QTimer::timeout, this, [this] {
        rewatch();
        emit changed();
    });
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, [this] { settle_.start(); });
}

QString PortWatch::Problem() const
{
    if (!folder_.isEmpty() && !QFileInfo(folder_).isDir())
        return QStringLiteral("--devices %1: no such folder").arg(folder_);
    return {};
}

void PortWatch::Start()
{
    rewatch();
}

void PortWatch::rewatch()
{
    const QStringList wanted = folder_.isEmpty() ? kSystemFolders : QStringList{folder_};
    for (const QString &path : wanted)
        if (!watcher_.directories().contains(path) && QFileInfo(path).isDir())
            watcher_.addPath(path);
}

void PortWatch::Describe(ModulePort &port)
{
    if (!port.device.startsWith(QLatin1Char('/')))
        return;
    const QString canonical = QFileInfo(port.device).canonicalFilePath();
    for (const PortInfo &p : PortDirectory::global().listedPorts()) {
        if (QFileInfo(p.device).canonicalFilePath() != canonical)
            continue;
        port.byId = p.stableName;
        port.serial = p.serialNumber;
        return;
    }
}

QList<PortWatch::Plugged> PortWatch::Look() const
{
    QList<Plugged> out;
    if (folder_.isEmpty()) {
        for (const PortInfo &p : PortDirectory::global().listedPorts()) {
            if (!p.isAdapter())
                continue;
            Plugged plugged;
            plugged.port = {p.device, p.device, p.stableName, p.serialNumber};
            plugged.identity = characterDevice(p.device) + QLatin1Char(' ') + p.serialNumber;
            out.append(plugged);
        }
        return out;
    }
    const QFileInfoList entries = QDir(folder_).entryInfoList(
        QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    const PortDirectory &directory = PortDirectory::global();
    for (const QFileInfo &entry : entries) {
        const QString path = entry.absoluteFilePath();
        struct stat own {};
        if (::lstat(QFile::encodeName(path).constData(), &own) != 0)
            continue;
        const QString text = S_ISLNK(own.st_mode) ? linkText(path) : QString();
        Plugged plugged;
        plugged.port.name = path;
        QString node;
        if (!text.isEmpty() &&
            directory.resolveEntry(text).kind == PortDirectory::Target::Kind::Scheme) {
            plugged.port.device = text;
        } else if (node = characterDevice(path); !node.isEmpty()) {
            // Opened by the link's own name, as an adapter is by its stable name.
            plugged.port.device = path;
            Describe(plugged.port);
        } else {
            continue; // a link whose device is gone, or no device at all
        }
        plugged.identity = QStringLiteral("%1 %2 %3").arg(own.st_ino).arg(text, node);
        out.append(plugged);
    }
    return out;
}
