// quorvane-cli: the command-line programmer for the production line, on the same module core as
// the console. One command per run, on one port, on many at once, or as a station that
// programs every adapter plugged in; exit 0 when it did what was asked (every module holds the
// profile), 1 when a module differs, does not answer or (of many) does not open, 2 for a
// usage, profile or port error, each with a one-line reason on stderr.

#include "cli/Demo.h"
#include "cli/DeviceList.h"
#include "cli/ManyPorts.h"
#include "cli/ModuleLog.h"
#include "cli/Output.h"
#include "cli/PortWatch.h"
#include "cli/Programmer.h"
#include "cli/StationMode.h"
#include "cli/SurveyCommand.h"
#include "serial/PortDirectory.h"
#include "settings/IniFile.h"
#include "settings/ModuleProfile.h"
#include "settings/PortSettings.h"
#include "sim/SimulatedModules.h"
#include "traffic/ResponsivePause.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QRegularExpression>

#include <memory>

#include <unistd.h>

namespace {

enum Exit { Done = 0, Differs = 1, Usage = 2 };

const char kDescription[] =
    "Programs and checks 2.4 GHz radio modules on serial ports, as the Quorvane console's\n"
    "\"Set Module\" and \"Read Config.\" do.\n"
    "\n"
    "Commands:\n"
    "  list               the serial devices: COM name, device, stable name (by-id), driver,\n"
    "                     vendor, product, serial number\n"
    "  read [--out FILE]  read the module's configuration and print it as a profile\n"
    "  write PROFILE      write a profile as Set Module does, read it back, and compare\n"
    "  check PROFILE      read the configuration back and compare, writing nothing\n"
    "  station PROFILE    stay running: every module plugged in is written and checked, one\n"
    "                     line each (PASS or FAIL); Ctrl+C ends with the count\n"
    "  reset              reset the module\n"
    "  sleep              put the module to sleep\n"
    "  wake               wake the module\n"
    "  speed RATE         change the module's serial speed, and the port's with it; on the\n"
    "                     console's own port, Quorvane.ini takes the new speed too\n"
    "  survey             the loss on each channel, with two modules: --tx sends numbered\n"
    "                     test packets, --rx counts them; a line per channel, the best\n"
    "                     channels, and both modules back on their channels (--apply: on\n"
    "                     the best one)\n"
    "  demo               two simulated modules: a profile written to both and read back, 100\n"
    "                     test packets from one to the other; needs no hardware; with\n"
    "                     --survey, a channel survey in a simulated office with busy Wi-Fi\n"
    "\n"
    "Many modules at once: give --port several times, or --all for every USB and ACM adapter\n"
    "(or every device link under --devices DIR). read, write and check then run on all of them\n"
    "together, print a line per module as it finishes, then a summary.\n"
    "A profile is an INI file with a [Module] section (\"read\" prints one).\n"
    "Without --port and --baud, the console's own port and speed (Quorvane.ini) are used.\n"
    "Exit status: 0 done, every module holds the profile; 1 a module differs, does not\n"
    "answer, or (of many) does not open, or a survey ended early; 2 usage, profile, port or\n"
    "port-list error, or a survey refused (modules that cannot hear each other).";

// The Speed list entry of a rate, -1 for none.
int speedIndex(const QString &rate)
{
    for (int i = 0; i < 5; ++i)
        if (rate == QString::number(Programmer::SpeedBauds[i]))
            return i;
    return -1;
}

QJsonObject profileJson(const ModuleConfig &config)
{
    return ModuleTask::ProfileJson(config);
}

// The port's speed: --baud, or the console's own. False with the reason for a rate the Speed
// list does not hold.
bool chooseSpeed(const QString &baud, int *speed, QString *error)
{
    if (baud.isEmpty()) {
        const int stored = PortSettings::Read(IniFile(PortSettings::FilePath())).BaudIndex;
        // The component runs a remembered speed outside the list at 9600.
        *speed = stored >= 0 && stored < 5 ? stored : 0;
        return true;
    }
    *speed = speedIndex(baud);
    if (*speed >= 0)
        return true;
    *error = QStringLiteral("--baud %1: 9600, 19200, 38400, 57600 or 115200").arg(baud);
    return false;
}

// The console's simulated modules: a configuration written here is there in the console.
void reachSimulatedModules()
{
    registerSimulatedModules(
        QFileInfo(PortSettings::FilePath()).dir().filePath(QStringLiteral("Quorvane-sim")));
}

// The port a command runs on, made reachable as COM<com + 1>: a COM name as the console
// opens it, a simulated module, or a device path.
struct Port {
    int com = 0;
    int speed = 0; // Speed list entry, 0 = 9600 ... 4 = 115200
    QString name;  // as the operator gave it
    // The console's own port and speed (no --port, no --baud): what the console will open.
    bool console = false;
};

bool choosePort(const QString &text, const QString &baud, Port *port, QString *error)
{
    const PortSettings stored = PortSettings::Read(IniFile(PortSettings::FilePath()));
    reachSimulatedModules();
    port->console = text.isEmpty() && baud.isEmpty();
    PortDirectory &directory = PortDirectory::global();
    const QRegularExpression comName(QStringLiteral("^COM([0-9]+)$"),
                                     QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch com = comName.match(text);
    if (text.isEmpty()) {
        directory.setExplicit(stored.Devices);
        port->com = stored.PortIndex;
        port->name = QStringLiteral("COM%1").arg(port->com + 1);
    } else if (com.hasMatch()) {
        port->com = com.captured(1).toInt() - 1;
        if (port->com < 0 || port->com > 20) {
            *error = QStringLiteral("--port %1: the console knows COM1 to COM21").arg(text);
            return false;
        }
        directory.setExplicit(stored.Devices);
        port->name = QStringLiteral("COM%1").arg(port->com + 1);
    } else {
        const bool simulated =
            text == QLatin1String("sim") || text.startsWith(QLatin1String("sim:"));
        const QString device =
            simulated || text.contains(QLatin1Char('/')) ? text : QStringLiteral("/dev/") + text;
        directory.setExplicit({{QStringLiteral("COM1"), device}});
        port->com = 0;
        port->name = device;
    }
    return chooseSpeed(baud, &port->speed, error);
}

// One port of many, as the operator named it: a COM name as the console maps it, sim[:NAME],
// or a device. A COM name that maps to nothing gets no device: that module fails, the others
// go on.
ModulePort manyPort(const QString &text)
{
    ModulePort port;
    port.name = text;
    const QRegularExpression comName(QStringLiteral("^COM([0-9]+)$"),
                                     QRegularExpression::CaseInsensitiveOption);
    if (comName.match(text).hasMatch()) {
        const PortDirectory::Target t = PortDirectory::global().resolve(text.toUpper());
        if (t.kind != PortDirectory::Target::Kind::None)
            port.device = t.device;
    } else if (text == QLatin1String("sim") || text.startsWith(QLatin1String("sim:"))) {
        port.device = text;
    } else {
        port.device = text.contains(QLatin1Char('/')) ? text : QStringLiteral("/dev/") + text;
        port.name = port.device;
    }
    PortWatch::Describe(port);
    return port;
}

// A port's key for telling one port from another: the device behind every link.
QString portKey(const ModulePort &port)
{
    const QString canonical = QFileInfo(port.device).canonicalFilePath();
    return canonical.isEmpty() ? port.device : canonical;
}

// Every port of a command on many: those named, then with --all every adapter plugged in that
// was not named. Empty, with the reason, for a port named twice or no port at all.
QList<ModulePort> manyPorts(const QStringList &named, bool all, const QString &folder,
                            QString *error)
{
    PortDirectory::global().setExplicit(
        PortSettings::Read(IniFile(PortSettings::FilePath())).Devices);
    QList<ModulePort> ports;
    // The same device twice would be one module written by two threads at once.
    QMap<QString, QString> seen;
    for (const QString &text : named) {
        const ModulePort port = manyPort(text);
        const QString key = portKey(port);
        if (!key.isEmpty() && seen.contains(key)) {
            *error = QStringLiteral("%1 and %2 are the same port").arg(seen.value(key), text);
            return {};
        }
        seen.insert(key, text);
        ports << port;
    }
    if (!all)
        return ports;
    const PortWatch watch(folder);
    *error = watch.Problem();
    if (!error->isEmpty())
        return {};
    const QList<PortWatch::Plugged> plugged = watch.Look();
    if (plugged.isEmpty()) {
        *error = folder.isEmpty() ? QStringLiteral("--all: no USB or ACM serial adapter found")
                                  : QStringLiteral("--all: no device under %1").arg(folder);
        return {};
    }
    for (const PortWatch::Plugged &p : plugged)
        if (!seen.contains(portKey(p.port)))
            ports << p.port;
    return ports;
}

// Whether the run draws a picture: only then does it need Qt Gui (for the fonts), and it
// runs without any display.
bool drawsPicture(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == "--png" || arg.startsWith("--png="))
            return true;
    }
    return false;
}

