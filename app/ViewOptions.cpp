#include "app/ViewOptions.h"

#include "settings/Exception.h"
#include "settings/IniFile.h"

#include <QFileInfo>

QString ViewOptions::Name(Option option)
{
    static const char *const names[Count] = {"Time Stamps", "Hex and Text", "UTF-8 Text",
                                             "Whole Lines"};
    return QLatin1String(names[option]);
}

void ViewOptions::set(Option option, bool on)
{
    if (on)
        bits_ |= 1U << option;
    else
        bits_ &= ~(1U << option);
}

ViewOptions ViewOptions::Read(const IniFile &ini)
{
    ViewOptions v;
    for (int i = 0; i < Count; ++i)
        v.set(Option(i), ini.readInteger(Section(), Name(Option(i)), 0) != 0);
    return v;
}

void ViewOptions::Write(IniFile &ini, Option option, bool on)
{
    if (!ini.writeString(Section(), Name(option), on ? QStringLiteral("1") : QStringLiteral("0")))
        throw Exception(
            QStringLiteral("Unable to write to %1").arg(QFileInfo(ini.path()).fileName()));
}
