#pragma once

#include <QString>
#include <QTimer>
#include <QWidget>

class QProgressBar;

// The small wait window of the start-up device query: a title and a running
// bar that advances one step every 700 ms and starts again from the left
// after its right end, for as long as the window lives. It has no controls
// for the user and stays on top of the main window.
class WaitAny : public QWidget {
    Q_OBJECT

public:
    static constexpr int TIMER_PERIOD_MS = 700;
    static constexpr int BAR_MINIMUM = 0;
    static constexpr int BAR_MAXIMUM = 100;
    static constexpr int BAR_STEP = 10;

    WaitAny();
    ~WaitAny() override;

    // Gives the window its title and owner, centres it over the owner's
    // device list, shows it and starts the bar. The owner may be nullptr.
    bool Create(QWidget* owner, const QString& title);

    QProgressBar* Bar() const { return m_bar; }
    // The timer that steps the bar.
    const QTimer& Timer() const { return m_timer; }

public slots:
    // One step of the bar (the timer's tick).
    void OnTimer();

private:
    QProgressBar* m_bar = nullptr;
    QTimer m_timer;
};
