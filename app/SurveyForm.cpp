#include "app/SurveyForm.h"

#include "app/Memo.h"
#include "app/Prompts.h"
#include "app/Radio.h"
#include "app/SpinEdit.h"
#include "app/SurveyChartView.h"
#include "cli/SurveyChart.h"
#include "serial/PortDirectory.h"
#include "serial/Radiocom.h"

#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

namespace {

QPushButton *Button(const char *name, const QString &caption, QWidget *parent)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
}

QSpinBox *Spin(const char *name, int least, int most, int value, QWidget *parent)
{
    auto *s = new QSpinBox(parent);
    s->setObjectName(QLatin1String(name));
    s->setRange(least, most);
    s->setValue(value);
    return s;
}

} // namespace

TSurveyForm::TSurveyForm(TMainForm &main, QWidget *parent) : QDialog(parent), main_(main)
{
    setObjectName(QStringLiteral("SurveyForm"));
    setWindowTitle(QStringLiteral("Channel Survey"));
    setModal(false);

    auto *modules = new QGroupBox(QStringLiteral("Modules"), this);
    SenderLabel = new QLabel(modules);
    SenderLabel->setObjectName(QStringLiteral("SenderLabel"));
    ReceiverList = new QComboBox(modules);
    ReceiverList->setObjectName(QStringLiteral("ReceiverList"));
    ReceiverList->setEditable(true);
    ReceiverList->setInsertPolicy(QComboBox::NoInsert);
    ReceiverList->setMinimumContentsLength(28);
    ReceiverList->lineEdit()->setPlaceholderText(QStringLiteral("a device, COMn or sim:NAME"));
    auto *moduleForm = new QFormLayout(modules);
    moduleForm->addRow(QStringLiteral("Sends (the console's port):"), SenderLabel);
    moduleForm->addRow(QStringLiteral("Receives:"), ReceiverList);

    auto *plan = new QGroupBox(QStringLiteral("Survey"), this);
    ChannelsEdit = new QLineEdit(QStringLiteral("0-127"), plan);
    ChannelsEdit->setObjectName(QStringLiteral("ChannelsEdit"));
    ChannelsEdit->setToolTip(QStringLiteral("Channels 0 to 127, as ranges and commas: 0-127, "
                                            "11,20-25"));
    PacketsSpin = Spin("PacketsSpin", 1, 10000, 50, plan);
    PaceSpin = Spin("PaceSpin", 0, 1000, 10, plan);
    PaceSpin->setSuffix(QStringLiteral(" ms"));
    RateCombo = new QComboBox(plan);
    RateCombo->setObjectName(QStringLiteral("RateCombo"));
    RateCombo->addItems({QStringLiteral("As the modules hold"), QStringLiteral("1 Mbit/s"),
                         QStringLiteral("250 kbit/s"), QStringLiteral("Both")});
    auto *planForm = new QFormLayout(plan);
    planForm->addRow(QStringLiteral("Channels:"), ChannelsEdit);
    planForm->addRow(QStringLiteral("Packets a channel:"), PacketsSpin);
    planForm->addRow(QStringLiteral("Pace:"), PaceSpin);
    planForm->addRow(QStringLiteral("Data rate:"), RateCombo);

    auto *top = new QHBoxLayout;
    top->addWidget(modules, 3);
    top->addWidget(plan, 2);

    Chart = new SurveyChartView(this);
    Chart->setObjectName(QStringLiteral("Chart"));
    StatusLabel = new QLabel(this);
    StatusLabel->setObjectName(QStringLiteral("StatusLabel"));
    StatusLabel->setWordWrap(true);
    StatusLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);

    StartButton = Button("StartButton", QStringLiteral("Start"), this);
    StopButton = Button("StopButton", QStringLiteral("Stop"), this);
    UseSpin = Spin("UseSpin", 0, 127, 2, this);
    UseSpin->setAccessibleName(QStringLiteral("Channel to use"));
    UseButton = Button("UseButton", QString(), this);
    CsvButton = Button("CsvButton", QStringLiteral("Save CSV..."), this);
    ChartButton = Button("ChartButton", QStringLiteral("Save Chart..."), this);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(StartButton);
    buttons->addWidget(StopButton);
    buttons->addSpacing(16);
    buttons->addWidget(UseSpin);
    buttons->addWidget(UseButton);
    buttons->addStretch(1);
    buttons->addWidget(CsvButton);
    buttons->addWidget(ChartButton);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(Chart, 1);
    layout->addWidget(StatusLabel);
    layout->addLayout(buttons);

    const auto guarded = [this](void (TSurveyForm::*handler)()) {
        return [this, handler] { main_.Guarded([this, handler] { (this->*handler)(); }); };
    };
    connect(StartButton, &QPushButton::clicked, this, guarded(&TSurveyForm::StartButtonClick));
    connect(StopButton, &QPushButton::clicked, this, guarded(&TSurveyForm::StopButtonClick));
    connect(UseButton, &QPushButton::clicked, this, guarded(&TSurveyForm::UseButtonClick));
    connect(CsvButton, &QPushButton::clicked, this, guarded(&TSurveyForm::CsvButtonClick));
    connect(ChartButton, &QPushButton::clicked, this, guarded(&TSurveyForm::ChartButtonClick));
    connect(UseSpin, &QSpinBox::valueChanged, this, &TSurveyForm::ShowButtons);
    ShowButtons();
}

