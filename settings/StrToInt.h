#pragma once

// Integer conversion as the operator's inputs and the settings file need it: optional blanks
// in front, an optional sign, then decimal digits, or hexadecimal digits after "$" or "0x"
// ("0X"). Nothing may follow the digits, and the result must fit 32 bits.

#include <QString>

// The value, or EConvertError "'<text>' is not a valid integer value".
int StrToInt(const QString &text);

// The value, or false without touching value.
bool TryStrToInt(const QString &text, int &value);
