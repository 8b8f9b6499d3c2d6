#include "Splash.h"

#include "IniEx.h"
#include "LanguageReader.h"
#include "Prompter.h"
#include "ReadProductVersion.h"
#include "SettingsKeys.h"
#include "TextKeys.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QWindow>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

bool Splash::splashEnabled = false;
Splash* Splash::activeSplash = nullptr;
QString Splash::splashText;

namespace {

const QString ERROR_CAPTION = QStringLiteral("Error..");

// The longest wait for the window system to show a new splash.
constexpr qint64 MAP_WAIT_MS = 500;

// The leading decimal number of `text` as the C library's atoi reads it
// (white space, one sign, digits; no digits give 0), kept within int.
int LeadingNumber(const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    const long value = std::strtol(bytes.constData(), nullptr, 10);
    if (value > INT_MAX) {
        return INT_MAX;
    }
    if (value < INT_MIN) {
        return INT_MIN;
    }
    return static_cast<int>(value);
}

QString StartupFolder() {
    return QDir::currentPath() + u'/';
}

// Whether `c` is one of the ASCII characters of `set`.
bool IsOneOf(QChar c, const char* set) {
    return c.unicode() != 0 && c.unicode() < 128 &&
           std::strchr(set, static_cast<char>(c.unicode())) != nullptr;
}

bool IsDismissingButton(Qt::MouseButton button) {
    return button == Qt::LeftButton || button == Qt::RightButton || button == Qt::MiddleButton;
}

} // namespace

Splash::Splash(QWidget* owner)
    : QWidget(owner, Qt::SplashScreen | Qt::FramelessWindowHint), owner(owner) {
    setAttribute(Qt::WA_DeleteOnClose, false);
    setCursor(Qt::ArrowCursor);
    setObjectName(QStringLiteral("splash"));
    timer.setSingleShot(false);
    connect(&timer, &QTimer::timeout, this, &Splash::HideSplash);
}

Splash::~Splash() {
    if (activeSplash == this) {
        activeSplash = nullptr;
    }
}

void Splash::SetSplashEnabled(bool enabled) {
    splashEnabled = enabled;
}

void Splash::ShowSplash(QWidget* owner) {
    if (!splashEnabled || activeSplash != nullptr) {
        return;
    }
    // Not yet the active splash: until it shows, its message boxes get
    // every key and click (the splash's input filter would take them).
    static bool preparing = false;
    if (preparing) {
        return;
    }
    preparing = true;
    auto* splash = new Splash(owner);

    const QString folder = StartupFolder();
    {
        // Private copies: the main window has not loaded either file yet.
        IniEx settings(4);
        settings.Load(folder + QLatin1String(SettingsKeys::SETTINGS_FILE_NAME), false, false, true,
                      false);
        LanguageReader texts;
        texts.Load(folder + settings.ReadValue(QLatin1String(SettingsKeys::APPLICATION),
                                               QLatin1String(SettingsKeys::LANGUAGE), QString()));
        const QString textTemplate = texts.GetText(QLatin1String(TextKeys::SPLASH_TEXT));

        int major = 1;
        int minor = 0;
        int build = 0;
        ReadProductVersion(OwnProgramFile(), major, minor, build);
        splashText = FormatVersionText(textTemplate, major, minor, build);
    }

    // A name without folder: resolved against the current working directory.
    if (splash->picture.load(QStringLiteral("splash.bmp"))) {
        splash->pictureWidth = splash->picture.width();
        splash->pictureHeight = splash->picture.height();
    } else {
        Prompter::Current().Message(nullptr, QStringLiteral("Startup Screen Not Found"),
                                    ERROR_CAPTION, Prompter::Icon::None, Prompter::Buttons::Ok);
    }

    splash->OnCreate();
    preparing = false;
    activeSplash = splash;
    splash->show();
    // The window system maps a new window in its own time; the caller blocks
    // right after this, so let the splash appear first (input stays queued).
    QElapsedTimer clock;
    clock.start();
    const QPointer<Splash> alive(splash);
    while (alive && splash->windowHandle() != nullptr && !splash->windowHandle()->isExposed() &&
           clock.elapsed() < MAP_WAIT_MS) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 20);
    }
    if (!alive) {
        return;
    }
    splash->repaint();
    // The display time counts from here, so the splash is painted at least
    // once even with a time of 0.
    splash->timer.start(splash->waitMs);
}

