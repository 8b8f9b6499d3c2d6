#pragma once

#include <QObject>
#include <QString>

class QWidget;

// A hook for smoke tests of an installed program: when the window with the
// given object name is shown for the first time, its title and the captions
// of its group boxes and buttons are written to standard error as one line,
//   quarnui: shown dlgRunOnce "Setup Quarn-Loader" "Language" ...
// and the program ends at once with exit status 0, saving nothing (as a
// fatal start-up step ends it, but as a success). main() installs it when the
// environment variable QUARN_EXIT_ON_WINDOW names a window.
// It has no signals or slots of its own, so it needs no meta-object code.
class WindowShownExit : public QObject {
public:
    // Watches every widget of the application for the window objectName.
    explicit WindowShownExit(QString objectName, QObject* parent = nullptr);

    // The line written for a shown window (without the line end).
    static QString Describe(const QWidget& window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QString objectName;
    bool seen = false;
};
