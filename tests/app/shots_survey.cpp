// The Channel Survey window after a survey of all 128 channels, ten packets each, on two
// simulated modules in an office whose Wi-Fi channels 1, 6 and 11 are busy.

#include "app/Radio.h"
#include "app/SurveyForm.h"
#include "serial/PortDirectory.h"
#include "sim/SimModule.h"
#include "sim/SimWorld.h"
#include "sim/SimulatedModules.h"
#include "support/Screenshot.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>

void shotsSurveyWindow(const QString &dir)
{
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    PortDirectory::global().setPortSource([] { return QList<PortInfo>(); });
    registerSimulatedModules();
    SimWorld::instance()->air().setName({});
    SimWorld::instance()->air().setInterference(SimInterference::wifi());
    for (const char *name : {"SURVEY-A", "SURVEY-B"})
        SimModule::named(QLatin1String(name))->factoryReset(115200);
    QFile ini(config.filePath(QStringLiteral("Quorvane.ini")));
    if (ini.open(QIODevice::WriteOnly))
        ini.write("[Port]\nCOM=0\nBaud=4\n[Devices]\nCOM1=sim:SURVEY-A\n");
    ini.close();
    TMainForm f;
    f.show();
    f.ChannelSurvey1->trigger();
    TSurveyForm *form = f.SurveyForm;
    form->resize(900, 560);
    form->ReceiverList->setEditText(QStringLiteral("sim:SURVEY-B"));
    form->PacketsSpin->setValue(10);
    form->PaceSpin->setValue(2);
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 1500) // the main window's start-up read is over
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    form->StartButton->click();
    while (form->Running() && t.elapsed() < 120000)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    saveScreenshot(form, dir, QStringLiteral("channel-survey"));
    SimWorld::instance()->air().setInterference(SimInterference());
}
