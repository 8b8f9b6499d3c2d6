#include "PrintingPrompter.h"

#include <cstdio>

namespace {

void PrintLine(const QString& line) {
    // One line per prompt: line breaks inside a text are written as "\n".
    QString escaped = line;
    escaped.replace(u'\n', QStringLiteral("\\n"));
    std::printf("%s\n", escaped.toUtf8().constData());
    std::fflush(stdout);
}

} // namespace

PrintingPrompter::PrintingPrompter(QStringList folders) : folders(std::move(folders)) {}

int PrintingPrompter::Message(QWidget*, const QString& text, const QString& caption, Icon,
                              Buttons buttons) {
    PrintLine(QStringLiteral("MESSAGE %1|%2").arg(caption, text));
    return buttons == Buttons::YesNo ? Yes : Ok;
}

QString PrintingPrompter::PickFolder(QWidget*, const QString& prompt, const QString&) {
    PrintLine(QStringLiteral("PICK %1").arg(prompt));
    return folders.isEmpty() ? QString() : folders.takeFirst();
}
