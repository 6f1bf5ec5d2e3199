#pragma once

// Everything modal or audible goes through this one seam: error message boxes, the system
// beep and the file dialogs. The program uses the default (Qt's message box, beep and
// file dialog); tests install a recording implementation, so no test ever waits on a modal
// window.

#include <QString>

#include <functional>

class QIODevice;
class QWidget;

class Prompts {
public:
    virtual ~Prompts() = default;

    // An error message box with one OK button; returns when it is closed.
    virtual void critical(QWidget *owner, const QString &caption, const QString &text) = 0;
    // The default system beep.
    virtual void beep() = 0;
    // A file-open dialog; filter in Qt's form ("Text Files (*.txt)"). Empty when cancelled.
    virtual QString openFileName(QWidget *owner, const QString &title, const QString &dir,
                                 const QString &filter) = 0;
    // A file-save dialog; dir may name the file proposed. It asks before an existing file is
    // replaced, unless appends: the file is then written after what it holds. Empty when
    // cancelled.
    virtual QString saveFileName(QWidget *owner, const QString &title, const QString &dir,
                                 const QString &filter, bool appends) = 0;

    // The installed implementation, else the default one.
    static Prompts *current();
    // Installs p (not owned); nullptr restores the default.
    static void install(Prompts *p);

    // Asks where to save (proposing name in the working folder) and writes the file with write,
    // whole and renamed into place: a failure leaves the file that was there, and is told.
    static void saveWholeFile(QWidget *owner, const QString &title, const QString &name,
                              const QString &filter, const std::function<bool(QIODevice &)> &write);

    // The caption the application gives its own error messages.
    static QString applicationCaption() { return QStringLiteral("Quorvane"); }
};
