#pragma once

// The link test's counters are 32-bit floats (they stop growing at 16,777,216) shown in their
// shortest decimal form: "0", "1", "2" ..., whole numbers without a decimal point.

#include <QString>

#include <cmath>

inline QString counterText(float v)
{
    // Whole counts, the only kind the link test makes, go the short way: a flood sets one on
    // every packet, and the general conversion cost more than the rest of the count.
    if (v >= 0.0f && v <= 16777216.0f && !std::signbit(v)) {
        const auto whole = static_cast<qint32>(v);
        if (static_cast<float>(whole) == v)
            return QString::number(whole);
    }
    return QString::number(double(v), 'g', 10);
}
