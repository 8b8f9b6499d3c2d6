#include "QtPrompter.h"

#include <QFileDialog>
#include <QMessageBox>

namespace {

QMessageBox::Icon BoxIcon(Prompter::Icon icon) {
    switch (icon) {
    case Prompter::Icon::Information:
        return QMessageBox::Information;
    case Prompter::Icon::Question:
        return QMessageBox::Question;
    case Prompter::Icon::Warning:
        return QMessageBox::Warning;
    case Prompter::Icon::Stop:
        return QMessageBox::Critical;
    case Prompter::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

int QtPrompter::Message(QWidget* parent, const QString& text, const QString& caption, Icon icon,
                        Buttons buttons) {
    QMessageBox box(BoxIcon(icon), caption, text, QMessageBox::NoButton, parent);
    // The text is shown as it stands, never read as rich text.
    box.setTextFormat(Qt::PlainText);
    switch (buttons) {
    case Buttons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        box.setDefaultButton(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Ok);
        break;
    case Buttons::OkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Cancel);
        break;
    case Buttons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Ok:
        return Ok;
    case QMessageBox::Yes:
        return Yes;
    case QMessageBox::No:
        return No;
    default:
        break;
    }
    // A box closed without a button press counts as its escape answer.
    switch (buttons) {
    case Buttons::Ok:
        return Ok;
    case Buttons::YesNo:
        return No;
    case Buttons::OkCancel:
        break;
    }
    return Cancel;
}

QString QtPrompter::PickFolder(QWidget* parent, const QString& prompt, const QString& startFolder) {
    return QFileDialog::getExistingDirectory(parent, prompt, startFolder,
                                             QFileDialog::ShowDirsOnly);
}
