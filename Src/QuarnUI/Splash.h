#pragma once

#include <QFont>
#include <QPixmap>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QTimer>
#include <QWidget>

class QEvent;

// The start-up picture with one line of versioned text, shown while the main
// window is being created. It goes after the "SPLASH_WAIT" time or at the
// first key or mouse press anywhere in the program, whichever comes first;
// that press is consumed. The splash reads its own copies of the settings and
// language files because it is shown before the main window has loaded them.
class Splash : public QWidget {
    Q_OBJECT

public:
    ~Splash() override;

    // Whether ShowSplash may create a splash (false until start-up sets it).
    static void SetSplashEnabled(bool enabled);
    static bool IsSplashEnabled() { return splashEnabled; }

    // Creates and shows the splash, owned by `owner`. Does nothing when the
    // splash is disabled or one is already shown.
    static void ShowSplash(QWidget* owner);

    // The application-wide input filter: a key press or a mouse button press
    // while a splash is shown hides it and is consumed (true). Everything
    // else goes on (false).
    static bool FilterSplashMessage(QEvent* event);

    // The live splash, or nullptr.
    static Splash* ActiveSplash() { return activeSplash; }
    // The finished text line of the last splash; kept for the whole run.
    static QString SplashText() { return splashText; }

    // `textTemplate` filled printf-style with the three version numbers.
    // Integer conversions (d, i, u, o, x, X, with flags, width and precision)
    // take major, minor and build in this order and "%%" gives "%". Any other
    // conversion, an integer conversion beyond the third, or a width or
    // precision above 255 is shown as written: a template can never read a
    // missing argument or make the program fail.
    static QString FormatVersionText(const QString& textTemplate, int major, int minor, int build);

    // Destroys the splash and repaints its owner, the main window, at once.
    void HideSplash();

    int WaitMs() const { return waitMs; }
    QPixmap Picture() const { return picture; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    explicit Splash(QWidget* owner);
    void OnCreate();

    static bool splashEnabled;
    static Splash* activeSplash;
    static QString splashText;

    QPixmap picture;
    int pictureWidth = 0;
    int pictureHeight = 0;
    QFont textFont;
    QRect textRect;
    int waitMs = 0;
    QTimer timer;
    QPointer<QWidget> owner;
};
