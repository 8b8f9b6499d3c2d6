#pragma once

#include <QDialog>

class LanguageReader;
class QLabel;
class QPushButton;

// Asks whether the user really wants to quit. Accepted (the "Q_YES" button)
// means yes; Rejected (the "Q_NO" button, Escape, the close button) means no.
class DlgQuit : public QDialog {
    Q_OBJECT

public:
    // `texts` is the main window's language reader.
    explicit DlgQuit(const LanguageReader& texts, QWidget* parent = nullptr);
    ~DlgQuit() override;

    // Puts the texts into the dialog; runs once, just before it is first
    // shown.
    void OnInitDialog();
    void setVisible(bool visible) override;

private:
    const LanguageReader& texts;
    QLabel* question = nullptr;
    QPushButton* yesButton = nullptr;
    QPushButton* noButton = nullptr;
    bool initialised = false;
};
