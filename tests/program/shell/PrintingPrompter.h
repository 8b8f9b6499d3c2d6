// A prompter for a program run by a test in a process of its own: it writes
// every message box and folder picker to stdout as one line ("MESSAGE
// caption|text", "PICK prompt") and answers from a script given up front.
#pragma once

#include "Prompter.h"

#include <QString>
#include <QStringList>

class PrintingPrompter : public Prompter {
public:
    // Folder answers in order; after them, pickers are cancelled.
    explicit PrintingPrompter(QStringList folders);

    int Message(QWidget* parent, const QString& text, const QString& caption, Icon icon,
                Buttons buttons) override;
    QString PickFolder(QWidget* parent, const QString& prompt, const QString& startFolder) override;

private:
    QStringList folders;
};