TSurveyForm::~TSurveyForm()
{
    // The main window is going: the survey ends where it is, and the port stays closed.
    survey_.reset();
    main_.PortLent = false;
}

void TSurveyForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    SenderLabel->setText(PortDirectory::portLabel(
        QString::fromLatin1(main_.SerialConnector->DeviceName()), main_.PortTarget));
    // The devices there are now; what was typed stays.
    const QString text = ReceiverList->currentText();
    ReceiverList->clear();
    for (const PortInfo &p : PortDirectory::global().listedPorts()) {
        const QString details = p.details();
        ReceiverList->addItem(details.isEmpty() ? p.device
                                                : QStringLiteral("%1: %2").arg(p.device, details),
                              p.device);
    }
    ReceiverList->setCurrentIndex(-1);
    ReceiverList->setEditText(text);
}

void TSurveyForm::hideEvent(QHideEvent *event)
{
    // A survey nobody watches ends, and gives the modules their channels back.
    if (survey_)
        survey_->Stop();
    QDialog::hideEvent(event);
}

void TSurveyForm::ShowButtons()
{
    const bool running = bool(survey_);
    StartButton->setEnabled(!running);
    StopButton->setEnabled(running);
    UseButton->setEnabled(!running);
    UseButton->setText(QStringLiteral("Use channel %1").arg(UseSpin->value()));
    CsvButton->setEnabled(!running && !result_.rows.isEmpty());
    ChartButton->setEnabled(!running && !result_.rows.isEmpty());
}

QString TSurveyForm::ReceiverDevice() const
{
    const int item = ReceiverList->currentIndex();
    QString text = ReceiverList->currentText().trimmed();
    if (item >= 0 && ReceiverList->itemText(item) == ReceiverList->currentText())
        return ReceiverList->itemData(item).toString();
    if (text.isEmpty())
        return {};
    if (QRegularExpression(QStringLiteral("^COM[0-9]+$"), QRegularExpression::CaseInsensitiveOption)
            .match(text)
            .hasMatch())
        return PortDirectory::global().resolve(text.toUpper()).device;
    if (text == QLatin1String("sim") || text.contains(QLatin1Char(':')) ||
        text.contains(QLatin1Char('/')))
        return text;
    return QStringLiteral("/dev/") + text;
}

bool TSurveyForm::Begin(Survey::Request r)
{
    const QString receiver = ReceiverDevice();
    if (receiver.isEmpty()) {
        Prompts::current()->critical(this, QStringLiteral("Error!"),
                                     QStringLiteral("Choose the receiving module's port."));
        return false;
    }
    if (main_.ContSendLoops > 0 || main_.FileSending || main_.Timer2->isActive()) {
        Prompts::current()->critical(this, QStringLiteral("Error!"),
                                     QStringLiteral("The main window is busy with its module: "
                                                    "let it finish first."));
        return false;
    }
    const QString sender = main_.LendPort();
    if (sender.isEmpty()) {
        Prompts::current()->critical(this, QStringLiteral("Error!"),
                                     QStringLiteral("The console's port is not open: the "
                                                    "survey sends from the console's module."));
        return false;
    }
    if (sender == receiver) {
        main_.TakePortBack();
        Prompts::current()->critical(this, QStringLiteral("Error!"),
                                     QStringLiteral("%1 is the console's own port: choose "
                                                    "another module to receive.")
                                         .arg(ReceiverList->currentText()));
        return false;
    }
    r.tx = {SenderLabel->text(), sender, {}, {}};
    r.rx = {ReceiverList->currentText().trimmed(), receiver, {}, {}};
    r.speedIndex = main_.BaudIndex;
    survey_ = std::make_unique<Survey>(std::move(r));
    connect(survey_.get(), &Survey::RowDone, this, [this](const SurveyRow &row) {
        result_.rows << row;
        Chart->SetResult(result_);
    });
    connect(survey_.get(), &Survey::Progress, StatusLabel, &QLabel::setText);
    connect(survey_.get(), &Survey::Finished, this, [this] { main_.Guarded([this] { Ended(); }); });
    StatusLabel->setText(QStringLiteral("Reading both modules..."));
    survey_->Start();
    ShowButtons();
    return true;
}

