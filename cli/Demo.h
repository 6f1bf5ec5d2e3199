#pragma once

// `quorvane-cli demo`: two simulated modules in this process, on an air of their own. Both
// are moved to 115200 bit/s, one profile is written to both and read back, then module A sends
// 100 test packets and module B counts those that come through whole. Needs no settings and no
// hardware; prints a short table and ends with 0 when everything came through.

class Output;

class Demo {
public:
    static int Run(const Output &out);
};
