#pragma once

// The main window's file-open dialog: title, initial folder and filter are set before each
// use; Execute() shows it through the Prompts seam and keeps the chosen file in FileName.

#include <QString>

class QWidget;

class TOpenDialog {
public:
    explicit TOpenDialog(QWidget *owner) : owner_(owner) {}

    QString Title;
    QString InitialDir;
    QString Filter; // Qt's form: "Text Files (*.txt)"
    QString FileName;

    // True when a file was chosen.
    bool Execute();

private:
    QWidget *owner_;
};