void TSurveyForm::StartButtonClick()
{
    if (survey_)
        return;
    QString error;
    Survey::Request r;
    r.channels = Survey::ParseChannels(ChannelsEdit->text(), &error);
    if (r.channels.isEmpty()) {
        Prompts::current()->critical(
            this, QStringLiteral("Error!"),
            error.replace(QStringLiteral("--channels"), QStringLiteral("Channels")));
        return;
    }
    r.packets = PacketsSpin->value();
    r.paceMs = PaceSpin->value();
    const Survey::Rate rates[] = {Survey::Rate::Held, Survey::Rate::Fast, Survey::Rate::Slow,
                                  Survey::Rate::Both};
    r.rate = rates[std::clamp(RateCombo->currentIndex(), 0, 3)];
    const SurveyResult before = result_;
    result_ = {};
    if (!Begin(r)) {
        result_ = before;
        return;
    }
    Chart->SetResult(result_);
    title_ = QStringLiteral("Channel survey %1, %2 to %3")
                 .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm")),
                      survey_->Asked().tx.name, survey_->Asked().rx.name);
}

void TSurveyForm::StopButtonClick()
{
    if (survey_)
        survey_->Stop();
}

void TSurveyForm::UseButtonClick()
{
    if (survey_)
        return;
    Survey::Request r;
    r.useChannel = UseSpin->value();
    Begin(r);
}

void TSurveyForm::Ended()
{
    // The survey is done with the port: the main window has it again before anything else.
    const Survey::Outcome o = survey_->Result();
    const bool use = survey_->Asked().useChannel >= 0;
    survey_.release()->deleteLater(); // its own signal is still on the stack
    main_.TakePortBack();
    ShowButtons();
    using V = Survey::Verdict;
    if (use) {
        if (o.applied) {
            main_.Channel->SetValue(o.appliedChannel);
            main_.Memo1->AddLine(
                QStringLiteral("Channel Survey: both modules on channel %1").arg(o.appliedChannel));
            StatusLabel->setText(
                QStringLiteral("Both modules are on channel %1 now.").arg(o.appliedChannel));
        } else {
            StatusLabel->setText(o.reason);
            Prompts::current()->critical(this, QStringLiteral("Error!"), o.reason);
        }
        return;
    }
    QStringList lines;
    const QList<SurveyResult::Ranked> best = result_.Best(3);
    if (!best.isEmpty()) {
        UseSpin->setValue(best.first().row.channel);
        QStringList channels;
        for (const SurveyResult::Ranked &r : best)
            channels << SurveyResult::BestText(r);
        lines << QStringLiteral("Best: ") + channels.join(QStringLiteral("; "));
        title_ += QStringLiteral(": %1 channel(s), best %2")
                      .arg(result_.rows.size())
                      .arg(best.first().row.channel);
    }
    if (o.verdict != V::Done)
        lines << o.reason;
    StatusLabel->setText(lines.join(QLatin1Char('\n')));
    if (o.verdict != V::Done && o.verdict != V::Stopped)
        Prompts::current()->critical(this, QStringLiteral("Error!"), o.reason);
}

void TSurveyForm::CsvButtonClick()
{
    Prompts::saveWholeFile(this, QStringLiteral("Save CSV"), QStringLiteral("channel-survey.csv"),
                           QStringLiteral("CSV Files (*.csv)"),
                           [this](QIODevice &file) { return result_.WriteCsv(file); });
}

void TSurveyForm::ChartButtonClick()
{
    Prompts::saveWholeFile(this, QStringLiteral("Save Chart"), QStringLiteral("channel-survey.png"),
                           QStringLiteral("PNG Pictures (*.png)"), [this](QIODevice &file) {
                               return SurveyChart::Image(QSize(1000, 380), result_, title_,
                                                         palette())
                                   .save(&file, "PNG");
                           });
}
