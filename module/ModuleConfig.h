#pragma once

// A module's radio configuration as the console knows it: what the Settings frame shows, what
// "Set Module" writes, what the configuration dump reports and what a profile holds. Choices
// are kept as the indexes of the window's lists (-1 for none selected), so that a frame with
// nothing selected is written exactly as the window writes it.

#include <QString>

struct ModuleConfig {
    int channel = 2;      // 0 to 127
    int powerIndex = 0;   // "0  dBm", "-5 dBm", "-10 dBm", "-20 dBm"; -1 none
    int rateIndex = 0;    // "250Kbs", "1Mbs"; -1 none (written as the fast rate)
    int addressWidth = 4; // bytes; the dump can report 0 to 7
    QString address1;     // ten hexadecimal digits, first byte first
    QString address2;     // no command writes it; the dump reports it
    int dataW1 = 0, dataW2 = 0, dataW1TX = 0, dataW2TX = 0; // payload widths in bytes
    // Not in the dump and written by no command: a decoded dump leaves these as they are
    // here, which is what the window then shows.
    int crcIndex = 1; // "8 Bits", "16 Bits"
    bool shockBurst = true;
    bool dualChannel = false;
};
