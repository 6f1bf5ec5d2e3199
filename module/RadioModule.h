#pragma once

// The radio module as the console drives it through a serial port, without any window: the
// command channel (the RTS programming line, command letters, parameter bytes, the fixed
// pacing), the configuration write with its read-back, Read Config with its reply time-out,
// sleep, wake-up, reset and the module speed change, and the taking of the configuration
// dump. It reports everything through a ModuleReport and never shows anything; the main
// window and the command-line programmer both drive it.
//
// The waits between command steps are blocking sleeps on the calling thread: whatever the
// module answers is handled once the operation has returned. The answer to "R" comes through
// the port's receive event: while ReadActive is set, the one who handles that event hands the
// queued count to TakeDump(). The reply time-out is a timer of this object, so the event loop
// of whoever drives it runs it.

#include "module/ModuleConfig.h"
#include "module/ModuleReport.h"

#include <QByteArray>
#include <QString>
#include <QTimer>

#include <cstdint>

class TRadioCom;

class RadioModule {
public:
    RadioModule(TRadioCom &port, ModuleReport &report);
    RadioModule(const RadioModule &) = delete;
    RadioModule &operator=(const RadioModule &) = delete;

    // ---- Command channel ---------------------------------------------------------------
    void ProgramModeOn();
    void ProgramModeOff();
    // Sends a text (8-bit characters) in one write; true on failure, which it has reported:
    // "Comm. Error!" and moduleNotDetected().
    bool SendText(const QByteArray &text);
    // A blocking pause of the command steps; received data waits meanwhile.
    static void Pause(int ms);

    // ---- Operations --------------------------------------------------------------------
    // The operations below need the programming line: on a port that carries data only (a
    // raw TCP port) each is refused with one message, and nothing is sent.
    //
    // "Set Module": wakes a sleeping module, refuses what cannot be written whole (nothing is
    // sent then, and false comes back), writes the nine settings and starts the read-back.
    bool WriteConfig(const ModuleConfig &config);
    // One setting alone, as "Set Module" writes it: the channel (0 to 127), or the data rate
    // (the RF Data Rate index: 0 "250Kbs", else "1Mbs"). Nothing else of the module changes.
    void WriteChannel(int channel);
    void WriteDataRate(int rateIndex);
    // The configuration read request; does nothing while a read is under way.
    void ReadConfig();
    // The reply time-out's handler (the timer calls it).
    void ReplyTimeout();
    void WakeUp();
    // Puts the module to sleep, or wakes it when it sleeps.
    void Sleep();
    void Reset();
    // Sends the speed command for the Speed list entry index and waits until the module has
    // switched; the port must then follow. False for an index the list does not hold:
    // nothing is sent.
    bool ChangeSpeed(int index);

    // ---- Receive handling in dump mode --------------------------------------------------
    // count bytes are queued at the port. False while fewer than a dump's 20 have come (they
    // stay queued). Otherwise a batch of 20 is read and stored; a stored dump that starts
    // with the marker is decoded and reported, and the read ends ("OK").
    bool TakeDump(int count);

    // The reply time-out, one-shot, armed with 500 ms by each ReadConfig.
    QTimer *ReplyTimer() { return &replyTimer_; }

    // ---- State -------------------------------------------------------------------------
    int CommandDelay = 4;      // ms between command steps
    bool Asleep = false;       // sent to sleep and not woken since
    bool ReadActive = false;   // a configuration read is under way: the port's bytes are the dump
    bool ReplyPending = false; // the reply to the last "R" has not come yet
    int ByteCount = 0;         // dump bytes stored in ReplyBuffer so far
    static constexpr int ReplyBufferSize = 100;
    uint8_t ReplyBuffer[ReplyBufferSize] = {}; // the dump bytes of the current read

private:
    // True, and reported, when the port carries data only: operation is refused, nothing sent.
    bool RefusedOnDataPort(const char *operation);
    // The low 8 bits of the value as one byte; a failed parameter byte is silent.
    void SendParameter(int value);
    // The one-byte exchange: letter, CommandDelay, parameter, CommandDelay, line down,
    // CommandDelay. log (if not empty) is written where the letter's rule puts it.
    enum class LogAt { BeforeLine, AfterLetter, AfterFirstWait };
    void OneByteCommand(char letter, int parameter, const QString &log, LogAt at);

    TRadioCom &port_;
    ModuleReport &report_;
    QTimer replyTimer_;
};
