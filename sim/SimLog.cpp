#include "sim/SimLog.h"

// Debug lines (modules powered on, asleep, woken, the air joined) only when asked for with
// QT_LOGGING_RULES="quorvane.sim.debug=true".
Q_LOGGING_CATEGORY(lcSim, "quorvane.sim", QtInfoMsg)
