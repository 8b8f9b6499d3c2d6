#include "RunOnce.h"

#include "BrowseForFolder.h"
#include "ComPortSelector.h"
#include "LanguageReader.h"
#include "LanguageSelector.h"
#include "MainWindowMessages.h"
#include "SettingsKeys.h"
#include "TextKeys.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
constexpr int NO_FOLDER_CHOSEN = 1127;
}

RunOnce::RunOnce(MainWindowMessages& mainWindow, QWidget* parent)
    : QDialog(parent), mainWindow(mainWindow) {
    setObjectName(QStringLiteral("dlgRunOnce"));
    setWindowTitle(QStringLiteral("Setup Quarn-Loader"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    // The group boxes start with their text keys as captions, replaced at
    // initialisation.
    languageGroup = new QGroupBox(QLatin1String(TextKeys::LBL_SELECT_LANG), this);
    languageGroup->setObjectName(QStringLiteral("ctl1009"));
    languageSelector = new LanguageSelector(mainWindow, languageGroup);
    languageSelector->setObjectName(QStringLiteral("ctl1025"));
    auto* languageLayout = new QVBoxLayout(languageGroup);
    languageLayout->addWidget(languageSelector);

    folderGroup = new QGroupBox(QLatin1String(TextKeys::LBL_SELECT_PATH), this);
    folderGroup->setObjectName(QStringLiteral("ctl1014"));
    folderEdit = new QLineEdit(folderGroup);
    folderEdit->setObjectName(QStringLiteral("ctl1026"));
    browseButton = new QPushButton(QStringLiteral("..."), folderGroup);
    browseButton->setObjectName(QStringLiteral("ctl1024"));
    browseButton->setFixedWidth(
        browseButton->fontMetrics().horizontalAdvance(QStringLiteral("...")) + 16);
    auto* folderLayout = new QHBoxLayout(folderGroup);
    folderLayout->setSpacing(0);
    folderLayout->addWidget(folderEdit);
    folderLayout->addWidget(browseButton);

    portGroup = new QGroupBox(QLatin1String(TextKeys::LBL_SELECT_COMPORT), this);
    portGroup->setObjectName(QStringLiteral("ctl1012"));
    portSelector = new ComPortSelector(mainWindow, portGroup);
    portSelector->setObjectName(QStringLiteral("ctl1033"));
    auto* portLayout = new QVBoxLayout(portGroup);
    portLayout->addWidget(portSelector);

    // The OK and Cancel captions are not translated.
    cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    cancelButton->setObjectName(QStringLiteral("ctl2"));
    okButton = new QPushButton(QStringLiteral("OK"), this);
    okButton->setObjectName(QStringLiteral("ctl1"));
    okButton->setDefault(true);
    okButton->setEnabled(false);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cancelButton);
    buttons->addWidget(okButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(languageGroup);
    layout->addWidget(folderGroup);
    layout->addWidget(portGroup);
    layout->addSpacing(12);
    layout->addLayout(buttons);
    // A fixed dialog, wide enough for a full folder path.
    folderEdit->setMinimumWidth(260);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(languageSelector, &LanguageSelector::LanguageChosen, this, &RunOnce::UpdateOkButton);
    connect(portSelector, &QComboBox::activated, this, &RunOnce::OnPortChosen);
    connect(browseButton, &QPushButton::clicked, this, &RunOnce::OnBrowse);
    connect(folderEdit, &QLineEdit::textChanged, this, &RunOnce::UpdateOkButton);
    connect(okButton, &QPushButton::clicked, this, &RunOnce::OnOk);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

RunOnce::~RunOnce() = default;

void RunOnce::setVisible(bool visible) {
    if (visible && !initialised) {
        OnInitDialog();
    }
    QDialog::setVisible(visible);
}

void RunOnce::OnInitDialog() {
    if (initialised) {
        return;
    }
    initialised = true;
    languageSelector->FillLanguages(mainWindow.GetStartupFolder(),
                                    QLatin1String(SettingsKeys::LANGUAGE_FILE_PATTERN));

    const LanguageReader& texts = mainWindow.LangReader();
    languageGroup->setTitle(texts.GetText(QLatin1String(TextKeys::LBL_SELECT_LANG)));
    folderGroup->setTitle(texts.GetText(QLatin1String(TextKeys::LBL_SELECT_PATH)));
    portGroup->setTitle(texts.GetText(QLatin1String(TextKeys::LBL_SELECT_COMPORT)));

    portSelector->FillPorts();
    portSelector->AddSorted(QStringLiteral("AUTO"), 0);
    // Nothing is chosen yet, and OK waits for all three choices.
    UpdateOkButton();
}

QString RunOnce::SelectedLanguage() const {
    return languageSelector->SelectedName();
}

// OK needs a chosen port, a chosen language and a folder from the browse
// button; typing into the folder field alone does not count. A field that
// has been cleared disables OK again: the folder that OK hands back is the
// field's text, and without one the program could only end.
void RunOnce::UpdateOkButton() {
    okButton->setEnabled(portSelector->currentIndex() >= 0 &&
                         languageSelector->currentIndex() >= 0 && !folderPath.isEmpty() &&
                         !folderEdit->text().isEmpty());
}

void RunOnce::OnPortChosen() {
    selectedPort = portSelector->GetSelectedPort();
    UpdateOkButton();
}

void RunOnce::OnBrowse() {
    QString result;
    if (PickFolder(result, QString(), this, QString(), folderPath)) {
        if (result.isEmpty()) {
            mainWindow.ProgramError(NO_FOLDER_CHOSEN);
        } else {
            folderPath = result;
            folderEdit->setText(folderPath);
            folderEdit->home(false);
        }
    }
    UpdateOkButton();
}

void RunOnce::OnOk() {
    // Once OK is enabled, a folder typed into the field is what counts.
    folderPath = folderEdit->text();
    accept();
}
