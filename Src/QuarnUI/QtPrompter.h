#pragma once

#include "Prompter.h"

// The program's prompter: Qt message boxes and Qt's folder dialog.
class QtPrompter : public Prompter {
public:
    int Message(QWidget* parent, const QString& text, const QString& caption, Icon icon,
                Buttons buttons) override;
    // A directory dialog titled with `prompt`, starting at `startFolder` and
    // offering local folders only.
    QString PickFolder(QWidget* parent, const QString& prompt, const QString& startFolder) override;
};
