#pragma once

// A main window started on a simulated module, as the program starts on one: the settings
// file maps COM1 to sim:NAME at the given speed index, and the module powers on with its
// documented configuration (at the port's speed). The window is not shown, so nothing is sent
// until the test presses a button.

#include "app/Memo.h"
#include "app/Radio.h"
#include "sim/SimModule.h"
#include "sim/SimulatedModules.h"
#include "support/IsolatedSettings.h"
#include "support/SimTrace.h"

#include <QByteArray>
#include <QStringList>

#include <memory>
#include <vector>

class SimStation {
public:
    SimStation(const IsolatedSettings &settings, const QString &name, int baudIndex = 0)
    {
        static const bool registered = (registerSimulatedModules(), true);
        Q_UNUSED(registered)
        static const int speeds[] = {9600, 19200, 38400, 57600, 115200};
        module = SimModule::named(name);
        module->factoryReset();
        SimConfig c = module->config();
        c.serialSpeed = speeds[baudIndex];
        module->setConfig(c);
        settings.write(QStringLiteral("[Port]\nCOM=0\nBaud=%1\n[Devices]\nCOM1=sim:%2\n")
                           .arg(baudIndex)
                           .arg(name)
                           .toUtf8());
        form = std::make_unique<TMainForm>();
        // The operations' logs start on a clean pane, after the line that names the module.
        form->Memo1->Clear();
        module->clearTrace();
    }

    TMainForm &f() { return *form; }

    // The bytes the port sent to the module, in order, with the RTS level of each.
    std::vector<SimTraceEntry> sent() const
    {
        return traceOf(module, SimTraceEntry::Direction::ToModule);
    }
    QByteArray sentBytes() const { return bytesOf(sent()); }
    QByteArray receivedBytes() const
    {
        return bytesOf(traceOf(module, SimTraceEntry::Direction::FromModule));
    }

    // The log without the empty line every pane starts with.
    QStringList log() const { return form->Memo1->Lines().mid(1); }

    SimModule *module = nullptr;
    std::unique_ptr<TMainForm> form;
};
