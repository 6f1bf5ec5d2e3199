#pragma once

// The channel survey: two modules on one computer, one sending and one receiving, and the
// loss on each channel measured with the modules' own packets.
//
// Each module lives on a ModuleHost of its own, so that both take their channel command at
// the same time and one module's command waits never hold up the other's bytes. The survey
// reads both configurations first and refuses, naming the difference, when the modules cannot
// hear each other. Then, channel by channel: the channel command ("C" alone, with the command
// channel's pacing) on both modules at once; numbered test packets from the sender, one
// packet's line time and the pace apart; and at the receiver the link report's counting of
// what came, what was lost, repeated or out of order, until the last packet has come or could
// have. A channel where nothing came is checked by reading both modules: one that does not
// answer, or reports another channel, ends the survey there, with the rows so far kept.
// At the end both modules get their own channel (and data rate) back, or with Apply the best
// channel, and are read back.
//
// Everything is reported on the owner's thread: a row as each channel is done, progress
// lines, and Finished() once both ports are closed again. Stop() ends it after the step in
// progress (the packets in flight at most); the modules are restored as at the end.

#include "cli/ModuleTask.h"
#include "cli/SurveyResult.h"

#include <QList>
#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class ModuleHost;
class Programmer;

class Survey : public QObject {
    Q_OBJECT

public:
    enum class Rate { Held, Fast, Slow, Both }; // Held: the rate both modules hold
    struct Request {
        ModulePort tx, rx;
        int speedIndex = 0;  // both ports: the Speed list entry, 0 = 9600 ... 4 = 115200
        QList<int> channels; // in the order surveyed
        int packets = 50;
        int paceMs = 10; // between the end of one packet's bytes and the next packet
        Rate rate = Rate::Held;
        bool apply = false;  // leave both modules on the best channel
        int useChannel = -1; // survey nothing: write this channel into both modules
    };
    enum class Verdict {
        Done,
        Stopped,   // by Stop(): the rows so far
        Refused,   // before anything was written: the modules cannot hear each other, or a
                   // port that cannot drive the programming line
        NotOpened, // a port did not open
        NoAnswer,  // a module did not answer before the survey began
        Failed,    // a module stopped answering during the survey: the rows so far
    };
    struct Outcome {
        Verdict verdict = Verdict::Done;
        QString reason;
        std::optional<ModuleConfig> tx, rx; // as read before the survey
        int width = 0;                      // bytes of a test packet
        SurveyResult result;
        int txChannel = -1, rxChannel = -1; // as read back at the end; -1 when not read
        bool applied = false;               // both modules were left on a new channel
        int appliedChannel = -1;
    };

    explicit Survey(Request request, QObject *parent = nullptr);
    // Ends at once: the step in progress finishes, the modules are not restored.
    ~Survey() override;

    void Start();
    void Stop();
    bool Running() const { return running_; }
    const Request &Asked() const { return request_; }
    const Outcome &Result() const { return outcome_; }

    // "0-127", "11,20-25": the channels in the order given; empty with the reason for a text
    // that names none or a channel outside 0 to 127.
    static QList<int> ParseChannels(const QString &text, QString *error);
    // Why two modules cannot hear each other, or empty. rate: the rate the survey sets.
    static QString Difference(const ModuleConfig &tx, const ModuleConfig &rx, Rate rate);
    // The least time a survey can take, in ms: per channel both channel commands at once,
    // then each packet's line time and the pace, then the last packet's air and line time.
    static double FloorMs(const Request &request, int width, int addressWidth);

signals:
    void Progress(const QString &line);
    void RowDone(const SurveyRow &row);
    void Finished();

private:
    struct Side;
    struct Counting;
    using Job = std::function<void(Programmer &, Side &)>;

    void both(Job tx, Job rx, const std::function<void()> &next);
    void opened();
    void nextStep();
    void measure(int channel, bool oneMbit);
    void measured(const SurveyRow &row);
    void ending();
    void fail(Verdict verdict, const QString &reason);
    void closeAndFinish();
    // Why a side failed during the survey, or empty.
    QString sideFault(const Side &side) const;

    Request request_;
    Outcome outcome_;
    bool running_ = false;
    bool stopping_ = false;
    std::shared_ptr<std::atomic<bool>> stop_;
    std::unique_ptr<ModuleHost> txHost_, rxHost_;
    std::shared_ptr<Side> tx_, rx_;
    std::shared_ptr<Counting> counting_;
    // The plan: (channel, rate) in order; the step done next.
    QList<std::pair<int, bool>> plan_;
    int step_ = 0;
    qint64 nextNumber_ = 1;
    bool ending_ = false;
    bool txFast_ = true, rxFast_ = true; // as last written or read
    int txChannel_ = 0, rxChannel_ = 0;
};
