#include "sim/SimInterference.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

constexpr double kPi = 3.14159265358979323846;

std::string trimmed(const std::string &s)
{
    const size_t first = s.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

// A whole number in 0 to max, and nothing else.
bool number(const std::string &s, long max, long *out)
{
    if (s.empty() || s.size() > 9 || s.find_first_not_of("0123456789") != std::string::npos)
        return false;
    *out = std::strtol(s.c_str(), nullptr, 10);
    return *out <= max;
}

} // namespace

SimInterference SimInterference::wifi()
{
    SimInterference w;
    for (int ch = 0; ch < Channels; ++ch) {
        double kept = 1.0;
        for (const int centre : WifiCentresMhz) {
            const double offset = std::abs(2400.0 + ch - centre) / WifiHalfWidthMhz;
            if (offset >= 1.0)
                continue;
            // Most at the centre, falling off smoothly to nothing at the band's edge.
            const double c = std::cos(offset * kPi / 2);
            kept *= 1.0 - WifiPeakPercent / 100.0 * c * c;
        }
        w.loss_[size_t(ch)] = (1.0 - kept) * 100.0;
    }
    return w;
}

bool SimInterference::parse(const std::string &text, SimInterference *out, std::string *error)
{
    SimInterference p;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t comma = std::min(text.find(',', start), text.size());
        const std::string item = trimmed(text.substr(start, comma - start));
        start = comma + 1;
        if (item.empty() || item == "none")
            continue;
        if (item == "wifi") {
            const SimInterference w = wifi();
            for (int ch = 0; ch < Channels; ++ch)
                p.loss_[size_t(ch)] = std::max(p.loss_[size_t(ch)], w.loss_[size_t(ch)]);
            continue;
        }
        const size_t colon = item.find(':');
        const size_t dash = item.find('-');
        long from = 0, to = 0, percent = 0;
        const bool ok = colon != std::string::npos &&
                        number(trimmed(item.substr(colon + 1)), 100, &percent) &&
                        (dash != std::string::npos && dash < colon
                             ? number(trimmed(item.substr(0, dash)), Channels - 1, &from) &&
                                   number(trimmed(item.substr(dash + 1, colon - dash - 1)),
                                          Channels - 1, &to) &&
                                   from <= to
                             : number(trimmed(item.substr(0, colon)), Channels - 1, &from) &&
                                   (to = from, true));
        if (!ok) {
            *error = "\"" + item +
                     "\": wifi, none, or CHANNEL:PERCENT and FIRST-LAST:PERCENT with channels 0 "
                     "to 127 and percentages 0 to 100";
            *out = SimInterference();
            return false;
        }
        for (long ch = from; ch <= to; ++ch)
            p.loss_[size_t(ch)] = double(percent);
    }
    *out = p;
    return true;
}

bool SimInterference::any() const
{
    return std::any_of(loss_.begin(), loss_.end(), [](double l) { return l > 0; });
}
