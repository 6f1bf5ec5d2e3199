#include "app/About.h"
#include "support/Screenshot.h"

#include <QCoreApplication>
#include <QTabWidget>

// One picture per tab of the help window, in tab order.
void shotsHelpWindow(const QString &dir)
{
    TAboutForm form;
    const char *const names[] = {"help-transmit", "help-receive", "help-programming", "help-sleep",
                                 "help-about"};
    form.show();
    for (int i = 0; i < form.PageControl1->count(); ++i) {
        form.PageControl1->setCurrentIndex(i);
        // Let the page lay itself out (the codes pane settles its scroll bars late).
        QCoreApplication::processEvents();
        saveScreenshot(&form, dir, QString::fromLatin1(names[i]));
    }
    form.hide();
}
