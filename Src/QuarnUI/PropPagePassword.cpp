#include "PropPagePassword.h"

#include "LanguageReader.h"
#include "MainWindowMessages.h"
#include "TextKeys.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// A waste-paper bin with a green recycling arrow on its front, drawn on a
// 16 x 16 grid and rendered at `size` pixels.
QPixmap WasteBinPixmap(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 16.0, size / 16.0);

    // Body: a slightly tapering grey basket with ribs.
    QPainterPath body;
    body.moveTo(3.0, 4.0);
    body.lineTo(13.0, 4.0);
    body.lineTo(12.0, 15.5);
    body.lineTo(4.0, 15.5);
    body.closeSubpath();
    painter.setPen(QPen(QColor(0x40, 0x40, 0x40), 0.8));
    painter.setBrush(QColor(0xc8, 0xc8, 0xc8));
    painter.drawPath(body);
    painter.setPen(QPen(QColor(0x90, 0x90, 0x90), 0.6));
    for (double x : {5.5, 8.0, 10.5}) {
        painter.drawLine(QPointF(x, 5.0), QPointF(x, 14.5));
    }

    // Lid with its handle.
    painter.setPen(QPen(QColor(0x30, 0x30, 0x30), 0.8));
    painter.setBrush(QColor(0x80, 0x80, 0x80));
    painter.drawRect(QRectF(2.0, 2.5, 12.0, 1.8));
    painter.drawRect(QRectF(6.5, 1.0, 3.0, 1.5));

    // Recycling arrow: a green ring, open at the top right, with a head.
    const QRectF ring(4.8, 7.0, 6.4, 6.4);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(0x10, 0x90, 0x20), 1.6, Qt::SolidLine, Qt::FlatCap));
    painter.drawArc(ring, 60 * 16, 280 * 16);
    QPolygonF head;
    head << QPointF(9.0, 5.9) << QPointF(11.9, 7.6) << QPointF(9.1, 9.4);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x10, 0x90, 0x20));
    painter.drawPolygon(head);
    return pixmap;
}

QIcon WasteBinIcon() {
    QIcon icon;
    icon.addPixmap(WasteBinPixmap(16));
    icon.addPixmap(WasteBinPixmap(32));
    return icon;
}

} // namespace

CPropPagePassword::CPropPagePassword(MainWindowMessages& mainWindow, QWidget* parent)
    : PropertyPage(parent), mainWindow(mainWindow) {
    setObjectName(QStringLiteral("pagePassword"));

    // Captions start as their text keys, replaced at initialisation.
    passwordGroup = new QGroupBox(QLatin1String(TextKeys::LBL_SET_PASSWORD), this);
    passwordGroup->setObjectName(QStringLiteral("ctl1028"));
    passwordEdit = new QLineEdit(passwordGroup);
    passwordEdit->setObjectName(QStringLiteral("ctl1027"));
    auto* passwordLayout = new QHBoxLayout(passwordGroup);
    passwordLayout->setContentsMargins(16, 10, 16, 12);
    passwordLayout->addWidget(passwordEdit, 3);
    passwordLayout->addStretch(1);

    auto* flushGroup = new QGroupBox(this);
    flushGroup->setObjectName(QStringLiteral("ctl1030"));
    flushLabel = new QLabel(QLatin1String(TextKeys::LBL_FLUSH), flushGroup);
    flushLabel->setObjectName(QStringLiteral("ctl1031"));
    flushLabel->setWordWrap(true);
    flushButton = new QPushButton(flushGroup);
    flushButton->setObjectName(QStringLiteral("ctl1029"));
    flushButton->setIcon(WasteBinIcon());
    flushButton->setIconSize(QSize(16, 16));
    flushButton->setFixedSize(42, 36);
    auto* flushLayout = new QHBoxLayout(flushGroup);
    flushLayout->setContentsMargins(16, 10, 16, 10);
    flushLayout->addWidget(flushLabel, 3);
    flushLayout->addWidget(flushButton);
    flushLayout->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(passwordGroup);
    layout->addWidget(flushGroup);
    layout->addStretch();

    connect(passwordEdit, &QLineEdit::textEdited, this, [this] { SetModified(true); });
    connect(flushButton, &QPushButton::clicked, this, &CPropPagePassword::OnFlush);
}

CPropPagePassword::~CPropPagePassword() = default;

void CPropPagePassword::OnInitDialog() {
    // Every character shows as "*".
    passwordEdit->setEchoMode(QLineEdit::Password);
    passwordEdit->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));

    const LanguageReader& texts = mainWindow.LangReader();
    passwordGroup->setTitle(texts.GetText(QLatin1String(TextKeys::LBL_SET_PASSWORD)));
    flushLabel->setText(texts.GetText(QLatin1String(TextKeys::LBL_FLUSH)));
    // The button shows only its icon; its text serves as tool tip and for
    // screen readers.
    const QString flushText = texts.GetText(QLatin1String(TextKeys::BTN_FLUSH));
    flushButton->setToolTip(flushText);
    flushButton->setAccessibleName(flushText);
    flushButton->setEnabled(mainWindow.IsServiceMode());
}

void CPropPagePassword::UpdateData(bool saveAndValidate) {
    if (saveAndValidate) {
        passwordText = passwordEdit->text();
    } else {
        passwordEdit->setText(passwordText);
    }
}

bool CPropPagePassword::OnApply() {
    if (passwordText.toUpper() == QLatin1String(SERVICE_PASSWORD)) {
        mainWindow.ShowHidden();
        flushButton->setEnabled(mainWindow.IsServiceMode());
    }
    passwordEdit->clear();
    passwordText.clear();
    return true;
}

void CPropPagePassword::OnFlush() {
    // The main window reports a failed flush itself (program error 1125);
    // the folder is listed again either way.
    mainWindow.FlushFileLibrary();
    mainWindow.RefreshLocalList();
}
