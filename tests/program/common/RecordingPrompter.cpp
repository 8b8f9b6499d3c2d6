#include "RecordingPrompter.h"

RecordingPrompter::RecordingPrompter() {
    Prompter::Install(this);
}

RecordingPrompter::~RecordingPrompter() {
    Prompter::Install(nullptr);
}

int RecordingPrompter::Message(QWidget* parent, const QString& text, const QString& caption,
                               Icon icon, Buttons buttons) {
    messages.push_back({parent, text, caption, icon, buttons});
    if (answers.empty()) {
        return defaultAnswer;
    }
    const int answer = answers.front();
    answers.pop_front();
    return answer;
}

QString RecordingPrompter::PickFolder(QWidget* parent, const QString& prompt,
                                      const QString& startFolder) {
    folderRequests.push_back({parent, prompt, startFolder});
    if (folders.empty()) {
        return QString();
    }
    QString folder = folders.front();
    folders.pop_front();
    return folder;
}
