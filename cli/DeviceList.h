#pragma once

// The serial devices of this machine as `quorvane-cli list` shows them: the COM name the
// console opens each by, the device, its stable name under /dev/serial/by-id (the same
// adapter keeps it whichever socket it is in), the kernel driver, vendor, product and serial
// number.

#include <QJsonArray>
#include <QList>
#include <QString>

struct SerialDevice {
    QString com; // empty when no COM name opens it
    QString device;
    QString byId;
    QString driver;
    QString vendor;
    QString product;
    QString serial;
};

class DeviceList {
public:
    static QList<SerialDevice> Find();
    static QString Text(const QList<SerialDevice> &devices);
    static QJsonArray Json(const QList<SerialDevice> &devices);
};
