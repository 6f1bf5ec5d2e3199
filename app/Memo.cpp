#include "app/Memo.h"

#include "app/FormParts.h"
#include "app/PaintPacer.h"
#include "app/PaneRecorder.h"
#include "app/PaneSearch.h"
#include "app/Prompts.h"

#include <QAction>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QKeyEvent>
#include <QMenu>
#include <QPaintEvent>
#include <QPainter>
#include <QSaveFile>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <QTimer>

#include <optional>

namespace {

// A pane's scroll bar repaints only when what it shows has changed. Every hand-over of lines
// moves its range and value, but a pane of hundreds of lines shows the same slider, pixel for
// pixel, after most of them: and a tall scroll bar drawn anew ten times a second was the
// largest single cost of a window that merely receives.
class PaneScrollBar : public QScrollBar {
public:
    explicit PaneScrollBar(QWidget *parent) : QScrollBar(Qt::Vertical, parent) {}

protected:
    void sliderChange(SliderChange change) override
    {
        if (change == SliderOrientationChange || !shown_) {
            QScrollBar::sliderChange(change);
            return;
        }
        // A new range comes before the value that follows the end: the look is judged once
        // both have been set, when the events at hand have run.
        if (!judging_) {
            judging_ = true;
            QMetaObject::invokeMethod(
                this,
                [this, change] {
                    judging_ = false;
                    if (!shown_ || !(*shown_ == look()))
                        QScrollBar::sliderChange(change);
                },
                Qt::QueuedConnection);
        }
    }
    void paintEvent(QPaintEvent *event) override
    {
        shown_ = look();
        QScrollBar::paintEvent(event);
    }

private:
    // What the style draws from the range, page step and value: the slider, and the arrows,
    // which it draws differently at either end.
    struct Look {
        QRect slider;
        bool atMinimum;
        bool atMaximum;
        bool operator==(const Look &o) const
        {
            return slider == o.slider && atMinimum == o.atMinimum && atMaximum == o.atMaximum;
        }
    };
    Look look() const
    {
        QStyleOptionSlider option;
        initStyleOption(&option);
        return {style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider,
                                        this),
                value() == minimum(), value() == maximum()};
    }

    std::optional<Look> shown_;
    bool judging_ = false;
};

// "\r\n" and a lone "\r" end a line as "\n" does. One pass: in a flood every packet has them.
QString withLineFeeds(const QString &line)
{
    if (!line.contains(QLatin1Char('\r')))
        return line;
    QString out(line.size(), Qt::Uninitialized);
    QChar *o = out.data();
    for (const QChar *c = line.constBegin(), *end = line.constEnd(); c != end; ++c) {
        if (*c != u'\r') {
            *o++ = *c;
            continue;
        }
        *o++ = u'\n';
        if (c + 1 != end && c[1] == u'\n')
            ++c;
    }
    out.truncate(o - out.constData());
    return out;
}

// "hh:mm:ss.zzz " of the local time at epochMs. The offset from UTC is looked up at most once
// a second: a look-up reads the time zone afresh, and streaming lines are stamped by the
// hundred a second.
QString stamp(qint64 epochMs)
{
    constexpr qint64 kDay = 86400000;
    static qint64 offsetMs = 0;
    static qint64 lookedUpAt = 0;
    if (lookedUpAt == 0 || epochMs - lookedUpAt >= 1000 || epochMs < lookedUpAt) {
        offsetMs = qint64(QDateTime::fromMSecsSinceEpoch(epochMs).offsetFromUtc()) * 1000;
        lookedUpAt = epochMs;
    }
    const qint64 ms = ((epochMs + offsetMs) % kDay + kDay) % kDay;
    const int fields[4] = {int(ms / 3600000), int(ms / 60000 % 60), int(ms / 1000 % 60),
                           int(ms % 1000)};
    QString s(13, Qt::Uninitialized);
    QChar *o = s.data();
    for (int i = 0; i < 3; ++i) {
        *o++ = QLatin1Char(char('0' + fields[i] / 10));
        *o++ = QLatin1Char(char('0' + fields[i] % 10));
        *o++ = QLatin1Char(i < 2 ? ':' : '.');
    }
    *o++ = QLatin1Char(char('0' + fields[3] / 100));
    *o++ = QLatin1Char(char('0' + fields[3] / 10 % 10));
    *o++ = QLatin1Char(char('0' + fields[3] % 10));
    *o = QLatin1Char(' ');
    return s;
}

// Every line of the text starts with the stamp.
QString stamped(const QString &text, qint64 epochMs)
{
    const QString s = stamp(epochMs);
    if (!text.contains(QLatin1Char('\n')))
        return s + text;
    QString out = s;
    out.reserve(text.size() + s.size() * (text.count(QLatin1Char('\n')) + 1));
    for (const QChar c : text) {
        out += c;
        if (c == u'\n')
            out += s;
    }
    return out;
}

} // namespace

