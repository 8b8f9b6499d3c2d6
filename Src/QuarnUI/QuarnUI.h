#pragma once

#include <QObject>
#include <QStringList>

class MainWindowMessages;

// The application object: reads the command line, runs the main window
// modally and ends the program when it closes. While it lives it is the
// application-wide input filter that lets a key or click dismiss the splash.
class QuarnUI : public QObject {
    Q_OBJECT

public:
    // Needs the QApplication to exist; installs the input filter on it.
    QuarnUI();
    ~QuarnUI() override;

    // The start-up sequence: switches, splash, main window. Always false,
    // so the program ends when it returns.
    bool InitInstance(const QStringList& arguments);

    // False when an argument after the program name is the switch
    // "Embedding" or "Automation" ("/" or "-" in front, any letter case).
    static bool SplashWanted(const QStringList& arguments);

    // The main window while it runs, else nullptr.
    static MainWindowMessages* MainWindow() { return mainWindow; }

protected:
    // Offers every input event of the program to the splash first.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static MainWindowMessages* mainWindow;
};
