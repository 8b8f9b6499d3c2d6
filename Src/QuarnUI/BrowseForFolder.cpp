#include "BrowseForFolder.h"

#include "Prompter.h"

namespace {

// The caption of PickFolder's browser, kept for the whole run.
QString browseCaption;

} // namespace

bool BrowseForFolder::Browse(QString& result) const {
    result.clear();
    const QString start = initialFolder.isEmpty() ? rootFolder : initialFolder;
    result = Prompter::Current().PickFolder(owner, title, start);
    return !result.isEmpty();
}

bool PickFolder(QString& result, const QString& title, QWidget* owner, const QString& rootPath,
                const QString& initialPath) {
    const QString start = initialPath.isEmpty() ? rootPath : initialPath;
    // The folder dialog shows one text; with no title the caption is it.
    const QString prompt = title.isEmpty() ? browseCaption : title;
    const QString chosen = Prompter::Current().PickFolder(owner, prompt, start);
    if (chosen.isEmpty()) {
        result.clear();
        return false;
    }
    result = chosen;
    return true;
}

void SetBrowseCaption(const QString& caption) {
    browseCaption = caption;
}

QString BrowseCaption() {
    return browseCaption;
}