// A survey's numbers: packets, pace. False with the reason for one outside its range.
bool surveyNumber(const QString &option, const QString &text, int least, int most, int *value,
                  QString *error)
{
    bool ok = false;
    *value = text.toInt(&ok);
    if (ok && *value >= least && *value <= most)
        return true;
    *error = QStringLiteral("--%1 %2: a whole number from %3 to %4")
                 .arg(option, text)
                 .arg(least)
                 .arg(most);
    return false;
}

int list(const Output &out)
{
    PortDirectory::global().setExplicit(
        PortSettings::Read(IniFile(PortSettings::FilePath())).Devices);
    const QList<SerialDevice> devices = DeviceList::Find();
    out.Result(DeviceList::Text(devices), {{QStringLiteral("command"), QStringLiteral("list")},
                                           {QStringLiteral("ok"), true},
                                           {QStringLiteral("devices"), DeviceList::Json(devices)}});
    return Done;
}

// What a command that talks to a module was asked to do, checked before the port opens.
struct Request {
    QString command;
    QString argument;    // write, check, station: the profile's path; speed: the rate
    QString outFile;     // read --out
    ModuleConfig wanted; // write, check, station: the profile
    int speed = -1;      // speed: the Speed list entry
};

// Why the request cannot be carried out, or empty.
QString check(Request &r)
{
    if (r.command == QLatin1String("write") || r.command == QLatin1String("check") ||
        r.command == QLatin1String("station")) {
        const ModuleProfile::Loaded profile = ModuleProfile::Load(r.argument);
        for (const QString &key : profile.unknownKeys)
            Output::Reason(QStringLiteral("%1: unknown key \"%2\" ignored").arg(r.argument, key));
        r.wanted = profile.config;
        return profile.error;
    }
    if (r.command == QLatin1String("speed")) {
        r.speed = speedIndex(r.argument);
        if (r.speed < 0)
            return QStringLiteral("speed %1: 9600, 19200, 38400, 57600 or 115200").arg(r.argument);
    }
    return {};
}

