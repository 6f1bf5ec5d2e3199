#pragma once

// A pause during which the windows keep answering: a local event loop runs for ms
// milliseconds, so Stop, "&Abort", Exit and received data are handled during the wait rather
// than after it. The pause is never shorter than ms: its end, and the rest of it should the
// application already be on its way out (a local event loop then returns at once), is slept.

void responsivePause(int ms);

// The pacing of the command steps and of the packets is made of short sleeps (4 ms, 10 ms, a
// byte's line time). Linux lets a sleep end up to 50 us late by default (the timer slack) so
// that wake-ups can be merged; for the console's pacing that is waste on every step. Asks for
// wake-ups on time for the calling thread and the threads it starts afterwards.
void preciseTimers();
