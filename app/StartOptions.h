#pragma once

// What the program is asked at start (quorvane --help lists it): whether a simulated module
// stands in for every port, and which one; and which file holds the settings. Read before any
// window exists, so that --help and --version need no display; an argument the program does
// not know ends it with one line and exit code 2, while Qt's own options are left to Qt.
// Nothing makes the program simulate but --simulate[=NAME] and QV_SIM_MODULE=NAME (and
// [Devices] entries, per COM name).

#include <QString>
#include <QStringList>

struct StartOptions {
    bool Simulate = false;
    QString SimulatedModule; // empty: the module "default"
    QString SettingsFile;    // absolute; empty: the one in the configuration folder

    // Set when the program ends at once (--help, --version, a wrong option): with this exit
    // code, after writing Message to standard output (code 0) or standard error.
    bool Exit = false;
    int ExitCode = 0;
    QString Message;

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
    // "1.0.0"; and "quorvane 1.0.0" with the license, as --version writes them.
    static QString Version();
    static QString VersionText();
};
