#include "app/StartOptions.h"

#include "serial/PortDirectory.h"
#include "sim/SimulatedModules.h"

#include <QFileInfo>

StartOptions StartOptions::Read(const QStringList &arguments)
{
    StartOptions o;
    const QString named = qEnvironmentVariable("QV_SIM_MODULE");
    if (!named.isEmpty()) {
        o.Simulate = true;
        o.SimulatedModule = named;
    }
    const QString option = QStringLiteral("--simulate");
    for (const QString &a : arguments.mid(1)) {
        if (a == option) {
            o.Simulate = true;
            o.SimulatedModule.clear();
        } else if (a.startsWith(option + QLatin1Char('='))) {
            o.Simulate = true;
            o.SimulatedModule = a.mid(option.size() + 1);
        }
    }
    return o;
}

void StartOptions::ApplyToPorts(const QString &stateFolder) const
{
    registerSimulatedModules(stateFolder);
    PortDirectory::global().setSimulated(!Simulate ? QString()
                                         : SimulatedModule.isEmpty()
                                             ? QStringLiteral("sim")
                                             : QStringLiteral("sim:") + SimulatedModule);
}

QString StartOptions::TerminalLine() const
{
    if (!Simulate)
        return {};
    const QString module = SimulatedModule.isEmpty()
                               ? QStringLiteral("a simulated module")
                               : QStringLiteral("the simulated module %1").arg(SimulatedModule);
    return QStringLiteral("Quorvane: every COM port opens %1, no radio hardware (see %2).")
        .arg(module, SimulatorGuide());
}

QString StartOptions::SimulatorGuide()
{
    const QString installed = QStringLiteral(QV_DOC_DIR "/simulator.md");
    const QString source = QStringLiteral(QV_SOURCE_DIR "/docs/simulator.md");
    return !QFileInfo::exists(installed) && QFileInfo::exists(source) ? source : installed;
}
