#pragma once

// Makes simulated modules reachable by COM name: registers the scheme "sim" with the global
// PortDirectory, so that a [Devices] entry COM1=sim opens the module "default" and COM2=sim:B
// the module "B". Each named module lives for the whole process; tests reach it, and its
// trace, with SimModule::named().
//
// With a state folder, each module keeps its configuration (its serial speed included) in a
// small file there between runs, as a module with non-volatile memory does; without one it
// powers on with the documented configuration.

#include <QString>

void registerSimulatedModules(const QString &stateFolder = {});
