#include "support/Screenshot.h"

void shotsHelpWindow(const QString &dir)
{
    Q_UNUSED(dir);
}