TMemo::TMemo(QWidget *parent) : QPlainTextEdit(parent), flushTimer_(new QTimer(this))
{
    setReadOnly(true);
    // Nobody undoes a log; an undo stack would only grow with every line.
    setUndoRedoEnabled(false);
    FormParts::LayOutPlainly(this);
    setMaximumBlockCount(MaxLines);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    // The scroll bar moves with every hand-over of lines: painted whole, on the window's
    // colour (it lies inside the pane's own frame), it needs none of the frames behind it
    // painted again each time.
    setVerticalScrollBar(new PaneScrollBar(this));
    verticalScrollBar()->setBackgroundRole(QPalette::Window);
    verticalScrollBar()->setAutoFillBackground(true);
    flushTimer_->setSingleShot(true);
    flushTimer_->setInterval(0);
    connect(flushTimer_, &QTimer::timeout, this, &TMemo::Flush);
}

// A search still open goes first: it takes its highlights off a pane that is still whole.
TMemo::~TMemo()
{
    delete search_;
}

void TMemo::AddLine(const QString &line)
{
    QString text = withLineFeeds(line);
    if (recorder_)
        recorder_->write(paneName_, text);
    take(std::move(text), -1);
}

void TMemo::Record(const QString &line)
{
    if (Recording())
        recorder_->write(paneName_, withLineFeeds(line));
}

bool TMemo::Recording() const
{
    return recorder_ && recorder_->recording();
}

void TMemo::Show(const QString &line, qint64 atMs)
{
    take(withLineFeeds(line), atMs);
}

void TMemo::take(QString text, qint64 atMs)
{
    if (stamps_)
        text = stamped(text, atMs >= 0 ? atMs : QDateTime::currentMSecsSinceEpoch());
    if (text.size() <= MaxLineLength) {
        pending_ << text;
    } else {
        for (const QStringView piece : QStringView(text).split(QLatin1Char('\n'))) {
            qsizetype at = 0;
            do {
                pending_ << piece.mid(at, MaxLineLength).toString();
                at += MaxLineLength;
            } while (at < piece.size());
        }
    }
    // Lines the pane would let go at once need not wait for it: a run of lines added while
    // the event loop is held up stays within the pane's own bound.
    if (pending_.size() > 2 * MaxLines)
        pending_.remove(0, pending_.size() - MaxLines);
    if (!flushTimer_->isActive()) {
        const qint64 since = sinceFlush_.isValid() ? sinceFlush_.elapsed() : FlushGapMs;
        qint64 wait = since >= FlushGapMs ? 0 : FlushGapMs - since;
        // In a paced window the lines of a stream go over with the window's paint, which comes
        // as often: the timer, a paint's gap later, is for a paint that does not come.
        if (wait > 0 && FollowPaints())
            wait += PaintPacer::kQuickGapMs;
        flushTimer_->start(int(wait));
    }
}

bool TMemo::FollowPaints()
{
    PaintPacer *pacer = PaintPacer::of(window());
    if (pacer != pacer_) {
        if (pacer_)
            disconnect(pacer_, nullptr, this, nullptr);
        pacer_ = pacer;
        if (pacer)
            connect(pacer, &PaintPacer::aboutToPaint, this, &TMemo::FlushForPaint);
    }
    return pacer != nullptr;
}

void TMemo::FlushForPaint()
{
    if (pending_.isEmpty())
        return;
    Flush();
    // The scroll bar judges its look when the events at hand have run; this paint should
    // show it as it now is.
    QCoreApplication::sendPostedEvents(verticalScrollBar(), QEvent::MetaCall);
}

void TMemo::Flush()
{
    flushTimer_->stop();
    if (pending_.isEmpty())
        return;
    sinceFlush_.start();
    const QString text = pending_.join(QLatin1Char('\n'));
    pending_.clear();
    const int before = search_ ? document()->blockCount() : 0;
    if (document()->isEmpty()) {
        // Qt's append would fill the one empty line instead of adding one after it.
        QTextCursor c(document());
        c.movePosition(QTextCursor::End);
        c.insertBlock();
        c.insertText(text);
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    } else {
        // Qt's own append follows the end when the view is at the end already.
        appendPlainText(text);
    }
    if (search_)
        search_->Appended(text, before, document()->blockCount());
}

QStringList TMemo::Lines() const
{
    const_cast<TMemo *>(this)->Flush();
    QStringList out;
    for (QTextBlock b = document()->begin(); b.isValid(); b = b.next())
        out << b.text();
    return out;
}

void TMemo::Clear()
{
    pending_.clear();
    flushTimer_->stop();
    clear();
    if (search_)
        search_->Restart();
}

