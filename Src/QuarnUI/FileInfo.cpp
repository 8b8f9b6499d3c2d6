#include "FileInfo.h"

#include "LanguageReader.h"
#include "TextKeys.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

FileInfo::FileInfo(const LanguageReader& mainTexts, QWidget* parent)
    : QDialog(parent), mainTexts(mainTexts) {
    setObjectName(QStringLiteral("fileInfo"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto* frame = new QGroupBox(this);
    totalLabel = new QLabel(frame);
    totalLabel->setObjectName(QStringLiteral("ctl1034"));
    usedLabel = new QLabel(frame);
    usedLabel->setObjectName(QStringLiteral("ctl1035"));
    totalValue = new QLabel(frame);
    totalValue->setObjectName(QStringLiteral("ctl1032"));
    usedValue = new QLabel(frame);
    usedValue->setObjectName(QStringLiteral("ctl1033"));
    auto* grid = new QGridLayout(frame);
    grid->addWidget(totalLabel, 0, 0);
    grid->addWidget(totalValue, 0, 1);
    grid->addWidget(usedLabel, 1, 0);
    grid->addWidget(usedValue, 1, 1);
    grid->setColumnMinimumWidth(0, 120);
    grid->setColumnMinimumWidth(1, 120);
    grid->setHorizontalSpacing(40);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
    ok->setObjectName(QStringLiteral("ctl1"));
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frame);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

FileInfo::~FileInfo() = default;

void FileInfo::OnInitDialog() {
    initialised = true;
    setWindowIcon(QIcon(QStringLiteral(":/icons/chip.svg")));
    setWindowTitle(mainTexts.GetText(QLatin1String(TextKeys::LBL_FILEINFO)));
    totalLabel->setText(m_totalLabel);
    usedLabel->setText(m_usedLabel);
    totalValue->setText(m_totalText);
    usedValue->setText(m_usedText);
}

void FileInfo::setVisible(bool visible) {
    if (visible && !initialised) {
        OnInitDialog();
    }
    QDialog::setVisible(visible);
}
