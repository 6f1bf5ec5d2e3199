#pragma once

// Stands in for message boxes, beeps and the file dialog while it lives: records each
// critical message and beep, and answers file dialogs from a queue (empty = cancelled).

#include "app/Prompts.h"

#include <QList>
#include <QStringList>

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
    }
    void beep() override { ++beeps; }
    QString openFileName(QWidget *, const QString &title, const QString &, const QString &) override
    {
        dialogTitles << title;
        return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
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
    }

    QList<Message> messages;
    int beeps = 0;
    QStringList fileAnswers;
    QStringList dialogTitles;
};
