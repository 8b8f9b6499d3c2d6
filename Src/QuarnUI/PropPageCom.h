#pragma once

#include "PropertyPage.h"

#include <QString>

class ComPortSelector;
class MainWindowMessages;
class QGroupBox;
class QLabel;
class SortedComboBox;

// The COM port page of the options sheet: the port the program talks to the
// device on ("AUTO" searches all ports), and the stored line settings
// (parity, data bits, stop bits, baud rate), shown but not changeable.
class CPropPageCom : public PropertyPage {
    Q_OBJECT

public:
    explicit CPropPageCom(MainWindowMessages& mainWindow, QWidget* parent = nullptr);
    ~CPropPageCom() override;

    void OnSetActive() override;
    // Stores a changed port as "COM_PORT" and has the main window reconnect.
    bool OnApply() override;

    ComPortSelector& PortSelector() const { return *portSelector; }

protected:
    void OnInitDialog() override;
    void UpdateData(bool saveAndValidate) override;

private:
    void SelectStoredParity(const QString& parity);

    MainWindowMessages& mainWindow;
    QGroupBox* portGroup = nullptr;
    ComPortSelector* portSelector = nullptr;
    QLabel* parityLabel = nullptr;
    QLabel* stopBitsLabel = nullptr;
    QLabel* dataBitsLabel = nullptr;
    QLabel* baudLabel = nullptr;
    SortedComboBox* parityList = nullptr;
    SortedComboBox* stopBitsList = nullptr;
    SortedComboBox* dataBitsList = nullptr;
    SortedComboBox* baudList = nullptr;
    QString baudText;
    QString dataBitsText;
    QString stopBitsText;
    // The port number in the settings: read at initialisation, updated when
    // this page writes it.
    int storedPort = 0;
};
