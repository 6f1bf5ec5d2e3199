#pragma once

// Interference in the simulated air: how many of the packets on each of the 128 channels a
// receiver misses, on top of the air's even loss. A real office is busy where its Wi-Fi is:
// a Wi-Fi channel covers about 22 MHz around its centre, and a module channel N sits at
// 2400 + N MHz, so the module channels under a busy Wi-Fi channel lose packets, most at its
// centre.
//
// A profile is named in QV_SIM_INTERFERENCE (or set by a program) as text:
//   wifi                  busy Wi-Fi channels 1, 6 and 11 (2412, 2437 and 2462 MHz)
//   none                  no interference
//   30:20,70-75:50        channel 30 loses 20 %, channels 70 to 75 lose 50 %
// Items may be mixed: "wifi,100-110:5".

#include <array>
#include <string>

class SimInterference {
public:
    static constexpr int Channels = 128;
    // The loss at the centre of a busy Wi-Fi channel, in percent, and half its width in MHz.
    static constexpr double WifiPeakPercent = 60.0;
    static constexpr double WifiHalfWidthMhz = 11.0;
    static constexpr int WifiCentresMhz[] = {2412, 2437, 2462};

    // No interference.
    SimInterference() { loss_.fill(0.0); }

    // The profile a text names; false (and no interference) for a text it cannot read, with
    // why in error.
    static bool parse(const std::string &text, SimInterference *out, std::string *error);
    // The busy Wi-Fi channels 1, 6 and 11.
    static SimInterference wifi();

    // The percentage of packets lost on a channel; 0 for a channel outside 0 to 127.
    double lossPercent(int channel) const
    {
        return channel >= 0 && channel < Channels ? loss_[size_t(channel)] : 0.0;
    }
    bool any() const;

private:
    std::array<double, Channels> loss_;
};
