#pragma once

#include "SortedComboBox.h"

#include <QString>

class MainWindowMessages;

// The drop-down list of the languages installed beside the program. A file
// "LANG_ENGLISH.TXT" gives the entry "ENGLISH"; the list is sorted by text.
class LanguageSelector : public SortedComboBox {
    Q_OBJECT

public:
    explicit LanguageSelector(MainWindowMessages& mainWindow, QWidget* parent = nullptr);
    ~LanguageSelector() override;

    // Adds one entry per file of `folder` (ending with "/") that matches
    // `pattern` (wildcards, letter case ignored): the name without folder,
    // after its first "_" and before its first ".". Hidden files count,
    // folders do not. When nothing matches, the main window is sent program
    // error 1128.
    void FillLanguages(const QString& folder, const QString& pattern);

    // The text of the entry the user chose last; empty until then.
    QString SelectedName() const { return selectedName; }

    // The language name of a language file name: "LANG_ENGLISH.TXT" gives
    // "ENGLISH", "LANGUAGE.TXT" gives "LANGUAGE".
    static QString NameOfFile(const QString& fileName);

signals:
    // The user chose an entry; SelectedName() holds its text.
    void LanguageChosen();

private:
    void OnActivated(int index);

    MainWindowMessages& mainWindow;
    QString selectedName;
};
