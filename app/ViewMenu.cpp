// The reading options of the View menu and the find bar of the Edit menu: how the panes show
// text, never what is sent, read, counted or recorded.

#include "app/FindBar.h"
#include "app/Memo.h"
#include "app/Radio.h"
#include "settings/IniFile.h"
#include "settings/PortSettings.h"

#include <QAction>
#include <QApplication>

QAction *TMainForm::ViewAction(ViewOptions::Option option) const
{
    QAction *const actions[ViewOptions::Count] = {TimeStamps1, HexAndText1, Utf8Text1, WholeLines1};
    return actions[option];
}

void TMainForm::ViewOptionClick(ViewOptions::Option option)
{
    const bool on = ViewAction(option)->isChecked();
    // A line left open when Whole Lines goes is shown as it stands, not kept for later.
    if (option == ViewOptions::WholeLines && !on)
        ShowOpenLine();
    View.set(option, on);
    ApplyViewOptions();
    IniFile ini(PortSettings::FilePath());
    ViewOptions::Write(ini, option, on);
}

void TMainForm::ApplyViewOptions()
{
    for (int i = 0; i < ViewOptions::Count; ++i)
        ViewAction(ViewOptions::Option(i))->setChecked(View.on(ViewOptions::Option(i)));
    for (TMemo *pane : {SentMemo, RecMemo, Memo1})
        pane->SetTimeStamps(View.on(ViewOptions::TimeStamps));
}

void TMainForm::Find1Click()
{
    // The pane with the focus, or the one the bar searches while it has the focus itself.
    QWidget *focus = QApplication::focusWidget();
    TMemo *pane = qobject_cast<TMemo *>(focus);
    if (!pane && focus && FindBar1->isAncestorOf(focus))
        pane = FindBar1->Pane();
    if (!pane || (pane != SentMemo && pane != RecMemo && pane != Memo1))
        pane = RecMemo;
    FindBar1->Open(pane);
}

// With the bar closed, F3 opens it on the last text, at the first match from the view's top.
void TMainForm::FindNext1Click()
{
    if (!FindBar1->IsOpen())
        Find1Click();
    else
        FindBar1->FindNext();
}

void TMainForm::FindPrevious1Click()
{
    if (!FindBar1->IsOpen())
        Find1Click();
    else
        FindBar1->FindPrevious();
}

void TMainForm::WireViewEvents()
{
    for (int i = 0; i < ViewOptions::Count; ++i) {
        const auto option = ViewOptions::Option(i);
        connect(ViewAction(option), &QAction::triggered, this,
                [this, option] { Guarded([this, option] { ViewOptionClick(option); }); });
    }
    On(Find1, &QAction::triggered, &TMainForm::Find1Click);
    On(FindNext1, &QAction::triggered, &TMainForm::FindNext1Click);
    On(FindPrevious1, &QAction::triggered, &TMainForm::FindPrevious1Click);
}
