#include "DlgQuit.h"

#include "LanguageReader.h"
#include "TextKeys.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

DlgQuit::DlgQuit(const LanguageReader& texts, QWidget* parent) : QDialog(parent), texts(texts) {
    setObjectName(QStringLiteral("dlgQuit"));
    setWindowTitle(QStringLiteral("Quarn File Loader"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    question = new QLabel(this);
    question->setObjectName(QStringLiteral("ctl1037"));
    question->setAlignment(Qt::AlignCenter);
    yesButton = new QPushButton(this);
    yesButton->setObjectName(QStringLiteral("ctl1"));
    yesButton->setDefault(true);
    noButton = new QPushButton(this);
    noButton->setObjectName(QStringLiteral("ctl2"));
    connect(yesButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(noButton, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(yesButton);
    buttons->addSpacing(10);
    buttons->addWidget(noButton);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(question);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

DlgQuit::~DlgQuit() = default;

void DlgQuit::OnInitDialog() {
    initialised = true;
    noButton->setText(texts.GetText(QLatin1String(TextKeys::Q_NO)));
    yesButton->setText(texts.GetText(QLatin1String(TextKeys::Q_YES)));
    question->setText(texts.GetText(QLatin1String(TextKeys::Q_REALLY_QUIT)));
    yesButton->setFocus();
}

void DlgQuit::setVisible(bool visible) {
    if (visible && !initialised) {
        OnInitDialog();
    }
    QDialog::setVisible(visible);
}
