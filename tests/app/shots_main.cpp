// The main window as an operator sees it after start-up on COM3 at 38400 (a pseudo-terminal
// stands in for the adapter), with the settings file kept in a temporary folder.

#include "app/Eepromoptions.h"
#include "app/Radio.h"
#include "serial/PortDirectory.h"
#include "support/PtyPair.h"
#include "support/Screenshot.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

void shotsMainWindow(const QString &dir)
{
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    static const QStringList none;
    PortDirectory::global().setSystemPortsForTesting(&none);
    PtyPair pty;
    QFile ini(config.filePath(QStringLiteral("Quorvane.ini")));
    if (ini.open(QIODevice::WriteOnly))
        ini.write(
            QStringLiteral("[Port]\nCOM=2\nBaud=2\n[Devices]\nCOM3=%1\n").arg(pty.path()).toUtf8());
    ini.close();

    TMainForm form;
    form.show();
    QApplication::processEvents();
    saveScreenshot(&form, dir, QStringLiteral("main-window"));

    // The communication settings dialog over it, as Settings, Serial port... opens it.
    MainForm = &form;
    TOptionsForm options;
    options.show();
    QApplication::processEvents();
    saveScreenshot(&options, dir, QStringLiteral("settings-dialog"));
    options.hide();
    MainForm = nullptr;
    form.hide();
    PortDirectory::global().setSystemPortsForTesting(nullptr);
}
