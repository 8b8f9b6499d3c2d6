// Answers the modal dialog that the code under test is about to run: the
// action runs on the dialog once it is up (from the event loop of its
// exec()), for example to read its labels and press one of its buttons.
#pragma once

#include <QString>

#include <functional>

class QDialog;

namespace ModalDialogs {

// Runs `action` on the next modal dialog that opens. If none opens within
// the time, `action` runs with nullptr and nothing else happens.
void AnswerNext(std::function<void(QDialog*)> action, int timeoutMs = 5000);
// Presses the push button named `buttonName` ("ctl1", "ctl2") of the dialog.
bool Press(QDialog* dialog, const char* buttonName);
// The text of the QLabel named `labelName`; a null string without one.
QString LabelText(const QDialog* dialog, const char* labelName);

} // namespace ModalDialogs
