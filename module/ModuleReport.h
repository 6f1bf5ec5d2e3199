#pragma once

// What the module core tells whoever drives it (the main window, the command-line
// programmer). The core never shows anything itself: the log lines are its own words, and the
// one who listens decides where they go.

#include <QString>

struct ModuleConfig;

// An input the configuration write refuses before anything is sent.
struct ModuleRefusal {
    enum class Kind {
        Input,      // an error message of the console's own ("Error. Address Length must be 10!")
        Conversion, // an address pair that is no hexadecimal number: the conversion error
    } kind;
    QString text;
};

class ModuleReport {
public:
    virtual ~ModuleReport() = default;

    // One line of the log: "Set Module.", "Read Config", "OK", "Comm. Error!" ...
    virtual void moduleLog(const QString &line) = 0;
    // "Comm. Error!" has just been logged: a command did not go out whole, or a read got no
    // answer in time.
    virtual void moduleNotDetected() = 0;
    // The programming line (RTS) as the core last set it, whether or not the port took it.
    virtual void programmingLine(bool raised) = 0;
    virtual void moduleAsleep(bool asleep) = 0;
    virtual void writeRefused(const ModuleRefusal &refusal) = 0;
    // A configuration dump has come and been decoded; "OK" follows once the read is over.
    virtual void configRead(const ModuleConfig &config) = 0;
    // A command operation was refused before anything was sent, because the port cannot
    // drive the programming line (a raw TCP port); text says so in one line.
    virtual void operationRefused(const QString &text) { moduleLog(text); }
    // A configuration read is over: its dump was taken (answered) or its time-out ran out.
    virtual void readEnded(bool answered) { (void)answered; }
};
