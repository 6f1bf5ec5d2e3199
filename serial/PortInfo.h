#pragma once

// One serial port as the system lists it: the device, its stable name, and what the system
// knows of the hardware behind it. The operator picks a port by these, so they are shown as
// the system gives them.

#include <QList>
#include <QString>

struct PortInfo {
    QString device;       // "/dev/ttyUSB0"
    QString stableName;   // "/dev/serial/by-id/usb-FTDI_...-if00-port0"; empty when none
    QString description;  // "FT232R USB UART"
    QString manufacturer; // "FTDI"
    QString serialNumber; // "A1B2C3"
    QString driver;       // "ftdi_sio", "serial8250", "uart-pl011"
    int vendorId = -1;    // USB vendor and product, -1 when not a USB device
    int productId = -1;

    // USB adapters come before the on-board ports in the order of COM names.
    bool isAdapter() const;
    // The name a [Devices] entry keeps for this port: the stable name survives replugging and
    // renumbering, the device name does not.
    QString entryName() const { return stableName.isEmpty() ? device : stableName; }
    // "FT232R USB UART, FTDI, 0403:6001, serial A1B2C3, driver ftdi_sio": what is known.
    QString details() const;

    // The serial ports of this machine, as the system lists them.
    static QList<PortInfo> systemPorts();
    // The order of COM names: adapters first, then the others, each in name order.
    static void sortForComNames(QList<PortInfo> &ports);
};
