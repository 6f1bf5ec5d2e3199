#pragma once

// The communication settings dialog: which COM port and which speed the main window uses.
// Ok hands the selected list indexes to the main window and reopens the port there at once;
// a text typed into a list that is exactly one of its entries counts as that entry, and a
// list without one keeps the value it had. Cancel and the close box change nothing. The
// settings file is written when the main window closes, not here.
//
// On this machine a COM name is only a name: beside the list the dialog tells which device
// the chosen name opens (its stable name, what the system knows of it), and a second list
// offers every serial device the system has, to map the chosen name to one of them. Ok makes
// that mapping the port's, and the settings file keeps it from the close on.

#include <QDialog>
#include <QMap>

class QComboBox;
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
    // Every serial device the system lists; the item's data is the [Devices] entry it makes
    // (the stable name when there is one). The first item is no entry at all. A device the
    // system does not list is typed in: a path, rfc2217://HOST:PORT or socket://HOST:PORT.
    QComboBox *DeviceList;

    void FormShow();
    void Button1Click();
    void Button2Click();
    // The operator picked an item of DeviceList for the selected COM name.
    void DeviceListClick(int item);
    // The operator typed a device into DeviceList for the selected COM name.
    void DeviceListTyped();

protected:
    void showEvent(QShowEvent *event) override;

private:
    QString SelectedCom() const; // empty when no COM name is selected or typed
    void ShowDevice();

    QMap<QString, QString> chosen_; // entries picked since the dialog was shown, by COM name
};

extern TOptionsForm *OptionsForm;
