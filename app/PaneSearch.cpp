#include "app/PaneSearch.h"

#include "app/Memo.h"

#include <QTextBlock>
#include <QTextDocument>

#include <numeric>

PaneSearch::PaneSearch(TMemo *pane) : QObject(pane), pane_(pane)
{
    pane_->SetSearch(this);
}

PaneSearch::~PaneSearch()
{
    if (pane_->Search() == this)
        pane_->SetSearch(nullptr);
    pane_->viewport()->update();
}

std::vector<int> PaneSearch::PositionsIn(QStringView line) const
{
    std::vector<int> out;
    if (pattern_.isEmpty())
        return out;
    for (qsizetype at = line.indexOf(pattern_, 0, cs_); at >= 0;
         at = line.indexOf(pattern_, at + pattern_.size(), cs_))
        out.push_back(int(at));
    return out;
}

int PaneSearch::countIn(QStringView line) const
{
    int n = 0;
    for (qsizetype at = line.indexOf(pattern_, 0, cs_); at >= 0;
         at = line.indexOf(pattern_, at + pattern_.size(), cs_))
        ++n;
    return n;
}

void PaneSearch::recount()
{
    pane_->Flush();
    counts_.clear();
    total_ = 0;
    for (QTextBlock b = pane_->document()->begin(); b.isValid(); b = b.next()) {
        const int n = pattern_.isEmpty() ? 0 : countIn(b.text());
        counts_.push_back(n);
        total_ += n;
    }
}

void PaneSearch::SetPattern(const QString &pattern, Qt::CaseSensitivity cs)
{
    pattern_ = pattern;
    cs_ = cs;
    recount();
    current_ = QTextCursor();
    const int first = find(viewTop(), true);
    if (first >= 0)
        select(first);
    repaint();
    emit changed();
}

void PaneSearch::Restart()
{
    current_ = QTextCursor();
    recount();
    repaint();
    emit changed();
}

void PaneSearch::Appended(QStringView text, int before, int after)
{
    const int added = int(text.count(QLatin1Char('\n'))) + 1;
    for (int gone = before + added - after; gone > 0 && !counts_.empty(); --gone) {
        total_ -= counts_.front();
        counts_.pop_front();
    }
    const int totalBefore = total_;
    if (pattern_.isEmpty()) {
        counts_.insert(counts_.end(), size_t(added), 0);
    } else {
        qsizetype start = 0;
        for (;;) {
            const qsizetype end = text.indexOf(QLatin1Char('\n'), start);
            const int n = countIn(text.mid(start, (end < 0 ? text.size() : end) - start));
            counts_.push_back(n);
            total_ += n;
            if (end < 0)
                break;
            start = end + 1;
        }
    }
    if (total_ != totalBefore || before + added != after)
        emit changed();
}

int PaneSearch::viewTop() const
{
    const QList<QTextBlock> blocks = pane_->VisibleBlocks();
    return blocks.isEmpty() ? 0 : blocks.first().position();
}

int PaneSearch::find(int position, bool forward) const
{
    if (total_ == 0)
        return -1;
    const QTextDocument *doc = pane_->document();
    const QTextBlock from = doc->findBlock(position);
    const int blocks = int(counts_.size());
    int number = from.isValid() ? from.blockNumber() : (forward ? 0 : blocks - 1);
    // The block of position is looked at twice: from position on, and round the end before it.
    for (int step = 0; step <= blocks;
         ++step, number = (number + (forward ? 1 : blocks - 1)) % blocks) {
        if (number >= blocks || counts_[size_t(number)] == 0)
            continue;
        const QTextBlock b = doc->findBlockByNumber(number);
        const std::vector<int> at = PositionsIn(b.text());
        const int offset = position - b.position();
        if (forward) {
            for (const int a : at)
                if (step > 0 || a >= offset)
                    return b.position() + a;
        } else {
            for (auto it = at.rbegin(); it != at.rend(); ++it)
                if (step > 0 || *it < offset)
                    return b.position() + *it;
        }
    }
    return -1;
}

void PaneSearch::select(int position)
{
    current_ = QTextCursor(pane_->document());
    current_.setPosition(position);
    current_.setPosition(position + int(pattern_.size()), QTextCursor::KeepAnchor);
    pane_->setTextCursor(current_);
}

void PaneSearch::Next()
{
    step(true);
}

void PaneSearch::Previous()
{
    step(false);
}

void PaneSearch::step(bool forward)
{
    pane_->Flush();
    const int from = !current_.hasSelection() ? viewTop()
                     : forward                ? current_.selectionEnd()
                                              : current_.selectionStart();
    const int at = find(from, forward);
    if (at >= 0)
        select(at);
    repaint();
    emit changed();
}

int PaneSearch::Current() const
{
    if (!current_.hasSelection())
        return 0;
    const int start = current_.selectionStart();
    const QTextBlock b = pane_->document()->findBlock(start);
    const auto number = size_t(b.blockNumber());
    if (!b.isValid() || number >= counts_.size())
        return 0;
    const int before = std::accumulate(counts_.begin(), counts_.begin() + qsizetype(number), 0);
    int within = 0;
    for (const int a : PositionsIn(b.text()))
        within += a < start - b.position() ? 1 : 0;
    return before + within + 1;
}

QString PaneSearch::CountText() const
{
    if (pattern_.isEmpty())
        return QString();
    if (total_ == 0)
        return QStringLiteral("No matches");
    const int current = Current();
    return current > 0 ? QStringLiteral("%1 of %2").arg(current).arg(total_)
                       : QStringLiteral("? of %1").arg(total_);
}

int PaneSearch::CurrentStart() const
{
    return current_.hasSelection() ? current_.selectionStart() : -1;
}

bool PaneSearch::MayMatch(int blockNumber) const
{
    return blockNumber < 0 || size_t(blockNumber) >= counts_.size() ||
           counts_[size_t(blockNumber)] > 0;
}

void PaneSearch::repaint()
{
    pane_->viewport()->update();
}
