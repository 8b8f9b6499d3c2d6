#pragma once

#include "PropertyPage.h"

#include <QString>

class MainWindowMessages;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The password page of the options sheet. The service password, applied,
// switches the program into service mode for the rest of the run; in
// service mode the flush button throws the local file library away and
// lists the local folder afresh.
class CPropPagePassword : public PropertyPage {
    Q_OBJECT

public:
    // The service password; accepted in any letter case.
    static constexpr char SERVICE_PASSWORD[] = "RQZTVMOSA";

    explicit CPropPagePassword(MainWindowMessages& mainWindow, QWidget* parent = nullptr);
    ~CPropPagePassword() override;

    // Switches service mode on when the password matches; empties the field
    // whether or not it did.
    bool OnApply() override;

protected:
    void OnInitDialog() override;
    void UpdateData(bool saveAndValidate) override;

private:
    void OnFlush();

    MainWindowMessages& mainWindow;
    QGroupBox* passwordGroup = nullptr;
    QLineEdit* passwordEdit = nullptr;
    QLabel* flushLabel = nullptr;
    QPushButton* flushButton = nullptr;
    QString passwordText;
};