QList<QTextBlock> TMemo::VisibleBlocks() const
{
    QList<QTextBlock> out;
    const qreal bottom = viewport()->height();
    const QPointF offset = contentOffset();
    for (QTextBlock b = firstVisibleBlock(); b.isValid(); b = b.next()) {
        if (blockBoundingGeometry(b).translated(offset).top() > bottom)
            break;
        out << b;
    }
    return out;
}

void TMemo::keyPressEvent(QKeyEvent *event)
{
    if (event == QKeySequence::SelectAll) {
        SelectAllLines();
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void TMemo::resizeEvent(QResizeEvent *event)
{
    QScrollBar *bar = verticalScrollBar();
    const bool atEnd = bar->value() == bar->maximum();
    QPlainTextEdit::resizeEvent(event);
    if (atEnd)
        bar->setValue(bar->maximum());
}

QList<TMemo::MatchRect> TMemo::MatchRects(const QRect &area) const
{
    QList<MatchRect> out;
    if (!search_ || search_->Total() == 0)
        return out;
    const int length = int(search_->Pattern().size());
    const int current = search_->CurrentStart();
    const QPointF offset = contentOffset();
    for (QTextBlock b = firstVisibleBlock(); b.isValid(); b = b.next()) {
        const QRectF r = blockBoundingGeometry(b).translated(offset);
        if (r.top() > area.bottom())
            break;
        if (r.bottom() < area.top() || !search_->MayMatch(b.blockNumber()))
            continue;
        const QTextLayout *layout = b.layout();
        const QPointF origin = r.topLeft() + layout->position();
        for (const int at : search_->PositionsIn(b.text())) {
            // A match the pane wraps is a piece on each of its lines.
            const int first = layout->lineForTextPosition(at).lineNumber();
            const int last = layout->lineForTextPosition(at + length).lineNumber();
            for (int n = first; n >= 0 && n <= last; ++n) {
                const QTextLine line = layout->lineAt(n);
                const qreal x1 = n == first ? line.cursorToX(at) : line.x();
                const qreal x2 =
                    n == last ? line.cursorToX(at + length) : line.x() + line.naturalTextWidth();
                out.append({QRectF(x1, line.y(), x2 - x1, line.height()).translated(origin),
                            b.position() + at == current});
            }
        }
    }
    return out;
}

void TMemo::paintEvent(QPaintEvent *event)
{
    // The matches' highlights go under the text, which the pane then draws over them.
    if (search_ && search_->Total() > 0) {
        const bool dark = palette().color(QPalette::Base).lightness() < 128;
        const QColor match = dark ? QColor(0x80, 0x60, 0x00) : QColor(0xFF, 0xEB, 0x5A);
        const QColor current = dark ? QColor(0xB0, 0x40, 0x00) : QColor(0xFF, 0x96, 0x32);
        QPainter painter(viewport());
        painter.setClipRect(event->rect());
        for (const MatchRect &m : MatchRects(event->rect()))
            painter.fillRect(m.rect, m.current ? current : match);
    }
    QPlainTextEdit::paintEvent(event);
}

void TMemo::SetRecorder(PaneRecorder *recorder, const QString &paneName)
{
    recorder_ = recorder;
    paneName_ = paneName;
}

void TMemo::UsePopupMenu(QMenu *menu)
{
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, menu,
            [this, menu](const QPoint &at) { menu->popup(mapToGlobal(at)); });
    // The keys are the pane's own (keyPressEvent); the menu shows them.
    QAction *copyItem = menu->addAction(QStringLiteral("Copy"), this, &QPlainTextEdit::copy);
    copyItem->setShortcut(QKeySequence::Copy);
    copyItem->setEnabled(false);
    connect(this, &QPlainTextEdit::copyAvailable, copyItem, &QAction::setEnabled);
    menu->addAction(QStringLiteral("Select All"), this, &TMemo::SelectAllLines)
        ->setShortcut(QKeySequence::SelectAll);
    menu->addAction(QStringLiteral("Save As..."), this, &TMemo::SaveAs);
}

void TMemo::SelectAllLines()
{
    Flush();
    selectAll();
}

void TMemo::SaveAs()
{
    const QString path = Prompts::current()->saveFileName(
        this, QStringLiteral("Save As"),
        QDir::current().filePath(paneName_ + QStringLiteral(".txt")),
        QStringLiteral("Text Files (*.txt)"), false);
    QString error;
    if (!path.isEmpty() && !SaveToFile(path, error))
        Prompts::current()->critical(this, QStringLiteral("Error!"),
                                     QStringLiteral("Cannot save %1: %2").arg(path, error));
}

bool TMemo::SaveToFile(const QString &path, QString &error) const
{
    // Written whole and renamed into place: a failure never leaves half a file where the
    // operator's file was.
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        const QByteArray text = Lines().join(QLatin1Char('\n')).toUtf8() + '\n';
        if (file.write(text) == text.size() && file.commit())
            return true;
    }
    error = file.errorString();
    return false;
}
