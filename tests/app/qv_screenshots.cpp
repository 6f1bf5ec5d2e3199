// qv_screenshots [outdir]: renders the program's windows to PNG files (docs/screenshots by
// default), on whatever platform Qt runs (offscreen when no display is set).

#include <QApplication>
#include <QDir>

void shotsMainWindow(const QString &dir);
void shotsHelpWindow(const QString &dir);
void shotsSurveyWindow(const QString &dir);

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1])
                                 : QStringLiteral(QV_SOURCE_DIR "/docs/screenshots");
    shotsMainWindow(dir);
    shotsHelpWindow(dir);
    shotsSurveyWindow(dir);
    return 0;
}
