#pragma once

#include <QDialog>

class QFrame;
class QGroupBox;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class TimingDiagramView;

// The help window: the module's timing on the serial and radio lines (transmit, receive,
// programming, sleep), its command codes and the about page. Nothing in it depends on the
// module, the port or the settings. It is created once, hidden, and only hidden again by OK,
// so the tab the operator left open is the one the next showing opens on.
class TAboutForm : public QDialog {
    Q_OBJECT
public:
    explicit TAboutForm(QWidget *parent = nullptr);

    QFrame *Panel1 = nullptr;
    QTabWidget *PageControl1 = nullptr;
    QWidget *Transmit = nullptr;
    QWidget *Receive = nullptr;
    QWidget *Programming = nullptr;
    QWidget *Sleep = nullptr;
    QWidget *About = nullptr;
    TimingDiagramView *TransmitDiagram = nullptr;
    TimingDiagramView *ReceiveDiagram = nullptr;
    TimingDiagramView *ProgrammingDiagram = nullptr;
    TimingDiagramView *SleepDiagram = nullptr;
    QGroupBox *Codes = nullptr;
    QPlainTextEdit *Memo1 = nullptr;
    QGroupBox *AboutFrame = nullptr;
    QPushButton *Button1 = nullptr;

public slots:
    void Button1Click();

private:
    QWidget *addDiagramPage(const QString &name, const QString &caption,
                            TimingDiagramView *diagram);
    void buildCodes();
    void buildAboutPage();
};

extern TAboutForm *AboutForm;
