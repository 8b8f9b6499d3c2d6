#include "LanguageSelector.h"

#include "MainWindowMessages.h"

#include <QDir>
#include <QFileInfo>

namespace {
constexpr int NO_LANGUAGE_FILE = 1128;
}

LanguageSelector::LanguageSelector(MainWindowMessages& mainWindow, QWidget* parent)
    : SortedComboBox(parent), mainWindow(mainWindow) {
    connect(this, &QComboBox::activated, this, &LanguageSelector::OnActivated);
}

LanguageSelector::~LanguageSelector() = default;

void LanguageSelector::FillLanguages(const QString& folder, const QString& pattern) {
    // Name filters without QDir::CaseSensitive match regardless of letter
    // case; the search sees folders too, so that a folder alone counts as
    // "found" but gives no entry.
    const QFileInfoList matches = QDir(folder).entryInfoList(
        QStringList{pattern}, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
        QDir::Name | QDir::IgnoreCase);
    if (matches.isEmpty()) {
        mainWindow.ProgramError(NO_LANGUAGE_FILE);
        return;
    }
    for (const QFileInfo& match : matches) {
        if (!match.isDir()) {
            AddSorted(NameOfFile(match.fileName()));
        }
    }
}

QString LanguageSelector::NameOfFile(const QString& fileName) {
    QString name = fileName;
    const qsizetype underscore = name.indexOf(QLatin1Char('_'));
    if (underscore >= 0) {
        name = name.mid(underscore + 1);
    }
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    if (dot >= 0) {
        name.truncate(dot);
    }
    return name;
}

void LanguageSelector::OnActivated(int index) {
    selectedName = itemText(index);
    emit LanguageChosen();
}
