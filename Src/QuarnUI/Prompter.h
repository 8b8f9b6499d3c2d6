#pragma once

#include <QString>

class QWidget;

// Every message box, question and folder picker of the program goes through
// the current Prompter. The program uses QtPrompter; tests install their own
// to read what would be shown and to answer it.
class Prompter {
public:
    enum class Icon { None, Information, Question, Warning, Stop };
    enum class Buttons { Ok, OkCancel, YesNo };
    // The answers, numbered as the classic message-box results.
    enum Answer { Ok = 1, Cancel = 2, Yes = 6, No = 7 };

    virtual ~Prompter() = default;

    // Shows a message box and returns the button pressed.
    virtual int Message(QWidget* parent, const QString& text, const QString& caption, Icon icon,
                        Buttons buttons) = 0;
    // Lets the user choose an existing folder; an empty string when cancelled.
    virtual QString PickFolder(QWidget* parent, const QString& prompt,
                               const QString& startFolder) = 0;

    // The prompter in use: the one installed last, else the Qt one.
    static Prompter& Current();
    // Installs `prompter` (not owned); nullptr goes back to the Qt one.
    static void Install(Prompter* prompter);
};
