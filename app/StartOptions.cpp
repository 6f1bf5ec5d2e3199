#include "app/StartOptions.h"

#include "serial/PortDirectory.h"
#include "sim/SimulatedModules.h"

#include <QCommandLineParser>
#include <QFileInfo>

namespace {

const char kHelp[] = R"(Usage: quorvane [options]
Programs and tests a 2.4 GHz radio module on a serial port.

Options:
  -h, --help          Shows these options.
  -v, --version       Shows the version and the license.
  --simulate[=NAME]   Opens a simulated module on every COM port instead of the ports'
                      devices: the module NAME, or "default". Consoles on modules of
                      different names hear each other.
  --settings FILE     Uses FILE as the settings file instead of Quorvane.ini in the
                      configuration folder ($XDG_CONFIG_HOME, else ~/.config).

Qt's own options (-platform NAME, -style NAME, -reverse, ...) are taken too.

Environment:
  QV_SIM_MODULE=NAME  As --simulate=NAME.
)";

// Qt's own options, as QGuiApplication and QApplication take them, so that they are not
// refused here; Qt reads them itself when the application is made.
const char *const kQtValueOptions[] = {"platform",        "platformpluginpath",
                                       "platformtheme",   "plugin",
                                       "qwindowgeometry", "geometry",
                                       "qwindowtitle",    "title",
                                       "qwindowicon",     "icon",
                                       "display",         "name",
                                       "session",         "style",
                                       "stylesheet",      "qmljsdebugger"};
const char *const kQtFlagOptions[] = {"reverse", "widgetcount", "testability",
                                      "nograb",  "dograb",      "sync"};

} // namespace

StartOptions StartOptions::Read(const QStringList &arguments)
{
    StartOptions o;
    QCommandLineParser parser;
    // Qt's options have one dash and long names ("-platform"); so may ours.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, {});
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")}, {});
    const QCommandLineOption simulate(QStringLiteral("simulate"), {}, QStringLiteral("NAME"));
    const QCommandLineOption settings(QStringLiteral("settings"), {}, QStringLiteral("FILE"));
    parser.addOptions({help, version, simulate, settings});
    for (const char *name : kQtValueOptions)
        parser.addOption(QCommandLineOption(QLatin1String(name), {}, QStringLiteral("VALUE")));
    for (const char *name : kQtFlagOptions)
        parser.addOption(QCommandLineOption(QLatin1String(name)));

    // The module's name is optional: a bare --simulate takes no value, unless a name follows
    // (the program takes no other argument that could stand there).
    QStringList args = arguments;
    for (int i = 1; i < args.size(); ++i) {
        const QString &a = args.at(i);
        if ((a == QLatin1String("--simulate") || a == QLatin1String("-simulate")) &&
            (i + 1 == args.size() || args.at(i + 1).startsWith(QLatin1Char('-'))))
            args[i] = a + QLatin1Char('=');
    }
    const QString program = QStringLiteral("quorvane");
    if (!parser.parse(args) || !parser.positionalArguments().isEmpty()) {
        o.Exit = true;
        o.ExitCode = 2;
        const QString why = parser.positionalArguments().isEmpty()
                                ? parser.errorText()
                                : QStringLiteral("Unexpected argument '%1'.")
                                      .arg(parser.positionalArguments().first());
        o.Message = QStringLiteral("%1: %2 %1 --help lists the options.\n").arg(program, why);
        return o;
    }
    if (parser.isSet(help) || parser.isSet(version)) {
        o.Exit = true;
        o.Message = parser.isSet(help) ? QString::fromUtf8(kHelp) : VersionText();
        return o;
    }

    const QString named = qEnvironmentVariable("QV_SIM_MODULE");
    if (parser.isSet(simulate) || !named.isEmpty()) {
        o.Simulate = true;
        o.SimulatedModule = parser.isSet(simulate) ? parser.value(simulate) : named;
    }
    if (parser.isSet(settings))
        o.SettingsFile = QFileInfo(parser.value(settings)).absoluteFilePath();
    return o;
}

void StartOptions::ApplyToPorts(const QString &stateFolder) const
{
    registerSimulatedModules(stateFolder);
    PortDirectory::global().setSimulated(!Simulate ? QString()
                                         : SimulatedModule.isEmpty()
                                             ? QStringLiteral("sim")
                                             : QStringLiteral("sim:") + SimulatedModule);
}

QString StartOptions::TerminalLine() const
{
    if (!Simulate)
        return {};
    const QString module = SimulatedModule.isEmpty()
                               ? QStringLiteral("a simulated module")
                               : QStringLiteral("the simulated module %1").arg(SimulatedModule);
    return QStringLiteral("Quorvane: every COM port opens %1, no radio hardware (see %2).")
        .arg(module, SimulatorGuide());
}

QString StartOptions::SimulatorGuide()
{
    const QString installed = QStringLiteral(QV_DOC_DIR "/simulator.md");
    const QString source = QStringLiteral(QV_SOURCE_DIR "/docs/simulator.md");
    return !QFileInfo::exists(installed) && QFileInfo::exists(source) ? source : installed;
}

QString StartOptions::Version()
{
    return QStringLiteral(QV_VERSION);
}

QString StartOptions::VersionText()
{
    return QStringLiteral("quorvane " QV_VERSION "\n"
                          "License GPL-3.0-or-later: GNU GPL version 3 or later "
                          "<https://www.gnu.org/licenses/gpl-3.0.html>.\n"
                          "This is free software: you are free to change and redistribute it.\n"
                          "There is NO WARRANTY, to the extent permitted by law.\n");
}
