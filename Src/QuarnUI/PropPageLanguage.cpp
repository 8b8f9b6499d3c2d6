#include "PropPageLanguage.h"

#include "BrowseForFolder.h"
#include "IniEx.h"
#include "LanguageReader.h"
#include "LanguageSelector.h"
#include "MainWindowMessages.h"
#include "SettingsKeys.h"
#include "TextKeys.h"

#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int LANGUAGE_CHANGED = 1;
constexpr int PATH_NOT_FOUND = 3;
constexpr int FILE_LIBRARY_NOT_UPDATED = 1124;
constexpr int NO_FOLDER_CHOSEN = 1127;

// The language name of a language file path: without folder and extension,
// the text after the first "_" ("/opt/quarn/LANG_ENGLISH.txt" gives
// "ENGLISH").
QString LanguageOfFile(const QString& path) {
    QString name = QFileInfo(path).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot >= 0) {
        name.truncate(dot);
    }
    return name.mid(name.indexOf(QLatin1Char('_')) + 1);
}

} // namespace

CPropPageLanguage::CPropPageLanguage(MainWindowMessages& mainWindow, QWidget* parent)
    : PropertyPage(parent), mainWindow(mainWindow) {
    setObjectName(QStringLiteral("pageLanguage"));

    // The group boxes start with their text keys as captions; the page puts
    // the texts in when it comes to the front.
    languageGroup = new QGroupBox(QLatin1String(TextKeys::LBL_SELECT_LANG), this);
    languageGroup->setObjectName(QStringLiteral("ctl1009"));
    languageSelector = new LanguageSelector(mainWindow, languageGroup);
    languageSelector->setObjectName(QStringLiteral("ctl1008"));
    auto* languageLayout = new QVBoxLayout(languageGroup);
    languageLayout->setContentsMargins(20, 10, 20, 12);
    languageLayout->addWidget(languageSelector);

    folderGroup = new QGroupBox(QLatin1String(TextKeys::LBL_SELECT_PATH), this);
    folderGroup->setObjectName(QStringLiteral("ctl1014"));
    folderEdit = new QLineEdit(folderGroup);
    folderEdit->setObjectName(QStringLiteral("ctl1013"));
    browseButton = new QPushButton(QStringLiteral("..."), folderGroup);
    browseButton->setObjectName(QStringLiteral("ctl1015"));
    browseButton->setFixedWidth(
        browseButton->fontMetrics().horizontalAdvance(QStringLiteral("...")) + 16);
    auto* folderLayout = new QHBoxLayout(folderGroup);
    folderLayout->setContentsMargins(14, 10, 14, 12);
    folderLayout->setSpacing(0);
    folderLayout->addWidget(folderEdit);
    folderLayout->addWidget(browseButton);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(languageGroup);
    layout->addWidget(folderGroup);
    layout->addStretch();

    connect(languageSelector, &LanguageSelector::LanguageChosen, this,
            [this] { SetModified(true); });
    connect(folderEdit, &QLineEdit::textEdited, this, [this] { SetModified(true); });
    connect(browseButton, &QPushButton::clicked, this, &CPropPageLanguage::OnBrowse);
}

CPropPageLanguage::~CPropPageLanguage() = default;

void CPropPageLanguage::OnInitDialog() {
    storedFolder =
        mainWindow.Settings().ReadValue(QLatin1String(SettingsKeys::APPLICATION),
                                        QLatin1String(SettingsKeys::LOCAL_PATH), QString());
    folderEdit->setText(storedFolder);
    folderEdit->home(false);
    UpdateData(true);
}

void CPropPageLanguage::FillLanguages() {
    languageSelector->FillLanguages(mainWindow.GetStartupFolder(),
                                    QLatin1String(SettingsKeys::LANGUAGE_FILE_PATTERN));
    const QString name = LanguageOfFile(mainWindow.LangReader().GetFileName());
    // The entry of the very name wins; otherwise the first entry that begins
    // with it, searched from the second entry on.
    languageSelector->SelectName(name, 0);
    currentLanguage = name;
}

void CPropPageLanguage::SetGroupTexts() {
    const LanguageReader& texts = mainWindow.LangReader();
    languageGroup->setTitle(texts.GetText(QLatin1String(TextKeys::LBL_SELECT_LANG)));
    folderGroup->setTitle(texts.GetText(QLatin1String(TextKeys::LBL_SELECT_PATH)));
}

void CPropPageLanguage::OnSetActive() {
    SetGroupTexts();
    PropertyPage::OnSetActive();
}

void CPropPageLanguage::UpdateData(bool saveAndValidate) {
    if (saveAndValidate) {
        folderPath = folderEdit->text();
    } else {
        folderEdit->setText(folderPath);
        folderEdit->home(false);
    }
}

void CPropPageLanguage::OnBrowse() {
    SetBrowseCaption(mainWindow.LangReader().GetText(QLatin1String(TextKeys::BROWSE_HWND)));
    // Start from the folder the field shows, typed or chosen.
    folderPath = folderEdit->text();
    QString result;
    if (!PickFolder(result, QString(), this, QString(), folderPath)) {
        return;
    }
    if (result.isEmpty()) {
        mainWindow.ProgramError(NO_FOLDER_CHOSEN);
        return;
    }
    folderPath = result;
    folderEdit->setText(folderPath);
    folderEdit->home(false);
    SetModified(true);
}

bool CPropPageLanguage::OnApply() {
    // Without a selected entry (the language in use may be missing from the
    // list) the language stays as it is.
    if (languageSelector->currentIndex() >= 0) {
        const QString name = languageSelector->currentText();
        if (name != currentLanguage) {
            if (mainWindow.ChangeLanguage(name) == LANGUAGE_CHANGED) {
                emit LanguageChanged();
                SetGroupTexts();
            }
            // A failed change is not retried by the next apply; the main
            // window has reported it.
            currentLanguage = name;
        }
    }

    if (folderPath != storedFolder) {
        if (!QFileInfo::exists(folderPath)) {
            mainWindow.ProgramError(PATH_NOT_FOUND);
            SetModified(true);
            return false;
        }
        mainWindow.Settings().WriteValue(QLatin1String(SettingsKeys::APPLICATION),
                                         QLatin1String(SettingsKeys::LOCAL_PATH), folderPath);
        if (!mainWindow.UpdateFileLibrary()) {
            mainWindow.ProgramError(FILE_LIBRARY_NOT_UPDATED);
        }
        mainWindow.RefreshLocalList();
    }

    // Writes everything the pages and the main window have changed so far.
    mainWindow.Settings().Save(false);
    SetModified(false);
    return true;
}
