#pragma once

// The "Channel Survey" window (View, "Channel Survey..."): the loss on each channel, measured
// with two modules. The console's own module sends; the receiving module is picked from the
// serial devices (or typed: a device, sim:NAME). Start runs the survey (Survey, as
// quorvane-cli runs it) with the chart filling in channel by channel; Stop ends it after the
// step in progress, and both modules get their channels back either way. "Use channel N"
// writes that channel into both modules and into the main window's Channel control; "Save
// CSV..." and "Save Chart..." keep what was found.
//
// While the survey has the console's module, the main window's port is lent to it (the
// survey opens it on a thread of its own) and the main window refuses its own operations;
// once the survey ends the port is the main window's again, as it was.

#include "cli/Survey.h"

#include <QDialog>

#include <functional>
#include <memory>

class QComboBox;
class QIODevice;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class SurveyChartView;
class TMainForm;

class TSurveyForm : public QDialog {
    Q_OBJECT
public:
    TSurveyForm(TMainForm &main, QWidget *parent = nullptr);
    ~TSurveyForm() override;

    QLabel *SenderLabel;     // the console's port, which sends
    QComboBox *ReceiverList; // the receiving module's port: listed, or typed
    QLineEdit *ChannelsEdit; // "Channels": 0-127, ranges and commas
    QSpinBox *PacketsSpin;   // "Packets a channel"
    QSpinBox *PaceSpin;      // "Pace" in ms
    QComboBox *RateCombo;    // "Data rate": as the modules hold, 1 Mbit/s, 250 kbit/s, both
    SurveyChartView *Chart;
    QLabel *StatusLabel;      // progress, then the best channels
    QPushButton *StartButton; // "Start"
    QPushButton *StopButton;  // "Stop"
    QSpinBox *UseSpin;        // the channel "Use channel" writes: the best one after a survey
    QPushButton *UseButton;   // "Use channel N"
    QPushButton *CsvButton;   // "Save CSV..."
    QPushButton *ChartButton; // "Save Chart..."

    bool Running() const { return bool(survey_); }
    void StartButtonClick();
    void StopButtonClick();
    void UseButtonClick();
    void CsvButtonClick();
    void ChartButtonClick();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    // The device the receiver's text opens, or empty.
    QString ReceiverDevice() const;
    // Lends the main window's port and starts request on it; false (told) when it cannot.
    bool Begin(Survey::Request request);
    void Ended();
    void ShowButtons();

    TMainForm &main_;
    std::unique_ptr<Survey> survey_;
    SurveyResult result_;
    QString title_; // of the last survey, for the saved chart
};
