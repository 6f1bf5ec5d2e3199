#pragma once

// How the panes show text, ticked in the View menu and remembered in "Quorvane.ini":
//
//   [View]
//   Time Stamps=1    ; every pane line starts with the time it was added, hh:mm:ss.zzz
//   Hex and Text=0   ; Received: each packet's bytes in hex, then its text
//   UTF-8 Text=0     ; Sent and Received: text read as UTF-8 instead of a character a byte
//   Whole Lines=1    ; Received: packets joined, lines broken where CR, LF or CR LF arrive
//
// They change what the panes show, never what is sent, read, counted or recorded. The key is
// the menu item's caption; a missing key, or one that is no integer, is off.

#include <QString>

class IniFile;

class ViewOptions {
public:
    enum Option { TimeStamps, HexAndText, Utf8Text, WholeLines };
    static constexpr int Count = 4;

    static QString Section() { return QStringLiteral("View"); }
    // The menu item and the key: "Time Stamps", "Hex and Text", "UTF-8 Text", "Whole Lines".
    static QString Name(Option option);

    bool on(Option option) const { return (bits_ >> option) & 1U; }
    void set(Option option, bool on);
    // Whether any option changes the Received pane's lines (the time stamps do not).
    bool readsReceived() const { return on(HexAndText) || on(Utf8Text) || on(WholeLines); }

    static ViewOptions Read(const IniFile &ini);
    // Writes one option's key at once, every other line of the file kept. A failed write
    // raises Exception "Unable to write to Quorvane.ini" (or the file given for this run).
    static void Write(IniFile &ini, Option option, bool on);

private:
    unsigned bits_ = 0;
};
