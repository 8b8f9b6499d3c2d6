#pragma once

#include "PropertyPage.h"

#include <QString>

class LanguageSelector;
class MainWindowMessages;
class QGroupBox;
class QLineEdit;
class QPushButton;

// The language and folder page of the options sheet: the language of the
// program's texts, chosen from the languages installed beside the program,
// and the local folder that the right-hand list shows ("LOCAL_PATH").
// Applying switches the language at once, stores the folder, rebuilds the
// local list and saves the settings file.
class CPropPageLanguage : public PropertyPage {
    Q_OBJECT

public:
    explicit CPropPageLanguage(MainWindowMessages& mainWindow, QWidget* parent = nullptr);
    ~CPropPageLanguage() override;

    // Fills the language list and selects the language in use; the sheet
    // calls it once the page exists.
    void FillLanguages();

    void OnSetActive() override;
    bool OnApply() override;

    LanguageSelector& Languages() const { return *languageSelector; }

signals:
    // The main window has switched to another language; the sheet takes
    // the new texts.
    void LanguageChanged();

protected:
    void OnInitDialog() override;
    void UpdateData(bool saveAndValidate) override;

private:
    void SetGroupTexts();
    void OnBrowse();

    MainWindowMessages& mainWindow;
    QGroupBox* languageGroup = nullptr;
    LanguageSelector* languageSelector = nullptr;
    QGroupBox* folderGroup = nullptr;
    QLineEdit* folderEdit = nullptr;
    QPushButton* browseButton = nullptr;
    QString folderPath;
    // The language in use: set when the list is filled and at each apply.
    QString currentLanguage;
    // "LOCAL_PATH" when the page was initialised; every apply compares the
    // folder with it.
    QString storedFolder;
};
