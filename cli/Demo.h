#pragma once

// `quorvane-cli demo`: two simulated modules in this process, on an air of their own. Both
// are moved to 115200 bit/s, one profile is written to both and read back, then module A sends
// 100 test packets and module B counts those that come through whole. Needs no settings and no
// hardware; prints a short table and ends with 0 when everything came through.
//
// `demo --survey`: the channel survey on two simulated modules at 115200 bit/s in an office
// whose Wi-Fi channels 1, 6 and 11 are busy (the simulated air's "wifi" interference, unless
// QV_SIM_INTERFERENCE names another), with the survey's own options.

#include "cli/SurveyCommand.h"

class Output;

class Demo {
public:
    static int Run(const Output &out);
    // request: the survey's options; its ports and speed are the demo's.
    static int RunSurvey(const Output &out, Survey::Request request,
                         const SurveyCommand::Files &files);
};
