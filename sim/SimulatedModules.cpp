#include "sim/SimulatedModules.h"

#include "serial/PortDirectory.h"
#include "sim/SimLine.h"
#include "sim/SimWorld.h"

#include <QDir>

void registerSimulatedModules(const QString &stateFolder)
{
    if (!stateFolder.isEmpty())
        QDir().mkpath(stateFolder);
    SimWorld::instance()->setStateFolder(stateFolder.toStdString());
    PortDirectory::global().registerScheme(
        QStringLiteral("sim"), [](const QString &argument) -> std::unique_ptr<SerialLine> {
            return std::make_unique<SimLine>(argument.isEmpty() ? std::string("default")
                                                                : argument.toStdString());
        });
}
