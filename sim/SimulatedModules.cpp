#include "sim/SimulatedModules.h"

#include "serial/PortDirectory.h"
#include "sim/SimLine.h"
#include "sim/SimWorld.h"

void registerSimulatedModules(const QString &stateFolder)
{
    // Nothing of the simulation is made here: its world (with the air's folder) comes with the
    // first simulated module, and the state folder with the first state a module stores.
    SimWorld::setStateFolder(stateFolder.toStdString());
    PortDirectory::global().registerScheme(
        QStringLiteral("sim"), [](const QString &argument) -> std::unique_ptr<SerialLine> {
            return std::make_unique<SimLine>(argument.isEmpty() ? std::string("default")
                                                                : argument.toStdString());
        });
}
