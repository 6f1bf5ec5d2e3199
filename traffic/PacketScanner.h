#pragma once

// Finds numbered test packets in the received data however the receive handling hands it
// over: a read may hold two packets (both were queued before the event ran), a part of one
// (a receive width below the packet's), or a header cut in two by the end of a read. The
// scanner keeps the few bytes it needs from one read to the next: a header cut short, and
// whether the last packet's alphabet ran up to the end of the read and may go on in the next.
//
// The cost per read is a memchr for the marker and a comparison of each packet's own bytes
// with the alphabet: nothing is copied.

#include "traffic/TestPacket.h"

#include <QByteArrayView>
#include <QVarLengthArray>

class PacketScanner {
public:
    struct Packet {
        int number;
        int width; // bytes seen so far; a later read may continue it (Result::continued)
    };
    struct Result {
        int continued = 0; // leading bytes that went on with the previous read's last packet
        QVarLengthArray<Packet, 4> packets; // headers completed in this read, in order
        bool other = false;                 // bytes that belong to no numbered packet
    };

    Result scan(QByteArrayView bytes);
    // Forgets what the last read left open.
    void reset();

private:
    // The alphabet bytes from bytes[from] on that continue a packet already `width` long.
    static int tailLength(QByteArrayView bytes, qsizetype from, int width);

    char carry_[TestPacket::HeaderLength] = {};
    int carried_ = 0;   // bytes of a header cut short by the end of the last read
    int openWidth_ = 0; // width of the last packet when its alphabet reached the end of the read
};