void Splash::OnCreate() {
    IniEx settings(4);
    if (!settings.Load(StartupFolder() + QLatin1String(SettingsKeys::SETTINGS_FILE_NAME), false,
                       false, true, false)) {
        Prompter::Current().Message(nullptr, QStringLiteral("Settings-File not found"),
                                    ERROR_CAPTION, Prompter::Icon::None, Prompter::Buttons::Ok);
        waitMs = 0;
    } else {
        waitMs = LeadingNumber(settings.ReadValue(
            QLatin1String(SettingsKeys::APPLICATION), QLatin1String(SettingsKeys::SPLASH_WAIT),
            QLatin1String(SettingsKeys::SPLASH_WAIT_DEFAULT)));
        if (waitMs < 0) {
            waitMs = 0;
        }
    }

    textFont = QFont(QStringLiteral("MS Sans Serif"), 8);
    int width = pictureWidth;
    int height = pictureHeight;
    if (picture.isNull()) {
        // Without a picture the window is just large enough for the text.
        const QFontMetrics metrics(textFont);
        width = metrics.horizontalAdvance(splashText) + 40;
        height = metrics.height() + 30;
    }
    setFixedSize(width, height);
    textRect = rect().translated(0, -5);

    const QScreen* screen = owner != nullptr && owner->screen() != nullptr
                                ? owner->screen()
                                : QGuiApplication::primaryScreen();
    if (screen != nullptr) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width / 2, height / 2));
    }
}

void Splash::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (!picture.isNull()) {
        painter.drawPixmap(0, 0, picture);
    }
    // Black text on an opaque white band, one line, centred and standing on
    // the bottom of textRect; a longer text runs past both edges.
    painter.setFont(textFont);
    painter.setPen(Qt::black);
    painter.setBackgroundMode(Qt::OpaqueMode);
    painter.setBackground(Qt::white);
    const QFontMetrics metrics(textFont);
    const int textWidth = metrics.horizontalAdvance(splashText);
    const QRect line(textRect.center().x() - textWidth / 2,
                     textRect.bottom() - metrics.height() + 1, textWidth, metrics.height());
    painter.drawText(line, Qt::AlignCenter | Qt::TextSingleLine | Qt::TextDontClip, splashText);
}

bool Splash::FilterSplashMessage(QEvent* event) {
    if (activeSplash == nullptr || event == nullptr) {
        return false;
    }
    // Input for a message box or dialog that is up is never taken.
    if (QApplication::activeModalWidget() != nullptr) {
        return false;
    }
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        // Claim the key so that no shortcut or menu mnemonic acts on it; the
        // key press that follows then hides the splash and is consumed.
        event->accept();
        return true;
    case QEvent::KeyPress:
        activeSplash->HideSplash();
        return true;
    case QEvent::MouseButtonPress:
    case QEvent::NonClientAreaMouseButtonPress:
        if (IsDismissingButton(static_cast<QMouseEvent*>(event)->button())) {
            activeSplash->HideSplash();
            return true;
        }
        return false;
    default:
        return false;
    }
}

void Splash::HideSplash() {
    timer.stop();
    hide();
    if (activeSplash == this) {
        activeSplash = nullptr;
    }
    // The event that hid the splash may still be on its way to this object;
    // the object goes when control is back in the event loop.
    deleteLater();
    if (owner != nullptr && owner->isVisible()) {
        owner->repaint();
    }
}

QString Splash::FormatVersionText(const QString& textTemplate, int major, int minor, int build) {
    const int values[3] = {major, minor, build};
    int used = 0;
    QString result;
    const qsizetype length = textTemplate.size();
    qsizetype i = 0;
    while (i < length) {
        const QChar c = textTemplate.at(i);
        if (c != u'%') {
            result += c;
            ++i;
            continue;
        }
        const qsizetype start = i++;
        if (i < length && textTemplate.at(i) == u'%') {
            result += u'%';
            ++i;
            continue;
        }
        QByteArray directive("%");
        while (i < length && IsOneOf(textTemplate.at(i), "-+ #0")) {
            directive += textTemplate.at(i).toLatin1();
            ++i;
        }
        bool tooWide = false;
        auto takeNumber = [&] {
            int number = 0;
            while (i < length && IsOneOf(textTemplate.at(i), "0123456789")) {
                number = std::min(number * 10 + textTemplate.at(i).digitValue(), 100000);
                directive += textTemplate.at(i).toLatin1();
                ++i;
            }
            tooWide = tooWide || number > 255;
        };
        takeNumber();
        if (i < length && textTemplate.at(i) == u'.') {
            directive += '.';
            ++i;
            takeNumber();
        }
        // Length modifiers change nothing for the int arguments passed here.
        while (i < length && IsOneOf(textTemplate.at(i), "hljztLq")) {
            ++i;
        }
        const QChar conversion = i < length ? textTemplate.at(i) : QChar();
        const bool integer = IsOneOf(conversion, "diuoxX");
        if (!integer || used >= 3 || tooWide) {
            // Not one of the three integers this text can take: shown as written.
            const qsizetype stop = conversion.isNull() ? i : i + 1;
            result += textTemplate.mid(start, stop - start);
            i = stop;
            continue;
        }
        ++i;
        directive += conversion.toLatin1();
        char buffer[600];
        const int value = values[used++];
        if (conversion == u'd' || conversion == u'i') {
            std::snprintf(buffer, sizeof buffer, directive.constData(), value);
        } else {
            std::snprintf(buffer, sizeof buffer, directive.constData(),
                          static_cast<unsigned int>(value));
        }
        result += QString::fromLatin1(buffer);
    }
    return result;
}
