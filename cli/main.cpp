// quorvane-cli: the command-line programmer for the production line, on the same module core as
// the console. One command per run; exit 0 when it did what was asked (the module holds the
// profile), 1 when the module differs or does not answer, 2 for a usage, profile or port error,
// each with a one-line reason on stderr.

#include "cli/Demo.h"
#include "cli/DeviceList.h"
#include "cli/Output.h"
#include "cli/Programmer.h"
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
#include <QJsonArray>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QRegularExpression>

namespace {

enum Exit { Done = 0, Differs = 1, Usage = 2 };

const int kSpeeds[] = {9600, 19200, 38400, 57600, 115200};

const char kDescription[] =
    "Programs and checks a 2.4 GHz radio module on a serial port, as the Quorvane console's\n"
    "\"Set Module\" and \"Read Config.\" do.\n"
    "\n"
    "Commands:\n"
    "  list              the serial devices: COM name, device, stable name (by-id), driver,\n"
    "                    vendor, product, serial number\n"
    "  read [--out FILE] read the module's configuration and print it as a profile\n"
    "  write PROFILE     write a profile as Set Module does, read it back, and compare\n"
    "  reset             reset the module\n"
    "  sleep             put the module to sleep\n"
    "  wake              wake the module\n"
    "  speed RATE        change the module's serial speed, and the port's with it\n"
    "  demo              two simulated modules: a profile written to both and read back, 100\n"
    "                    test packets from one to the other; needs no hardware\n"
    "\n"
    "A profile is an INI file with a [Module] section (\"read\" prints one).\n"
    "Without --port and --baud, the console's own port and speed (Quorvane.ini) are used.\n"
    "Exit status: 0 done, the module holds the profile; 1 the module differs or does not\n"
    "answer; 2 usage, profile or port error.";

// The Speed list entry of a rate, -1 for none.
int speedIndex(const QString &rate)
{
    for (int i = 0; i < 5; ++i)
        if (rate == QString::number(kSpeeds[i]))
            return i;
    return -1;
}

QJsonObject profileJson(const ModuleConfig &config)
{
    QJsonObject o;
    for (const ModuleProfile::Field &f : ModuleProfile::Fields(config))
        o.insert(f.key, f.number ? QJsonValue(f.value.toInt()) : QJsonValue(f.value));
    return o;
}

// The port a command runs on, made reachable as COM<com + 1>: a COM name as the console
// opens it, a simulated module, or a device path.
struct Port {
    int com = 0;
    int speed = 0; // Speed list entry, 0 = 9600 ... 4 = 115200
    QString name;  // as the operator gave it
};

bool choosePort(const QString &text, const QString &baud, Port *port, QString *error)
{
    const PortSettings stored = PortSettings::Read(IniFile(PortSettings::FilePath()));
    // The console's simulated modules: a configuration written here is there in the console.
    registerSimulatedModules(
        QFileInfo(PortSettings::FilePath()).dir().filePath(QStringLiteral("Quorvane-sim")));
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
    if (baud.isEmpty()) {
        // The component runs a remembered speed outside the list at 9600.
        port->speed = stored.BaudIndex >= 0 && stored.BaudIndex < 5 ? stored.BaudIndex : 0;
        return true;
    }
    port->speed = speedIndex(baud);
    if (port->speed >= 0)
        return true;
    *error = QStringLiteral("--baud %1: 9600, 19200, 38400, 57600 or 115200").arg(baud);
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
    QString argument;    // write: the profile's path; speed: the rate
    QString outFile;     // read --out
    ModuleConfig wanted; // write: the profile
    int speed = -1;      // speed: the Speed list entry
};

// Why the request cannot be carried out, or empty.
QString check(Request &r)
{
    if (r.command == QLatin1String("write")) {
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
        QString text = ModuleProfile::Text(*config);
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
            text += QStringLiteral("%1: profile %2, module %3\n").arg(d.key, d.wanted, d.found);
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
        json.insert(QStringLiteral("baud"), kSpeeds[index]);
        const std::optional<ModuleConfig> answer = p.ChangeSpeed(index);
        if (!p.Port().Connected() && p.Refusal().isEmpty()) {
            out.Error(p.OpenError(), json);
            return Usage;
        }
        if (!answer)
            return noAnswer();
        json.insert(QStringLiteral("ok"), true);
        out.Result(QStringLiteral("Module and port now run at %1 bit/s.").arg(kSpeeds[index]),
                   json);
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
    QCoreApplication app(argc, argv);
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
                       "network (ser2net), or socket://HOST:PORT for a raw TCP port (data only)."),
        QStringLiteral("DEVICE|COMn|sim[:NAME]|rfc2217://HOST:PORT"));
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
    parser.addOptions({portOption, baudOption, outOption, jsonOption, quietOption});
    parser.addPositionalArgument(
        QStringLiteral("command"),
        QStringLiteral("list, read, write, reset, sleep, wake, speed or demo."),
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
    };
    const Shape shapes[] = {{"list", 0},  {"read", 0}, {"write", 1}, {"reset", 0},
                            {"sleep", 0}, {"wake", 0}, {"speed", 1}, {"demo", 0}};
    const Shape *shape = nullptr;
    for (const Shape &s : shapes)
        if (command == QLatin1String(s.name))
            shape = &s;
    QString usage;
    if (!shape)
        usage = command.isEmpty() ? QStringLiteral("no command given (see --help)")
                                  : QStringLiteral("%1: no such command (see --help)").arg(command);
    else if (args.size() != 1 + shape->arguments)
        usage = QStringLiteral("%1 takes %2 (see --help)")
                    .arg(command, shape->arguments ? QStringLiteral("one argument")
                                                   : QStringLiteral("no argument"));
    else if (parser.isSet(outOption) && command != QLatin1String("read"))
        usage = QStringLiteral("--out goes with read only");
    if (!usage.isEmpty()) {
        result.Error(usage, {{QStringLiteral("command"), command}});
        return Usage;
    }

    if (command == QLatin1String("list"))
        return list(result);
    if (command == QLatin1String("demo"))
        return Demo::Run(result);

    Request request;
    request.command = command;
    request.argument = args.value(1);
    request.outFile = parser.value(outOption);
    Port port;
    QString error = check(request);
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
