#include "Options.h"

#include "LanguageReader.h"
#include "MainWindowMessages.h"
#include "PropPageCom.h"
#include "PropPageLanguage.h"
#include "PropPagePassword.h"
#include "TextKeys.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QSize>
#include <QTabWidget>
#include <QVBoxLayout>

COptions::COptions(const QString& caption, MainWindowMessages& mainWindow, QWidget* parent,
                   int firstPage)
    : QDialog(parent), mainWindow(mainWindow), firstPage(firstPage) {
    setObjectName(QStringLiteral("dlgOptions"));
    setWindowTitle(caption);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    tabs = new QTabWidget(this);
    tabs->setObjectName(QStringLiteral("ctl12320"));
    // Every tab stays visible: the sheet grows to the width of the tab strip.
    tabs->setUsesScrollButtons(false);
    languagePage = new CPropPageLanguage(mainWindow);
    comPage = new CPropPageCom(mainWindow);
    passwordPage = new CPropPagePassword(mainWindow);
    pages = {languagePage, comPage, passwordPage};
    for (PropertyPage* page : pages) {
        // The tab strip owns the pages and deletes them with the sheet.
        tabs->addTab(page, QString());
        connect(page, &PropertyPage::ModifiedChanged, this, &COptions::UpdateApplyButton);
    }
    connect(languagePage, &CPropPageLanguage::LanguageChanged, this, &COptions::Relabel);

    // The buttons of a property sheet, in its order; there is no Help.
    okButton = new QPushButton(this);
    okButton->setObjectName(QStringLiteral("ctl1"));
    okButton->setDefault(true);
    cancelButton = new QPushButton(this);
    cancelButton->setObjectName(QStringLiteral("ctl2"));
    applyButton = new QPushButton(this);
    applyButton->setObjectName(QStringLiteral("ctl12321"));
    applyButton->setEnabled(false);
    connect(okButton, &QPushButton::clicked, this, &COptions::OnOk);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(applyButton, &QPushButton::clicked, this, &COptions::ApplyPages);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(okButton);
    buttons->addWidget(cancelButton);
    buttons->addWidget(applyButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

COptions::~COptions() = default;

void COptions::setVisible(bool visible) {
    if (visible && !initialised) {
        OnInitDialog();
    }
    QDialog::setVisible(visible);
}

void COptions::OnInitDialog() {
    if (initialised) {
        return;
    }
    initialised = true;
    const int first =
        (firstPage >= 0 && firstPage < static_cast<int>(pages.size())) ? firstPage : 0;
    // All pages take the size of the largest, so the sheet keeps its size
    // when another tab comes to the front.
    QSize pageSize;
    for (const PropertyPage* page : pages) {
        pageSize = pageSize.expandedTo(page->sizeHint());
    }
    for (PropertyPage* page : pages) {
        page->setMinimumSize(pageSize);
    }
    tabs->setCurrentIndex(first);
    ActivatePage(first);
    connect(tabs, &QTabWidget::currentChanged, this, &COptions::OnTabChanged);
    Relabel();
}

void COptions::Relabel() {
    const LanguageReader& texts = mainWindow.LangReader();
    tabs->setTabText(LANGUAGE_PAGE, texts.GetText(QLatin1String(TextKeys::LBL_OPTIONS_TABLANG)));
    tabs->setTabText(COM_PAGE, texts.GetText(QLatin1String(TextKeys::LBL_OPTIONS_TABCOM)));
    tabs->setTabText(PASSWORD_PAGE, texts.GetText(QLatin1String(TextKeys::LBL_OPTIONS_TABPASS)));
    okButton->setText(texts.GetText(QLatin1String(TextKeys::BTN_OK)));
    cancelButton->setText(texts.GetText(QLatin1String(TextKeys::BTN_CANCEL)));
    applyButton->setText(texts.GetText(QLatin1String(TextKeys::BTN_APPLY)));
}

void COptions::OnTabChanged(int index) {
    if (frontPage >= 0) {
        pages[frontPage]->OnKillActive();
    }
    ActivatePage(index);
}

// Brings page `index` to the front, initialising it when it is shown for
// the first time.
void COptions::ActivatePage(int index) {
    if (index < 0 || index >= static_cast<int>(pages.size())) {
        return;
    }
    PropertyPage* page = pages[index];
    if (!page->IsInitialised()) {
        page->Initialise();
        if (page == languagePage) {
            languagePage->FillLanguages();
        }
    }
    frontPage = index;
    page->OnSetActive();
}

bool COptions::ApplyPages() {
    if (frontPage >= 0) {
        pages[frontPage]->OnKillActive();
    }
    for (PropertyPage* page : pages) {
        if (page->IsInitialised() && !page->OnApply()) {
            UpdateApplyButton();
            return false;
        }
    }
    for (PropertyPage* page : pages) {
        page->SetModified(false);
    }
    return true;
}

void COptions::OnOk() {
    if (ApplyPages()) {
        accept();
    }
}

void COptions::UpdateApplyButton() {
    bool anyChanged = false;
    for (const PropertyPage* page : pages) {
        anyChanged = anyChanged || page->IsModified();
    }
    applyButton->setEnabled(anyChanged);
}
