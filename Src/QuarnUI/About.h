#pragma once

#include <QDialog>
#include <QPixmap>

class LanguageReader;
class QLabel;
class QPushButton;

// The about box: the OEM logo, the program's name in the current language
// and its version. OK (not translated) closes it.
class About : public QDialog {
    Q_OBJECT

public:
    // `texts` is the language reader of `parentWindow`, the main window.
    About(const LanguageReader& texts, QWidget* parentWindow);
    ~About() override;

    // Fills caption, label and logo; runs once, just before the dialog is
    // first shown.
    void OnInitDialog();
    void setVisible(bool visible) override;

private:
    const LanguageReader& texts;
    QWidget* parentWindow;
    QLabel* logoPicture = nullptr;
    QLabel* nameLabel = nullptr;
    QPushButton* okButton = nullptr;
    QPixmap logo;
    bool initialised = false;
};
