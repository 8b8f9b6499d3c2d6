#include "About.h"

#include "LanguageReader.h"
#include "ReadProductVersion.h"
#include "TextKeys.h"

#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>

namespace {

// The dialog's layout is given in dialog units: a quarter of the font's
// average character width across, an eighth of its height down.
struct DialogUnits {
    explicit DialogUnits(const QFont& font) {
        const QFontMetrics metrics(font);
        const int alphabet = metrics.horizontalAdvance(
            QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
        baseX = (alphabet / 26 + 1) / 2;
        baseY = metrics.height();
    }
    int X(int units) const { return units * baseX / 4; }
    int Y(int units) const { return units * baseY / 8; }
    QRect Rect(int x, int y, int width, int height) const {
        return QRect(X(x), Y(y), X(width), Y(height));
    }
    int baseX = 6;
    int baseY = 13;
};

} // namespace

About::About(const LanguageReader& texts, QWidget* parentWindow)
    : QDialog(parentWindow), texts(texts), parentWindow(parentWindow) {
    setObjectName(QStringLiteral("about"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    const DialogUnits units(font());
    setFixedSize(units.X(186), units.Y(76));

    logoPicture = new QLabel(this);
    logoPicture->setObjectName(QStringLiteral("ctl1036"));
    logoPicture->setGeometry(units.Rect(7, 7, 15, 13));

    nameLabel = new QLabel(this);
    nameLabel->setObjectName(QStringLiteral("ctl1034"));
    nameLabel->setAlignment(Qt::AlignCenter);
    nameLabel->setGeometry(units.Rect(7, 38, 172, 10));

    okButton = new QPushButton(QStringLiteral("OK"), this);
    okButton->setObjectName(QStringLiteral("ctl1"));
    okButton->setDefault(true);
    okButton->setGeometry(units.Rect(129, 55, 50, 14));
    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);
}

About::~About() = default;

void About::OnInitDialog() {
    initialised = true;
    setWindowTitle(texts.GetText(QLatin1String(TextKeys::APP_ABOUT_NAME)));
    const QString name = texts.GetText(QLatin1String(TextKeys::APPNAME));

    QString version;
    int major = 0;
    int minor = 0;
    int build = 0;
    if (ReadProductVersion(OwnProgramFile(), major, minor, build) == 0) {
        version = QStringLiteral("  (%1.%2.%3)").arg(major).arg(minor).arg(build);
    }
    nameLabel->setText(name + version);

    // A name without folder: resolved against the current working directory.
    if (logo.load(QStringLiteral("OemLogo.bmp"))) {
        logoPicture->setPixmap(logo);
        // Centred across the dialog at the picture's own size; a logo wider
        // than the dialog starts left of it and is cut at both sides.
        const int left = (width() - logo.width()) / 2;
        logoPicture->setGeometry(left, logoPicture->y(), logo.width(), logo.height());
    }
    okButton->setFocus();
}

void About::setVisible(bool visible) {
    if (visible && !initialised) {
        OnInitDialog();
    }
    QDialog::setVisible(visible);
}
