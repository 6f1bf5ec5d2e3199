#pragma once

// The link test's counters are 32-bit floats (they stop growing at 16,777,216) shown in their
// shortest decimal form: "0", "1", "2" ..., whole numbers without a decimal point.

#include <QString>

inline QString counterText(float v)
{
    return QString::number(double(v), 'g', 10);
}
