#pragma once

// The link test's packets, W bytes each (W = "Data1 TX").
//
// Unnumbered, as every station understands them: the first W characters of the alphabet, the
// same text every time ("abcdefghijklmnopqrstuvwzx" for W = 25).
//
// Numbered, when the operator asks for them in the link report: the first eight characters
// give way to a sequence number, the rest of the packet is the alphabet as before.
//
//   #001234Yijklmnopqrstuvwzx      '#', six decimal digits, a check letter, the alphabet on
//
// Every byte stays printable, so the pane shows the number as it stands. '#' occurs nowhere in
// the alphabet, so a receiver finds the start of a numbered packet wherever its receive
// handling cut or merged the packets; the check letter ('A' + the digits weighted 1 to 6,
// modulo 26, which every single wrong or swapped digit changes) keeps a typed line such as
// "#100000 parts" from passing for one. The number counts up from 1 and wraps from 999999 to
// 000000; the receiver unwraps it (LinkReport).

#include <QByteArray>

class TestPacket {
public:
    static constexpr char Alphabet[] =
        "abcdefghijklmnopqrstuvwzxyz1234567890ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    static constexpr int AlphabetLength = int(sizeof Alphabet) - 1; // 63: the longest packet
    static constexpr char Marker = '#';
    static constexpr int Digits = 6;
    static constexpr int HeaderLength = Digits + 2; // marker, digits, check letter
    static constexpr int LeastNumberedWidth = HeaderLength;
    static constexpr int NumberRange = 1000000; // numbers wrap here

    // The first width characters of the alphabet (all 63 above that, none below 1).
    static QByteArray plain(int width);
    // The numbered packet of that width for number (taken modulo NumberRange); empty when the
    // width cannot hold a number.
    static QByteArray numbered(qint64 number, int width);
    // The number in the HeaderLength bytes at header, or -1 when they are no header.
    static int headerNumber(const char *header);
    static bool isDigit(char c) { return c >= '0' && c <= '9'; }
};
