#include "app/FindBar.h"

#include "app/Memo.h"
#include "app/PaneSearch.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

namespace {

// Frames narrower than this (the log pane's) take the bar in two rows.
constexpr int kNarrowFrame = 300;

QToolButton *toolButton(const char *name, const QString &text, const QString &tip, QWidget *parent)
{
    auto *b = new QToolButton(parent);
    b->setObjectName(QLatin1String(name));
    b->setText(text);
    b->setToolTip(tip);
    b->setAccessibleName(tip);
    b->setAutoRaise(true);
    return b;
}

} // namespace

FindBar::FindBar(QWidget *parent) : QWidget(parent), grid_(new QGridLayout(this))
{
    setObjectName(QStringLiteral("FindBar"));
    Pattern = new QLineEdit(this);
    Pattern->setObjectName(QStringLiteral("FindPattern"));
    Pattern->setAccessibleName(QStringLiteral("Find"));
    Pattern->setPlaceholderText(QStringLiteral("Find"));
    Pattern->setClearButtonEnabled(true);
    PreviousButton = toolButton("FindPrevious", QStringLiteral("\u25B2"),
                                QStringLiteral("Previous match (Shift+Enter, Shift+F3)"), this);
    NextButton = toolButton("FindNext", QStringLiteral("\u25BC"),
                            QStringLiteral("Next match (Enter, F3)"), this);
    MatchCase = new QCheckBox(QStringLiteral("Match case"), this);
    MatchCase->setObjectName(QStringLiteral("MatchCase"));
    Count = new QLabel(this);
    Count->setObjectName(QStringLiteral("FindCount"));
    // A fixed width: the count changes with every hand-over of a stream, and a label that
    // grew would lay the bar out anew each time.
    Count->setFixedWidth(Count->fontMetrics().horizontalAdvance(QStringLiteral("00000 of 00000")));
    Count->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    CloseButton = toolButton("FindClose", QStringLiteral("\u2715"),
                             QStringLiteral("Close the find bar (Escape)"), this);
    grid_->setContentsMargins(0, 0, 0, 2);
    grid_->setHorizontalSpacing(3);
    grid_->setVerticalSpacing(1);
    arrange(false);

    connect(Pattern, &QLineEdit::textChanged, this, &FindBar::searchAgain);
    connect(MatchCase, &QCheckBox::toggled, this, &FindBar::searchAgain);
    connect(NextButton, &QToolButton::clicked, this, &FindBar::FindNext);
    connect(PreviousButton, &QToolButton::clicked, this, &FindBar::FindPrevious);
    connect(CloseButton, &QToolButton::clicked, this, &FindBar::Close);
    Pattern->installEventFilter(this);
    hide();
}

void FindBar::arrange(bool narrow)
{
    for (QWidget *w : {static_cast<QWidget *>(Pattern), static_cast<QWidget *>(PreviousButton),
                       static_cast<QWidget *>(NextButton), static_cast<QWidget *>(MatchCase),
                       static_cast<QWidget *>(Count), static_cast<QWidget *>(CloseButton)})
        grid_->removeWidget(w);
    for (int c = 0; c < grid_->columnCount(); ++c)
        grid_->setColumnStretch(c, 0);
    if (narrow) {
        grid_->addWidget(Pattern, 0, 0, 1, 3);
        grid_->addWidget(Count, 0, 3, 1, 2);
        grid_->addWidget(PreviousButton, 1, 0);
        grid_->addWidget(NextButton, 1, 1);
        grid_->addWidget(MatchCase, 1, 2, 1, 2);
        grid_->addWidget(CloseButton, 1, 4);
        grid_->setColumnStretch(2, 1);
    } else {
        grid_->addWidget(Pattern, 0, 0);
        grid_->addWidget(PreviousButton, 0, 1);
        grid_->addWidget(NextButton, 0, 2);
        grid_->addWidget(MatchCase, 0, 3);
        grid_->addWidget(Count, 0, 4);
        grid_->addWidget(CloseButton, 0, 5);
        grid_->setColumnStretch(0, 1);
    }
}

bool FindBar::IsOpen() const
{
    return !search_.isNull();
}

PaneSearch *FindBar::Search() const
{
    return search_;
}

TMemo *FindBar::Pane() const
{
    return search_ ? search_->Pane() : nullptr;
}

void FindBar::Open(TMemo *pane)
{
    if (Pane() != pane) {
        delete search_;
        // The bar sits in the pane's frame, above the pane.
        QWidget *frame = pane->parentWidget();
        auto *layout = qobject_cast<QBoxLayout *>(frame->layout());
        if (parentWidget() != frame && layout) {
            if (parentWidget() && parentWidget()->layout())
                parentWidget()->layout()->removeWidget(this);
            layout->insertWidget(0, this);
            arrange(frame->width() < kNarrowFrame);
        }
        search_ = new PaneSearch(pane);
        connect(search_, &PaneSearch::changed, this, &FindBar::showCount);
        searchAgain();
    }
    show();
    Pattern->setFocus(Qt::ShortcutFocusReason);
    Pattern->selectAll();
}

void FindBar::Close()
{
    TMemo *pane = Pane();
    delete search_;
    hide();
    if (pane)
        pane->setFocus(Qt::OtherFocusReason);
}

void FindBar::FindNext()
{
    if (search_)
        search_->Next();
}

void FindBar::FindPrevious()
{
    if (search_)
        search_->Previous();
}

void FindBar::searchAgain()
{
    if (search_)
        search_->SetPattern(Pattern->text(),
                            MatchCase->isChecked() ? Qt::CaseSensitive : Qt::CaseInsensitive);
}

void FindBar::showCount()
{
    const QString text = search_ ? search_->CountText() : QString();
    if (Count->text() != text)
        Count->setText(text);
}

bool FindBar::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Pattern && event->type() == QEvent::KeyPress) {
        const auto *k = static_cast<QKeyEvent *>(event);
        if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) {
            if (k->modifiers() & Qt::ShiftModifier)
                FindPrevious();
            else
                FindNext();
            return true;
        }
        if (k->key() == Qt::Key_Escape) {
            Close();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
