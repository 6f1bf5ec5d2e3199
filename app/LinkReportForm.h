#pragma once

// The "Link Report" window (View, "Link Report..."): the link report of this station, shown
// and refreshed once a second while the window is open (a second's slice is the finest the
// chart shows). The report itself (LinkReport, owned
// by the main window) counts whether the window is open or not; a hidden window costs nothing.
//
// Sending side: "Numbered" makes SendTest and Cont.Send number their packets; packets sent
// and the pace. Receiving side: received, lost, duplicated and out-of-order packets, loss over
// the whole run and the last 10 s, packets a second, the time between packets, and the chart.
// "Stop"/"Start" pauses and resumes the report's counting, "Reset" starts it afresh; neither
// touches "Rec. Data" or "Data Error". "Save CSV..." writes one row per packet, "Save
// Chart..." the chart as a PNG picture.

#include <QDialog>

#include <functional>

class LinkChart;
class LinkReport;
class QCheckBox;
class QIODevice;
class QLabel;
class QPushButton;
class QTimer;

class TLinkReportForm : public QDialog {
    Q_OBJECT
public:
    TLinkReportForm(LinkReport &report, QWidget *parent = nullptr);

    QCheckBox *NumberedBox;  // "Numbered"
    QLabel *SentValue;       // "Packets sent"
    QLabel *PaceValue;       // "Pace"
    QLabel *ReceivedValue;   // "Received"
    QLabel *LostValue;       // "Lost"
    QLabel *DuplicatedValue; // "Duplicated"
    QLabel *OutOfOrderValue; // "Out of order"
    QLabel *LossValue;       // "Loss"
    QLabel *RecentLossValue; // "Loss, last 10 s"
    QLabel *RateValue;       // "Packets a second"
    QLabel *GapValue;        // "Time between packets"
    QLabel *NumberingNote;   // shown once unnumbered packets came
    LinkChart *Chart;
    QPushButton *StartButton; // "Stop" while the report counts, "Start" while it does not
    QPushButton *ResetButton; // "Reset"
    QPushButton *CsvButton;   // "Save CSV..."
    QPushButton *ChartButton; // "Save Chart..."
    QTimer *RefreshTimer;     // once a second while the window shows

    // The station's port as the log names it ("COM1 (/dev/ttyUSB0)"), for the saved chart.
    std::function<QString()> StationName;

    // Shows the report as it stands.
    void Refresh();
    // The saved chart's title line: the port, the time the report covers, and its totals as
    // the window shows them.
    QString ChartTitle();
    void NumberedBoxClick();
    void StartButtonClick();
    void ResetButtonClick();
    void CsvButtonClick();
    void ChartButtonClick();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    LinkReport &report_;
};
