#include "app/LinkReportForm.h"

#include "app/LinkChart.h"
#include "app/Prompts.h"
#include "app/StampClock.h"
#include "traffic/LinkReport.h"

#include <QCheckBox>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kRefreshMs = 1000;
const QString kNone = QStringLiteral("-");

QLabel *Value(const char *name, QWidget *parent)
{
    auto *l = new QLabel(kNone, parent);
    l->setObjectName(QLatin1String(name));
    l->setFrameShape(QFrame::Panel);
    l->setFrameShadow(QFrame::Sunken);
    l->setMinimumWidth(70);
    return l;
}

// A caption and its value (over span columns) in one row of a grid. The caption is the
// value's label for a screen reader (its buddy), and the value speaks for itself: a value
// named after its caption would never be read out.
void Row(QGridLayout *grid, int row, int column, const QString &caption, QLabel *value,
         int span = 1)
{
    auto *c = new QLabel(caption, value->parentWidget());
    c->setBuddy(value);
    grid->addWidget(c, row, column);
    grid->addWidget(value, row, column + 1, 1, span);
}

QString percent(double p)
{
    return p < 0 ? kNone : QStringLiteral("%1 %").arg(p, 0, 'f', 2);
}

QString milliseconds(double ms)
{
    return QStringLiteral("%1 ms").arg(ms, 0, 'f', ms < 1000 && ms != std::floor(ms) ? 1 : 0);
}

QPushButton *Button(const char *name, const QString &caption, QWidget *parent)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
}

} // namespace

TLinkReportForm::TLinkReportForm(LinkReport &report, QWidget *parent)
    : QDialog(parent), report_(report)
{
    setObjectName(QStringLiteral("LinkReportForm"));
    setWindowTitle(QStringLiteral("Link Report"));
    setModal(false);

    QGroupBox *sending = new QGroupBox(QStringLiteral("Sending"), this);
    auto *sendGrid = new QGridLayout(sending);
    NumberedBox = new QCheckBox(QStringLiteral("Numbered"), sending);
    NumberedBox->setObjectName(QStringLiteral("NumberedBox"));
    NumberedBox->setToolTip(
        QStringLiteral("SendTest and Cont.Send put a sequence number into their packets"));
    SentValue = Value("SentValue", sending);
    PaceValue = Value("PaceValue", sending);
    sendGrid->addWidget(NumberedBox, 0, 0);
    Row(sendGrid, 0, 1, QStringLiteral("Packets sent"), SentValue);
    Row(sendGrid, 0, 3, QStringLiteral("Pace"), PaceValue);
    sendGrid->setColumnStretch(4, 1);

    QGroupBox *receiving = new QGroupBox(QStringLiteral("Receiving"), this);
    auto *grid = new QGridLayout(receiving);
    ReceivedValue = Value("ReceivedValue", receiving);
    LostValue = Value("LostValue", receiving);
    DuplicatedValue = Value("DuplicatedValue", receiving);
    OutOfOrderValue = Value("OutOfOrderValue", receiving);
    LossValue = Value("LossValue", receiving);
    RecentLossValue = Value("RecentLossValue", receiving);
    RateValue = Value("RateValue", receiving);
    GapValue = Value("GapValue", receiving);
    Row(grid, 0, 0, QStringLiteral("Received"), ReceivedValue);
    Row(grid, 1, 0, QStringLiteral("Lost"), LostValue);
    Row(grid, 2, 0, QStringLiteral("Duplicated"), DuplicatedValue);
    Row(grid, 3, 0, QStringLiteral("Out of order"), OutOfOrderValue);
    Row(grid, 0, 2, QStringLiteral("Loss"), LossValue);
    Row(grid, 1, 2, QStringLiteral("Loss, last 10 s"), RecentLossValue);
    Row(grid, 2, 2, QStringLiteral("Packets a second"), RateValue);
    // "last ..., mean ..., worst ..." needs the room of a whole row.
    Row(grid, 4, 0, QStringLiteral("Time between packets"), GapValue, 3);
    grid->setColumnStretch(3, 1);
    NumberingNote = new QLabel(QStringLiteral("Loss needs numbered packets: tick \"Numbered\" in "
                                              "the sending station's Link Report."),
                               receiving);
    NumberingNote->setObjectName(QStringLiteral("NumberingNote"));
    NumberingNote->setWordWrap(true);
    NumberingNote->hide();
    grid->addWidget(NumberingNote, 5, 0, 1, 4);

    Chart = new LinkChart(this);
    Chart->setObjectName(QStringLiteral("Chart"));

    StartButton = Button("StartButton", QStringLiteral("Stop"), this);
    ResetButton = Button("ResetButton", QStringLiteral("Reset"), this);
    CsvButton = Button("CsvButton", QStringLiteral("Save CSV..."), this);
    ChartButton = Button("ChartButton", QStringLiteral("Save Chart..."), this);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(StartButton);
    buttons->addWidget(ResetButton);
    buttons->addStretch(1);
    buttons->addWidget(CsvButton);
    buttons->addWidget(ChartButton);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(sending);
    layout->addWidget(receiving);
    layout->addWidget(Chart, 1);
    layout->addLayout(buttons);

    RefreshTimer = new QTimer(this);
    RefreshTimer->setInterval(kRefreshMs);
    connect(RefreshTimer, &QTimer::timeout, this, &TLinkReportForm::Refresh);
    connect(NumberedBox, &QCheckBox::clicked, this, &TLinkReportForm::NumberedBoxClick);
    connect(StartButton, &QPushButton::clicked, this, &TLinkReportForm::StartButtonClick);
    connect(ResetButton, &QPushButton::clicked, this, &TLinkReportForm::ResetButtonClick);
    connect(CsvButton, &QPushButton::clicked, this, &TLinkReportForm::CsvButtonClick);
    connect(ChartButton, &QPushButton::clicked, this, &TLinkReportForm::ChartButtonClick);
    Refresh();
}

void TLinkReportForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    Refresh();
    RefreshTimer->start();
}

void TLinkReportForm::hideEvent(QHideEvent *event)
{
    RefreshTimer->stop();
    QDialog::hideEvent(event);
}

void TLinkReportForm::Refresh()
{
    const LinkReport &r = report_;
    const qint64 now = StampClock::program().elapsed();
    NumberedBox->setChecked(r.numbered());
    StartButton->setText(r.running() ? QStringLiteral("Stop") : QStringLiteral("Start"));

    SentValue->setText(QString::number(r.sent()));
    const double pace = r.paceMs();
    PaceValue->setText(pace > 0 ? QStringLiteral("%1 (%2 a second)")
                                      .arg(milliseconds(pace))
                                      .arg(1000.0 / pace, 0, 'f', 1)
                                : kNone);

    const bool numbered = r.numberedCount() > 0;
    ReceivedValue->setText(QString::number(r.receivedCount()));
    LostValue->setText(numbered ? QString::number(std::max<qint64>(r.lost(), 0)) : kNone);
    DuplicatedValue->setText(numbered ? QString::number(r.duplicates()) : kNone);
    OutOfOrderValue->setText(numbered ? QString::number(r.late()) : kNone);
    LossValue->setText(percent(r.lossPercent()));
    const LinkReport::Recent recent = r.recent(now);
    RecentLossValue->setText(percent(LinkReport::lossPercent(recent.lost, recent.unique)));
    RateValue->setText(
        recent.spanMs > 0
            ? QString::number(recent.received * 1000.0 / double(recent.spanMs), 'f', 1)
            : kNone);
    GapValue->setText(r.receivedCount() > 1 ? QStringLiteral("last %1, mean %2, worst %3")
                                                  .arg(milliseconds(double(r.lastGapMs())),
                                                       milliseconds(r.meanGapMs()),
                                                       milliseconds(double(r.worstGapMs())))
                                            : kNone);
    // Only while no numbered packet has come since the start: a typed line between numbered
    // packets does not make the loss figures any less true.
    NumberingNote->setVisible(r.receivedCount() > 0 && r.numberedCount() == 0);

    Chart->SetChart(r.chart(now));
}

void TLinkReportForm::NumberedBoxClick()
{
    report_.setNumbered(NumberedBox->isChecked());
}

void TLinkReportForm::StartButtonClick()
{
    if (report_.running())
        report_.stop();
    else
        report_.start();
    Refresh();
}

void TLinkReportForm::ResetButtonClick()
{
    report_.reset(StampClock::program().elapsed());
    Refresh();
}

void TLinkReportForm::CsvButtonClick()
{
    Prompts::saveWholeFile(this, QStringLiteral("Save CSV"), QStringLiteral("link-report.csv"),
                           QStringLiteral("CSV Files (*.csv)"),
                           [this](QIODevice &file) { return report_.writeCsv(file); });
}

void TLinkReportForm::ChartButtonClick()
{
    Refresh();
    const QString title = ChartTitle();
    Prompts::saveWholeFile(this, QStringLiteral("Save Chart"), QStringLiteral("link-report.png"),
                           QStringLiteral("PNG Pictures (*.png)"), [this, &title](QIODevice &file) {
                               return Chart->Image(QSize(800, 320), title).save(&file, "PNG");
                           });
}

QString TLinkReportForm::ChartTitle()
{
    const StampClock &clock = StampClock::program();
    const QString format = QStringLiteral("yyyy-MM-dd hh:mm:ss");
    return QStringLiteral("%1, %2 to %3: received %4, lost %5, loss %6")
        .arg(StationName ? StationName() : QStringLiteral("Link Report"),
             clock.at(report_.startedMs()).toString(format),
             clock.at(clock.elapsed()).toString(format), ReceivedValue->text(), LostValue->text(),
             LossValue->text());
}
