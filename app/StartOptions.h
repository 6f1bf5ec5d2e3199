#pragma once

// What the program is asked at start besides Qt's own options: whether a simulated module
// stands in for the ports, and which one.
//
//   --simulate         every COM name opens the simulated module
//   --simulate=NAME    every COM name opens the simulated module NAME; two consoles started
//                      with different names hear each other on one simulated air
//   QV_SIM_MODULE=NAME the same as --simulate=NAME, for the environment of a launcher
//
// Nothing else makes the program simulate: without a module asked for, a COM name opens its
// device or nothing.

#include <QString>
#include <QStringList>

struct StartOptions {
    bool Simulate = false;
    QString SimulatedModule; // empty: the module "default"

    // The program's arguments (the program name first) and the environment; the option wins
    // over the environment.
    static StartOptions Read(const QStringList &arguments);

    // Makes the simulated modules reachable ([Devices] COM1=sim), keeping their state in
    // stateFolder, and puts every COM name on the one asked for.
    void ApplyToPorts(const QString &stateFolder) const;
    // The line for the terminal when a simulated module stands in; empty otherwise.
    QString TerminalLine() const;
    // Where the simulator's guide is on this machine: installed, else in the source tree.
    static QString SimulatorGuide();
};
