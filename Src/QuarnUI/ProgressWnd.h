#pragma once

#include <QFont>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <QtGlobal>

class QLabel;
class QProgressBar;
class QPushButton;

// The small window that stands over the main window while files are copied:
// one line of text, a progress bar and a cancel button, with the percentage
// done in its title.
//
// The copies run on the device link's thread; their progress reaches the
// window by queued signal and the event loop keeps it drawing. WatchInput()
// lets Escape and the cancel button act at once while the loop runs, and
// Cancelled() tells the copy. ProcessPending() handles waiting input for a
// caller that runs its own loop. In modal mode the application's main window
// is disabled while the object lives.
//
// The object owns its window. A cancel in modal mode destroys the window at
// once while the object lives on: it still answers IsCancelled(), and every
// other operation then returns at once.
class ProgressWnd : public QObject {
    Q_OBJECT

public:
    // Creates and shows the window, centred over its owner, without activating
    // it. The owner is `parent`'s window, or the main window when there is no
    // parent. The main window is `mainWindow`, or `parent`'s window when none
    // is given. `smooth` selects a continuous bar instead of the segmented
    // one.
    ProgressWnd(QWidget* parent, const QString& title, const QString& cancelText, bool smooth,
                QWidget* mainWindow = nullptr);
    ~ProgressWnd() override;

    ProgressWnd(const ProgressWnd&) = delete;
    ProgressWnd& operator=(const ProgressWnd&) = delete;

    // Modal mode: disables the main window until the object is deleted. When
    // the window is gone (cancelled in modal mode), it is made again first.
    bool BeginModal();

    // Sets the line of text from a printf-style format; %s arguments are
    // UTF-8 text. The compiler checks literal formats against the arguments.
    // Text that comes from elsewhere (paths, translations) belongs in the
    // QString overload, never in the format.
    void SetStatusText(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // Sets the line of text as it stands.
    void SetStatusText(const QString& text);

    // The range of the bar and its step.
    void SetBounds(int lower, int upper, int step);

    // Shows the window if it is hidden, moves the bar to `position` and puts
    // the whole percentage into the title when it changed. Returns the bar's
    // previous position; the bar keeps its position within its range, so
    // after a position above the upper end it returns the upper end. Without
    // a window: the last position given, and nothing else happens.
    int SetProgress(int position);

    // Handles the input that is waiting. Escape cancels when `cancelOnEscape`
    // is set; in modal mode a left-button release over the cancel button
    // cancels before the button itself reacts. Does nothing once cancelled.
    void ProcessPending(bool cancelOnEscape);
    // While on, the input of the application is watched as ProcessPending
    // does, from the normal event loop: Escape cancels (when
    // `cancelOnEscape`), and so does a left-button release over the cancel
    // button in modal mode. Input meant for another modal dialog (a question
    // asked during the copy) is left alone.
    void WatchInput(bool cancelOnEscape);

    bool IsCancelled() const { return m_cancelled; }

signals:
    // The user cancelled (button, Escape or a close request); sent once.
    void Cancelled();

public:
    // Hides the window; the next SetProgress shows it again.
    void HideWindow();

    // The window, or nullptr once a cancel in modal mode has destroyed it.
    QWidget* Window() const { return m_window; }
    // The main window that modal mode disables.
    QWidget* MainWindow() const { return m_mainWindow; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Create(QWidget* owner);
    void LayOut();
    void Reveal();
    void Cancel();
    void DestroyWindow();
    bool IsReleaseOverCancelButton(const QEvent* event) const;

    bool m_cancelled = false;
    bool m_modal = false;
    int m_position = 0;
    // Wide enough for any position times 100 over any range.
    qint64 m_lastPercent = 0;
    int m_step = 1;
    int m_lower = 0;
    int m_upper = 100;
    // The bar's own position, kept within the range.
    int m_barPosition = 0;
    int m_textLines = 4;
    QString m_title;
    QString m_cancelText;
    bool m_smooth = false;
    QFont m_font;

    QPointer<QWidget> m_mainWindow;
    QPointer<QWidget> m_window;
    // A window that a cancel has closed and that waits to be deleted.
    QPointer<QWidget> m_closedWindow;
    QLabel* m_textLine = nullptr;
    QProgressBar* m_bar = nullptr;
    QPushButton* m_cancelButton = nullptr;

    // While ProcessPending runs, the object filters the application's events.
    int m_pendingDepth = 0;
    bool m_cancelOnEscape = false;
    bool m_watching = false;
};