// The commands that talk to a module, on its open port.
int onModule(const Output &out, Programmer &p, const Port &port, const Request &r)
{
    const QString &command = r.command;
    QJsonObject json{{QStringLiteral("command"), command}, {QStringLiteral("port"), port.name}};
    const auto noAnswer = [&] {
        // Refused before anything was sent: an input the module cannot take, or a port that
        // carries data only.
        if (!p.Refusal().isEmpty()) {
            // A device given by its own name needs no COM name in front of it.
            QString text = p.Refusal();
            out.Error(text.replace(QStringLiteral("COM1 (%1)").arg(port.name), port.name), json);
            return Usage;
        }
        out.Error(QStringLiteral("no answer from the module on %1").arg(port.name), json);
        return Differs;
    };

    if (command == QLatin1String("read")) {
        const std::optional<ModuleConfig> config = p.Read();
        if (!config)
            return noAnswer();
        // Address 2 is the module's own: shown for what it is, never as a profile's key.
        QString text = ModuleProfile::Text(*config) +
                       QStringLiteral("; Address2=%1 is reported by the module; no command "
                                      "writes it\n")
                           .arg(config->address2);
        if (!r.outFile.isEmpty()) {
            const QString error = ModuleProfile::Save(r.outFile, *config);
            if (!error.isEmpty()) {
                out.Error(error, json);
                return Usage;
            }
            text = QStringLiteral("Profile written to %1").arg(r.outFile);
            json.insert(QStringLiteral("file"), r.outFile);
        }
        json.insert(QStringLiteral("ok"), true);
        json.insert(QStringLiteral("profile"), profileJson(*config));
        json.insert(QStringLiteral("reported"),
                    QJsonObject{{QStringLiteral("Address2"), config->address2}});
        out.Result(text, json);
        return Done;
    }

    if (command == QLatin1String("write")) {
        json.insert(QStringLiteral("profile"), r.argument);
        const std::optional<ModuleConfig> found = p.Write(r.wanted);
        if (!found)
            return noAnswer(); // or refused, which it says
        const QList<ModuleProfile::Difference> differences =
            ModuleProfile::Differences(r.wanted, *found);
        QString text;
        QJsonArray list;
        for (const ModuleProfile::Difference &d : differences) {
            text += QStringLiteral("%1: profile %2, module %3%4\n")
                        .arg(d.key, d.wanted, d.found,
                             d.note.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(d.note));
            list.append(QJsonObject{{QStringLiteral("key"), d.key},
                                    {QStringLiteral("profile"), d.wanted},
                                    {QStringLiteral("module"), d.found}});
        }
        text += differences.isEmpty() ? QStringLiteral("The module holds the profile.")
                                      : QStringLiteral("The module differs from the profile.");
        json.insert(QStringLiteral("ok"), differences.isEmpty());
        json.insert(QStringLiteral("differences"), list);
        json.insert(QStringLiteral("module"), profileJson(*found));
        out.Result(text, json);
        if (differences.isEmpty())
            return Done;
        Output::Reason(
            QStringLiteral("the module on %1 differs from %2").arg(port.name, r.argument));
        return Differs;
    }

    if (command == QLatin1String("speed")) {
        const int index = r.speed;
        json.insert(QStringLiteral("baud"), Programmer::SpeedBauds[index]);
        const std::optional<ModuleConfig> answer = p.ChangeSpeed(index);
        if (!p.Port().Connected() && p.Refusal().isEmpty()) {
            out.Error(p.OpenError(), json);
            return Usage;
        }
        if (!answer)
            return noAnswer();
        QString text = QStringLiteral("Module and port now run at %1 bit/s.")
                           .arg(Programmer::SpeedBauds[index]);
        if (port.console) {
            // The console's own module: the console opens it at the new speed from now on, as
            // after its own Set Speed.
            IniFile ini(PortSettings::FilePath());
            if (!PortSettings::WriteBaud(ini, index)) {
                out.Error(QStringLiteral("Unable to write to %1: %2; the console still expects "
                                         "the old speed")
                              .arg(ini.path(), ini.errorString()),
                          json);
                return Differs;
            }
            text += QStringLiteral("\n%1: the console's speed is now %2 bit/s.")
                        .arg(ini.path())
                        .arg(Programmer::SpeedBauds[index]);
            json.insert(QStringLiteral("settings"), ini.path());
        } else {
            text += QStringLiteral("\nUse --baud %1 with this module from now on; the console's "
                                   "settings are unchanged.")
                        .arg(Programmer::SpeedBauds[index]);
        }
        json.insert(QStringLiteral("ok"), true);
        out.Result(text, json);
        return Done;
    }

    // reset, sleep, wake: nothing comes back; only a command that did not go out is known.
    if (command == QLatin1String("reset"))
        p.Module().Reset();
    else if (command == QLatin1String("sleep"))
        p.Module().Sleep();
    else
        p.Module().WakeUp();
    if (!p.Refusal().isEmpty())
        return noAnswer();
    if (p.NotDetected()) {
        out.Error(QStringLiteral("the command did not go out whole on %1").arg(port.name), json);
        return Differs;
    }
    json.insert(QStringLiteral("ok"), true);
    out.Result(QStringLiteral("Done."), json);
    return Done;
}

} // namespace

