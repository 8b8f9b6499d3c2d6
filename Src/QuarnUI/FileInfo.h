#pragma once

#include <QDialog>
#include <QString>

class LanguageReader;
class QLabel;

// The statistics dialog: the device's total and used file space. The caller
// fills the four strings before running it; they are shown when it opens.
class FileInfo : public QDialog {
    Q_OBJECT

public:
    // `mainTexts` is the main window's language reader (for the title).
    explicit FileInfo(const LanguageReader& mainTexts, QWidget* parent = nullptr);
    ~FileInfo() override;

    // Sets the chip icon and the title and shows the four strings; runs
    // once, just before the dialog is first shown.
    void OnInitDialog();
    void setVisible(bool visible) override;

    QString m_totalText;
    QString m_usedText;
    QString m_totalLabel;
    QString m_usedLabel;

private:
    const LanguageReader& mainTexts;
    QLabel* totalLabel = nullptr;
    QLabel* usedLabel = nullptr;
    QLabel* totalValue = nullptr;
    QLabel* usedValue = nullptr;
    bool initialised = false;
};
