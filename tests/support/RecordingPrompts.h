#pragma once

// Stands in for message boxes, beeps and the file dialogs while it lives: records each
// critical message and beep, and answers file dialogs, open and save alike, from one queue
// (empty = cancelled).

#include "app/Prompts.h"

#include <QList>
#include <QStringList>

#include <functional>

class RecordingPrompts : public Prompts {
public:
    struct Message {
        QWidget *owner;
        QString caption;
        QString text;
    };

    RecordingPrompts() { Prompts::install(this); }
    ~RecordingPrompts() override { Prompts::install(nullptr); }
    RecordingPrompts(const RecordingPrompts &) = delete;
    RecordingPrompts &operator=(const RecordingPrompts &) = delete;

    void critical(QWidget *owner, const QString &caption, const QString &text) override
    {
        messages.append({owner, caption, text});
        if (onCritical)
            onCritical();
    }
    void beep() override
    {
        ++beeps;
        if (onBeep)
            onBeep();
    }
    QString openFileName(QWidget *, const QString &title, const QString &dir,
                         const QString &filter) override
    {
        dialogTitles << title;
        dialogDirs << dir;
        dialogFilters << filter;
        return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
    }
    QString saveFileName(QWidget *owner, const QString &title, const QString &dir,
                         const QString &filter, bool) override
    {
        return openFileName(owner, title, dir, filter);
    }

    QStringList texts() const
    {
        QStringList out;
        for (const Message &m : messages)
            out << m.text;
        return out;
    }
    void clear()
    {
        messages.clear();
        beeps = 0;
        dialogTitles.clear();
        dialogDirs.clear();
        dialogFilters.clear();
        onCritical = nullptr;
        onBeep = nullptr;
    }

    QList<Message> messages;
    int beeps = 0;
    QStringList fileAnswers;
    QStringList dialogTitles;
    QStringList dialogDirs;
    QStringList dialogFilters;
    // Run when a message box would be up, or at a beep: what the program shows or does at
    // that moment can be checked, or changed, there.
    std::function<void()> onCritical;
    std::function<void()> onBeep;
};
