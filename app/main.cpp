// Program entry: the four windows in their fixed order, the event loop, and the error box
// for anything that escapes start-up.
//
// The options (app/StartOptions.h, quorvane --help): a simulated module stands in for the
// ports only when asked (--simulate[=NAME], or QV_SIM_MODULE=NAME), and one line on the
// terminal then says so; --settings FILE puts the settings in another file.
//
// QV_EXIT_AFTER_SHOW=1 makes the program print, once the main window's first frame has
// been painted, the milliseconds since the process started and its resident memory, then
// end without writing the settings: "startup_ms=<ms> rss_mib=<MiB>" (read by the benchmark).

#include "app/About.h"
#include "app/Eepromoptions.h"
#include "app/Prompts.h"
#include "app/Radio.h"
#include "app/StartOptions.h"
#include "app/Writing.h"
#include "settings/PortSettings.h"
#include "traffic/ResponsivePause.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QTimer>

#include <cstdio>
#include <ctime>
#include <memory>
#include <unistd.h>

namespace {

// Milliseconds since this process was started by the kernel (its start time in
// /proc/self/stat is counted in clock ticks since boot).
double msSinceProcessStart()
{
    QFile f(QStringLiteral("/proc/self/stat"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray s = f.readAll();
    const QList<QByteArray> fields = s.mid(s.lastIndexOf(')') + 2).split(' ');
    if (fields.size() <= 19)
        return -1;
    const double startSec = fields.at(19).toDouble() / double(::sysconf(_SC_CLK_TCK));
    timespec now{};
    ::clock_gettime(CLOCK_BOOTTIME, &now);
    return (double(now.tv_sec) + double(now.tv_nsec) / 1e9 - startSec) * 1000.0;
}

double residentMiB()
{
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = f.readAll().split(' ');
    return fields.size() > 1
               ? fields.at(1).toDouble() * double(::sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0)
               : -1;
}

// Reports the first painted frame of the main window and ends the program.
class FirstFrameProbe : public QObject {
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !fired_) {
            fired_ = true;
            // After this paint has reached the window's backing store.
            QTimer::singleShot(0, [] {
                std::printf("startup_ms=%.1f rss_mib=%.1f\n", msSinceProcessStart(), residentMiB());
                std::fflush(stdout);
                QCoreApplication::exit(0);
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool fired_ = false;
};

// Simulated modules are always reachable by name ([Devices] COM1=sim); one stands in for
// every port only when asked.
void setUpDevices(const StartOptions &options)
{
    options.ApplyToPorts(
        QFileInfo(PortSettings::FilePath()).dir().filePath(QStringLiteral("Quorvane-sim")));
    const QString line = options.TerminalLine();
    if (!line.isEmpty())
        std::fprintf(stderr, "%s\n", qPrintable(line));
}

} // namespace

int main(int argc, char **argv)
{
    preciseTimers(); // before any thread starts, so that they all have it
    // The options are read before the application exists: --help, --version and a wrong
    // option need no display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const StartOptions options = StartOptions::Read(arguments);
    if (options.Exit) {
        std::fputs(qPrintable(options.Message), options.ExitCode == 0 ? stdout : stderr);
        return options.ExitCode;
    }
    PortSettings::SetFilePath(options.SettingsFile);

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvane"));
    QApplication::setApplicationVersion(StartOptions::Version());
    // The desktop entry quorvane.desktop: a Wayland compositor finds the window's icon and name
    // through it.
    QGuiApplication::setDesktopFileName(QStringLiteral("quorvane"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/quorvane.svg")));
    // The application owns the four windows; they go in the reverse order of creation.
    std::unique_ptr<TMainForm> mainForm;
    std::unique_ptr<TOptionsForm> optionsForm;
    std::unique_ptr<TAboutForm> aboutForm;
    std::unique_ptr<TWritingForm> writingForm;
    FirstFrameProbe probe;
    try {
        setUpDevices(options);
        mainForm = std::make_unique<TMainForm>();
        MainForm = mainForm.get();
        optionsForm = std::make_unique<TOptionsForm>();
        OptionsForm = optionsForm.get();
        aboutForm = std::make_unique<TAboutForm>();
        AboutForm = aboutForm.get();
        writingForm = std::make_unique<TWritingForm>();
        WritingForm = writingForm.get();
        if (qEnvironmentVariable("QV_EXIT_AFTER_SHOW") == QLatin1String("1"))
            MainForm->installEventFilter(&probe);
        MainForm->show();
        QApplication::exec();
    } catch (const std::exception &e) {
        Prompts::current()->critical(nullptr, Prompts::applicationCaption(),
                                     QString::fromUtf8(e.what()));
    }
    if (MainForm)
        MainForm->removeEventFilter(&probe);
    WritingForm = nullptr;
    writingForm.reset();
    AboutForm = nullptr;
    aboutForm.reset();
    OptionsForm = nullptr;
    optionsForm.reset();
    MainForm = nullptr;
    mainForm.reset();
    return 0;
}
