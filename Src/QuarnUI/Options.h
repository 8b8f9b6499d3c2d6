#pragma once

#include <QDialog>
#include <QString>

#include <array>

class CPropPageCom;
class CPropPageLanguage;
class CPropPagePassword;
class MainWindowMessages;
class PropertyPage;
class QPushButton;
class QTabWidget;

// The options sheet: a modal tabbed dialog with the language and folder
// page, the COM port page and the password page, in that tab order, and
// the buttons OK, Cancel and Apply.
//
// OK applies and closes, Apply applies and stays open, Cancel closes without
// applying. An apply first lets the page in front store its controls, then
// runs OnApply of every page that has been shown at least once, in tab
// order; a page that answers false stops it and keeps the sheet open. Apply
// is enabled while a page is marked changed.
class COptions : public QDialog {
    Q_OBJECT

public:
    enum Page { LANGUAGE_PAGE = 0, COM_PAGE = 1, PASSWORD_PAGE = 2 };

    // `caption` is the main window's text of "LBL_OPTIONS".
    COptions(const QString& caption, MainWindowMessages& mainWindow, QWidget* parent = nullptr,
             int firstPage = LANGUAGE_PAGE);
    ~COptions() override;

    // Shows the first page, puts the texts in and fills the language list;
    // runs once, just before the sheet is first shown.
    void OnInitDialog();
    void setVisible(bool visible) override;

    // Tab and button texts from the main window's current language.
    void Relabel();

    // Applies the pages as OK and Apply do; false when a page refused.
    bool ApplyPages();

    CPropPageLanguage& LanguagePage() const { return *languagePage; }
    CPropPageCom& ComPage() const { return *comPage; }
    CPropPagePassword& PasswordPage() const { return *passwordPage; }
    QTabWidget& Tabs() const { return *tabs; }

private:
    void OnTabChanged(int index);
    void ActivatePage(int index);
    void UpdateApplyButton();
    void OnOk();

    MainWindowMessages& mainWindow;
    int firstPage;
    QTabWidget* tabs = nullptr;
    CPropPageLanguage* languagePage = nullptr;
    CPropPageCom* comPage = nullptr;
    CPropPagePassword* passwordPage = nullptr;
    std::array<PropertyPage*, 3> pages{};
    QPushButton* okButton = nullptr;
    QPushButton* cancelButton = nullptr;
    QPushButton* applyButton = nullptr;
    int frontPage = -1;
    bool initialised = false;
};
