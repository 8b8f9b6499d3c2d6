// Looks into a copy while it runs. The event loop runs while the device link
// copies, and with it this observer's zero-interval timer (and a turn after
// each progress report): at each turn the observer records what the main
// window and its progress window show, and it can act once, when a
// condition is met (for example press Cancel once the first data packet
// has gone to the device).
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <functional>
#include <vector>

class ProgressWnd;
class QuarnUIDlg;

class CopyObserver : public QObject {
    Q_OBJECT
public:
    // What one turn saw while a progress window was published.
    struct Sample {
        // Counts the progress windows from 1, in the order they came up.
        int windowNumber = 0;
        bool windowShown = false;
        QString title;
        QString status;
        int barMaximum = 0;
        int barValue = 0;
        bool mainEnabled = true;
        bool mainUpdatesEnabled = true;
        bool holdRefresh = false;
        bool holdDeviceList = false;
    };

    explicit CopyObserver(QuarnUIDlg& window);
    ~CopyObserver() override;

    // Acts once, at the first turn where `condition` holds while a progress
    // window is published and not yet cancelled.
    void ActWhen(std::function<bool()> when, std::function<void(ProgressWnd&)> what);

    std::vector<Sample> samples;
    bool acted = false;

private:
    void Turn();

    QuarnUIDlg& mainWindow;
    QPointer<ProgressWnd> lastWindow;
    int windowsSeen = 0;
    QTimer timer;
    std::function<bool()> condition;
    std::function<void(ProgressWnd&)> action;
};
