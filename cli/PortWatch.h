#pragma once

// The adapters plugged in: the serial devices of the system's port list that are USB or ACM
// adapters (on-board ports are taken only when named), or the entries of a folder of device
// links (a rack whose udev rules make /dev/rack/slot1 and so on). A link in such a folder may
// also name a simulated module by its target text (slot1 -> sim:A), for trying a station
// without hardware.
//
// Watching costs nothing while nothing changes: the kernel tells of changes to the folder (or
// to /dev and /dev/serial/by-id), and the list is looked at only then.

#include "cli/ModuleTask.h"

#include <QFileSystemWatcher>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

class PortWatch : public QObject {
    Q_OBJECT

public:
    // folder: the folder of device links; empty for the system's port list.
    explicit PortWatch(const QString &folder, QObject *parent = nullptr);

    struct Plugged {
        ModulePort port;
        // Changes when the adapter is unplugged and plugged again, even under the same name:
        // a new device node, a new link.
        QString identity;
    };
    // What is plugged in now, in name order.
    QList<Plugged> Look() const;
    // Why Look() cannot work (the folder does not exist), or empty.
    QString Problem() const;

    // Starts watching: changed() follows every change, a little later, once it has settled.
    void Start();

    // The adapter behind a device path as the system lists it: its stable name and serial
    // number, when it is listed.
    static void Describe(ModulePort &port);

signals:
    void changed();

private:
    void rewatch();

    QString folder_;
    QFileSystemWatcher watcher_;
    QTimer settle_;
};
