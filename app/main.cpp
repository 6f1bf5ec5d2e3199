#include "app/Radio.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    MainForm = new TMainForm;
    MainForm->show();
    const int rc = app.exec();
    delete MainForm;
    return rc;
}
