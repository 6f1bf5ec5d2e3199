#include "support/Screenshot.h"

void shotsMainWindow(const QString &dir)
{
    Q_UNUSED(dir);
}
