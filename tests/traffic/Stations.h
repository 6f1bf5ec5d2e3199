#pragma once

// Two stations on one simulated air, as two operators would set them up: a main window on
// COM1 with module A and one on COM2 with module B, both modules programmed for payloads of
// the same width and both ports at the modules' speed. Each fixture gets modules of its own
// (a module lives for the whole process), so no test sees another's bytes.

#include "app/Memo.h"
#include "app/Radio.h"
#include "app/SpinEdit.h"
#include "sim/SimModule.h"
#include "support/IsolatedSettings.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <vector>

struct Station {
    std::unique_ptr<TMainForm> form;
    SimModule *module = nullptr;

    TMainForm *operator->() const { return form.get(); }

    // The data bytes the window handed to its module (the programming line low), in order.
    QByteArray dataSent() const
    {
        QByteArray out;
        for (const SimTraceEntry &e : module->trace())
            if (e.direction == SimTraceEntry::Direction::ToModule && !e.rts)
                out += char(e.byte);
        return out;
    }
    // The bytes the module handed to the window's port: what it heard on the air.
    QByteArray dataReceived() const
    {
        QByteArray out;
        for (const SimTraceEntry &e : module->trace())
            if (e.direction == SimTraceEntry::Direction::FromModule)
                out += char(e.byte);
        return out;
    }
    // When each of those bytes had left the port (end of its stop bit, steady clock, ns).
    std::vector<SimNs> dataSentTimes() const
    {
        std::vector<SimNs> out;
        for (const SimTraceEntry &e : module->trace())
            if (e.direction == SimTraceEntry::Direction::ToModule && !e.rts)
                out.push_back(e.time);
        return out;
    }
    // Every byte the window handed to its module, whatever the programming line: equal to
    // dataSent().size() when nothing went out as a command.
    size_t bytesToModule() const
    {
        size_t n = 0;
        for (const SimTraceEntry &e : module->trace())
            n += e.direction == SimTraceEntry::Direction::ToModule ? 1 : 0;
        return n;
    }
};

class TwoStations {
public:
    // Speeds: 115200 bit/s on both sides (BaudIndex 4) unless another index is given.
    // width <= 31 programs both modules for that payload width; the windows' DataW1 and
    // DataW1TX are set to width either way.
    TwoStations(const IsolatedSettings &settings, const QString &name, int width, int baudIndex = 4)
    {
        static int serial = 0;
        static const int speeds[] = {9600, 19200, 38400, 57600, 115200};
        const QString base = name + QString::number(++serial);
        SimConfig c;
        c.serialSpeed = speeds[baudIndex];
        if (width > 0 && width <= 31)
            c.rx1Bits = c.tx1Bits = uint8_t(width * 8);
        const QString devices = QStringLiteral("[Devices]\nCOM1=sim:%1A\nCOM2=sim:%1B\n").arg(base);
        a = make(settings, base + QLatin1Char('A'), c, 0, devices, width, baudIndex);
        b = make(settings, base + QLatin1Char('B'), c, 1, devices, width, baudIndex);
    }

    Station a;
    Station b;

private:
    static Station make(const IsolatedSettings &settings, const QString &module,
                        const SimConfig &config, int port, const QString &devices, int width,
                        int baudIndex)
    {
        Station s;
        s.module = SimModule::named(module);
        s.module->factoryReset();
        s.module->setConfig(config);
        settings.write(QStringLiteral("[Port]\nCOM=%1\nBaud=%2\n%3")
                           .arg(port)
                           .arg(baudIndex)
                           .arg(devices)
                           .toUtf8());
        s.form = std::make_unique<TMainForm>();
        s.form->Memo1->Clear(); // after the line that names the module
        s.form->DataW1->SetValue(width);
        s.form->DataW1TX->SetValue(width);
        s.module->clearTrace();
        return s;
    }
};
