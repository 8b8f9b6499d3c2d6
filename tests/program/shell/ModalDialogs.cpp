#include "ModalDialogs.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <memory>

namespace ModalDialogs {

namespace {

void Poll(std::shared_ptr<std::function<void(QDialog*)>> action, QDeadlineTimer deadline) {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (dialog != nullptr && dialog->isVisible()) {
        (*action)(dialog);
        return;
    }
    if (deadline.hasExpired()) {
        (*action)(nullptr);
        return;
    }
    QTimer::singleShot(10, [action, deadline] { Poll(action, deadline); });
}

} // namespace

void AnswerNext(std::function<void(QDialog*)> action, int timeoutMs) {
    auto shared = std::make_shared<std::function<void(QDialog*)>>(std::move(action));
    const QDeadlineTimer deadline(timeoutMs);
    QTimer::singleShot(0, [shared, deadline] { Poll(shared, deadline); });
}

bool Press(QDialog* dialog, const char* buttonName) {
    if (dialog == nullptr) {
        return false;
    }
    auto* button = dialog->findChild<QPushButton*>(QLatin1String(buttonName));
    if (button == nullptr) {
        return false;
    }
    button->click();
    return true;
}

QString LabelText(const QDialog* dialog, const char* labelName) {
    const auto* label =
        dialog != nullptr ? dialog->findChild<QLabel*>(QLatin1String(labelName)) : nullptr;
    return label != nullptr ? label->text() : QString();
}

} // namespace ModalDialogs
