#pragma once

// A pause during which the windows keep answering: a local event loop runs for ms
// milliseconds, so Stop, "&Abort", Exit and received data are handled during the wait rather
// than after it. The pause is never shorter than ms: should the application already be on its
// way out (a local event loop then returns at once), the rest of it is slept.

void responsivePause(int ms);
