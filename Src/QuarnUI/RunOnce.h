#pragma once

#include <QDialog>
#include <QString>

class ComPortSelector;
class LanguageSelector;
class MainWindowMessages;
class QGroupBox;
class QLineEdit;
class QPushButton;

// The first-run setup "Setup Quarn-Loader": the user picks the language, the
// local folder and the COM port. OK is enabled once a language, a folder
// (through the browse button) and a port have been chosen, and while the
// folder field is not empty. The main window reads the choices after an OK
// and stores them.
class RunOnce : public QDialog {
    Q_OBJECT

public:
    explicit RunOnce(MainWindowMessages& mainWindow, QWidget* parent = nullptr);
    ~RunOnce() override;

    // Fills both lists and puts the texts in; runs once, just before the
    // dialog is first shown.
    void OnInitDialog();
    void setVisible(bool visible) override;

    // The choices, valid after the dialog ended with OK.
    QString SelectedLanguage() const;
    QString FolderPath() const { return folderPath; }
    // The chosen port number; 0 stands for "AUTO".
    int SelectedPort() const { return selectedPort; }

    LanguageSelector& Languages() const { return *languageSelector; }
    ComPortSelector& Ports() const { return *portSelector; }

private:
    void UpdateOkButton();
    void OnBrowse();
    void OnPortChosen();
    void OnOk();

    MainWindowMessages& mainWindow;
    QGroupBox* languageGroup = nullptr;
    LanguageSelector* languageSelector = nullptr;
    QGroupBox* folderGroup = nullptr;
    QLineEdit* folderEdit = nullptr;
    QPushButton* browseButton = nullptr;
    QGroupBox* portGroup = nullptr;
    ComPortSelector* portSelector = nullptr;
    QPushButton* okButton = nullptr;
    QPushButton* cancelButton = nullptr;
    QString folderPath;
    int selectedPort = 0;
    bool initialised = false;
};
