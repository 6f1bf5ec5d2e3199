#pragma once

// The communication settings dialog: which COM port and which speed the main window uses.
// Ok hands the selected list indexes to the main window (-1 for a list without a selection)
// and reopens the port there at once; Cancel and the close box change nothing. The settings
// file is written when the main window closes, not here.

#include <QDialog>

class QLabel;
class QPushButton;
class TComboBox;

class TOptionsForm : public QDialog {
    Q_OBJECT
public:
    explicit TOptionsForm(QWidget *parent = nullptr);

    TComboBox *ComboBox1; // "Serial port": COM1 to COM8, index = PortIndex
    TComboBox *ComboBox2; // "Speed": the five speeds, index = BaudIndex
    QPushButton *Button1; // "Ok"
    QPushButton *Button2; // "Cancel"
    // Which device the selected COM name opens on this machine.
    QLabel *DeviceLabel;

    void FormShow();
    void Button1Click();
    void Button2Click();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void ShowDevice();
};

extern TOptionsForm *OptionsForm;