int main(int argc, char **argv)
{
    preciseTimers(); // the command steps' waits end on time, as in the console
    std::unique_ptr<QCoreApplication> app;
    if (drawsPicture(argc, argv)) {
        // A command-line program shows no window, whatever display there is.
        qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication::setApplicationName(QStringLiteral("quorvane-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QV_VERSION));
    // A script reads the result and one line of reason; the serial layer's debug lines only
    // when asked for (QT_LOGGING_RULES overrides this).
    QLoggingCategory::setFilterRules(QStringLiteral("quorvane.*.debug=false"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(kDescription));
    const QCommandLineOption portOption(
        QStringLiteral("port"),
        QStringLiteral("The module's port: a device (/dev/ttyUSB0, a /dev/serial/by-id name), "
                       "a COM name as the console knows it (COM1 to COM21), sim[:NAME] for a "
                       "simulated module, rfc2217://HOST:PORT for a serial port served over the "
                       "network (ser2net), or socket://HOST:PORT for a raw TCP port (data only). "
                       "Several times: many modules at once."),
        QStringLiteral("PORT"));
    const QCommandLineOption allOption(
        QStringLiteral("all"),
        QStringLiteral("read, write, check: every USB and ACM adapter of the port list (or "
                       "every device link under --devices) at once; on-board ports only when "
                       "named with --port."));
    const QCommandLineOption devicesOption(
        QStringLiteral("devices"),
        QStringLiteral("station, --all: the adapters are the device links in DIR (a rack's "
                       "/dev/rack), not the system's port list; a link to sim:NAME is a "
                       "simulated module."),
        QStringLiteral("DIR"));
    const QCommandLineOption logOption(
        QStringLiteral("log"),
        QStringLiteral("station, and write or check on many ports: append one CSV row per "
                       "module to FILE (time, port, by-id, serial, verdict, reason, "
                       "configuration, ms), each written at once."),
        QStringLiteral("FILE"));
    const QCommandLineOption baudOption(
        QStringLiteral("baud"),
        QStringLiteral("The port's speed: 9600, 19200, 38400, 57600 or 115200."),
        QStringLiteral("RATE"));
    const QCommandLineOption outOption(QStringLiteral("out"),
                                       QStringLiteral("read: write the profile into FILE."),
                                       QStringLiteral("FILE"));
    const QCommandLineOption jsonOption(QStringLiteral("json"),
                                        QStringLiteral("Print the result as one JSON object."));
    const QCommandLineOption quietOption(QStringLiteral("quiet"),
                                         QStringLiteral("Print nothing but the result."));
    const QCommandLineOption txOption(
        QStringLiteral("tx"),
        QStringLiteral("survey: the sending module's port, given as --port takes it."),
        QStringLiteral("PORT"));
    const QCommandLineOption rxOption(
        QStringLiteral("rx"),
        QStringLiteral("survey: the receiving module's port, given as --port takes it."),
        QStringLiteral("PORT"));
    const QCommandLineOption channelsOption(
        QStringLiteral("channels"),
        QStringLiteral("survey: the channels to survey, as ranges and commas (default 0-127)."),
        QStringLiteral("LIST"));
    const QCommandLineOption packetsOption(
        QStringLiteral("packets"),
        QStringLiteral("survey: numbered test packets on each channel (default 50; demo "
                       "--survey 20)."),
        QStringLiteral("N"));
    const QCommandLineOption paceOption(
        QStringLiteral("pace"),
        QStringLiteral("survey: the pause between packets in ms (default 10, as file sending)."),
        QStringLiteral("MS"));
    const QCommandLineOption rateOption(
        QStringLiteral("rate"),
        QStringLiteral("survey: the data rate to survey at: 1M, 250k or both (default: the rate "
                       "both modules hold; each gets its own back at the end)."),
        QStringLiteral("1M|250k|both"));
    const QCommandLineOption csvOption(
        QStringLiteral("csv"),
        QStringLiteral("survey: write one row per channel and rate to FILE (channel, MHz, rate, "
                       "sent, received, lost, loss %, packets a second, repeated, out of order)."),
        QStringLiteral("FILE"));
    const QCommandLineOption pngOption(
        QStringLiteral("png"),
        QStringLiteral("survey: draw the loss per channel into FILE, a PNG picture, with Wi-Fi "
                       "channels 1, 6 and 11 marked."),
        QStringLiteral("FILE"));
    const QCommandLineOption applyOption(
        QStringLiteral("apply"),
        QStringLiteral("survey: leave both modules on the best channel instead of their own."));
    const QCommandLineOption surveyOption(
        QStringLiteral("survey"),
        QStringLiteral("demo: a channel survey of two simulated modules in an office with busy "
                       "Wi-Fi channels 1, 6 and 11 (QV_SIM_INTERFERENCE sets another)."));
    parser.addOptions({portOption, allOption, devicesOption, logOption, baudOption, outOption,
                       jsonOption, quietOption, txOption, rxOption, channelsOption, packetsOption,
                       paceOption, rateOption, csvOption, pngOption, applyOption, surveyOption});
    parser.addPositionalArgument(
        QStringLiteral("command"),
        QStringLiteral("list, read, write, check, station, reset, sleep, wake, speed, survey or "
                       "demo."),
        QStringLiteral("command [argument]"));
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();

    const Output out(false, false);
    if (!parser.parse(QCoreApplication::arguments())) {
        out.Error(parser.errorText());
        return Usage;
    }
    if (parser.isSet(helpOption))
        parser.showHelp(Done);
    if (parser.isSet(versionOption))
        parser.showVersion();

    const Output result(parser.isSet(jsonOption), parser.isSet(quietOption));
    const QStringList args = parser.positionalArguments();
    const QString command = args.value(0);
    struct Shape {
        const char *name;
        int arguments;
        bool many; // runs on many ports at once
    };
    const Shape shapes[] = {{"list", 0, false},   {"read", 0, true},     {"write", 1, true},
                            {"check", 1, true},   {"station", 1, false}, {"reset", 0, false},
                            {"sleep", 0, false},  {"wake", 0, false},    {"speed", 1, false},
                            {"survey", 0, false}, {"demo", 0, false}};
    const Shape *shape = nullptr;
    for (const Shape &s : shapes)
        if (command == QLatin1String(s.name))
            shape = &s;
    const QStringList portValues = parser.values(portOption);
    const bool all = parser.isSet(allOption);
    const bool station = command == QLatin1String("station");
    // check is always the form of many: its line, summary and log are what a tray needs.
    const bool many =
        shape && shape->many && (portValues.size() > 1 || all || command == QLatin1String("check"));
    QString usage;
    if (!shape)
        usage = command.isEmpty() ? QStringLiteral("no command given (see --help)")
                                  : QStringLiteral("%1: no such command (see --help)").arg(command);
    else if (args.size() != 1 + shape->arguments)
        usage = QStringLiteral("%1 takes %2 (see --help)")
                    .arg(command, shape->arguments ? QStringLiteral("one argument")
                                                   : QStringLiteral("no argument"));
    else if (parser.isSet(outOption) && (command != QLatin1String("read") || many))
        usage = QStringLiteral("--out goes with read on one port only");
    else if ((portValues.size() > 1 || all) && !shape->many)
        usage = QStringLiteral("%1 runs on one port; many ports go with read, write and check")
                    .arg(command);
    else if (parser.isSet(devicesOption) && !all && !station)
        usage = QStringLiteral("--devices goes with --all and station");
    else if (parser.isSet(logOption) && !station && !(many && command != QLatin1String("read")))
        usage = QStringLiteral("--log goes with station, and with write and check on many ports");
    else if (station && !portValues.isEmpty())
        usage = QStringLiteral("station takes every adapter plugged in: no --port (see "
                               "--devices)");
    else if (station && parser.isSet(jsonOption))
        usage = QStringLiteral("station prints a line per module; --log keeps them as CSV");
    const bool survey = command == QLatin1String("survey");
    const bool demoSurvey = command == QLatin1String("demo") && parser.isSet(surveyOption);
    if (usage.isEmpty()) {
        for (const QCommandLineOption *o :
             {&txOption, &rxOption, &channelsOption, &packetsOption, &paceOption, &rateOption,
              &csvOption, &pngOption, &applyOption})
            if (parser.isSet(*o) && !survey && !(demoSurvey && o != &txOption && o != &rxOption))
                usage = QStringLiteral("--%1 goes with survey").arg(o->names().first());
        if (parser.isSet(surveyOption) && command != QLatin1String("demo"))
            usage = QStringLiteral("--survey goes with demo");
        else if (survey && (!parser.isSet(txOption) || !parser.isSet(rxOption)))
            usage = QStringLiteral("survey needs the sending module's port (--tx) and the "
                                   "receiving one's (--rx)");
        else if (survey && (!portValues.isEmpty() || all))
            usage = QStringLiteral("survey takes its two ports as --tx and --rx, no --port");
    }
    if (!usage.isEmpty()) {
        result.Error(usage, {{QStringLiteral("command"), command}});
        return Usage;
    }

    if (command == QLatin1String("list"))
        return list(result);
    if (survey || demoSurvey) {
        Survey::Request r;
        SurveyCommand::Files files{parser.value(csvOption), parser.value(pngOption)};
        QString error;
        r.channels = Survey::ParseChannels(
            parser.isSet(channelsOption) ? parser.value(channelsOption) : QStringLiteral("0-127"),
            &error);
        const QString rate = parser.value(rateOption).toLower();
        r.rate = rate == QLatin1String("1m")     ? Survey::Rate::Fast
                 : rate == QLatin1String("250k") ? Survey::Rate::Slow
                 : rate == QLatin1String("both") ? Survey::Rate::Both
                                                 : Survey::Rate::Held;
        r.packets = demoSurvey ? 20 : 50;
        r.apply = parser.isSet(applyOption);
        if (!rate.isEmpty() && r.rate == Survey::Rate::Held)
            error = QStringLiteral("--rate %1: 1M, 250k or both").arg(parser.value(rateOption));
        if (error.isEmpty() && parser.isSet(packetsOption))
            surveyNumber(QStringLiteral("packets"), parser.value(packetsOption), 1, 10000,
                         &r.packets, &error);
        if (error.isEmpty() && parser.isSet(paceOption))
            surveyNumber(QStringLiteral("pace"), parser.value(paceOption), 0, 1000, &r.paceMs,
                         &error);
        if (error.isEmpty() && demoSurvey)
            return Demo::RunSurvey(result, r, files);
        if (error.isEmpty() && chooseSpeed(parser.value(baudOption), &r.speedIndex, &error)) {
            reachSimulatedModules();
            PortDirectory::global().setExplicit(
                PortSettings::Read(IniFile(PortSettings::FilePath())).Devices);
            r.tx = manyPort(parser.value(txOption));
            r.rx = manyPort(parser.value(rxOption));
            if (portKey(r.tx) == portKey(r.rx) && !r.tx.device.isEmpty())
                error = QStringLiteral("--tx %1 and --rx %2 are the same port")
                            .arg(r.tx.name, r.rx.name);
            if (error.isEmpty())
                return SurveyCommand::Run(result, r, files);
        }
        result.Error(error, {{QStringLiteral("command"), command}});
        return Usage;
    }
    if (command == QLatin1String("demo"))
        return Demo::Run(result);

    Request request;
    request.command = command;
    request.argument = args.value(1);
    request.outFile = parser.value(outOption);
    QString error = check(request);

    if (error.isEmpty() && (many || station)) {
        int speed = 0;
        ModuleLog log;
        const QString logFile = parser.value(logOption);
        if (chooseSpeed(parser.value(baudOption), &speed, &error) && !logFile.isEmpty())
            error = log.Open(logFile);
        if (error.isEmpty()) {
            reachSimulatedModules();
            const QString folder = parser.value(devicesOption);
            if (station) {
                StationMode::Request s;
                s.profile = request.wanted;
                s.profilePath = request.argument;
                s.speedIndex = speed;
                s.folder = folder;
                s.log = log.IsOpen() ? &log : nullptr;
                s.bell = ::isatty(STDOUT_FILENO) == 1;
                StationMode st(result, s);
                error = PortWatch(folder).Problem();
                if (error.isEmpty())
                    return st.Run();
            } else {
                ManyPorts::Request m;
                m.kind = command == QLatin1String("read")    ? ModuleTask::Kind::Read
                         : command == QLatin1String("check") ? ModuleTask::Kind::Check
                                                             : ModuleTask::Kind::Write;
                m.ports = manyPorts(portValues, all, folder, &error);
                m.speedIndex = speed;
                m.profile = request.wanted;
                m.profilePath = request.argument;
                m.log = log.IsOpen() ? &log : nullptr;
                if (error.isEmpty()) {
                    if (m.ports.isEmpty())
                        m.ports << manyPort(QStringLiteral("COM%1").arg(
                            PortSettings::Read(IniFile(PortSettings::FilePath())).PortIndex + 1));
                    return ManyPorts::Run(result, m);
                }
            }
        }
        result.Error(error, {{QStringLiteral("command"), command}});
        return Usage;
    }

    Port port;
    if (error.isEmpty() &&
        choosePort(parser.value(portOption), parser.value(baudOption), &port, &error)) {
        Programmer programmer(result);
        error = programmer.Open(port.com, port.speed);
        if (error.isEmpty())
            return onModule(result, programmer, port, request);
        // The device was given by its own name: the COM name it was opened under means
        // nothing to the operator.
        error.replace(QStringLiteral("COM1 (%1)").arg(port.name), port.name);
    }
    result.Error(error, {{QStringLiteral("command"), command}});
    return Usage;
}
