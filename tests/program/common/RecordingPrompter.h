// A prompter for tests: installed for its lifetime (the Qt one is back
// afterwards), it records every message box and folder picker the program
// would show and answers from a script.
#pragma once

#include "Prompter.h"

#include <QString>

#include <deque>
#include <vector>

class RecordingPrompter : public Prompter {
public:
    struct Shown {
        QWidget* parent = nullptr;
        QString text;
        QString caption;
        Icon icon = Icon::None;
        Buttons buttons = Buttons::Ok;
    };
    struct FolderRequest {
        QWidget* parent = nullptr;
        QString prompt;
        QString startFolder;
    };

    RecordingPrompter();
    ~RecordingPrompter() override;
    RecordingPrompter(const RecordingPrompter&) = delete;
    RecordingPrompter& operator=(const RecordingPrompter&) = delete;

    // Answers the queued answers in order, then `defaultAnswer`.
    int Message(QWidget* parent, const QString& text, const QString& caption, Icon icon,
                Buttons buttons) override;
    // Answers the queued folders in order, then an empty text (cancelled).
    QString PickFolder(QWidget* parent, const QString& prompt, const QString& startFolder) override;

    std::vector<Shown> messages;
    std::deque<int> answers;
    int defaultAnswer = Ok;
    std::vector<FolderRequest> folderRequests;
    std::deque<QString> folders;
};
