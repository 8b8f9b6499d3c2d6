#include "ProgressWnd.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPalette>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QWidget>

#include <algorithm>
#include <cstdarg>

namespace {

constexpr int kMargin = 10;
constexpr int kTextWidth = 390;
constexpr int kInitialHeight = 130;

// Control ids, kept as object names so that tests and tools can find them.
const char* const kCancelButtonName = "ctl10";
const char* const kTextLineName = "ctl11";
const char* const kBarName = "ctl12";

// A flat, continuous chunk for the smooth bar; the segmented bar keeps the
// style's own look.
const char* const kSmoothBarStyle =
    "QProgressBar { border: 1px solid palette(mid); background: palette(base); }"
    "QProgressBar::chunk { background: palette(highlight); }";

} // namespace

ProgressWnd::ProgressWnd(QWidget* parent, const QString& title, const QString& cancelText,
                         bool smooth, QWidget* mainWindow)
    : m_title(title), m_cancelText(cancelText), m_smooth(smooth),
      m_font(QApplication::font("QMessageBox")),
      m_mainWindow(mainWindow ? mainWindow : (parent ? parent->window() : nullptr)) {
    Create(parent ? parent->window() : m_mainWindow.data());
}

ProgressWnd::~ProgressWnd() {
    if (m_modal) {
        m_modal = false;
        if (m_mainWindow) {
            m_mainWindow->setEnabled(true);
        }
    }
    if (m_pendingDepth > 0 || m_watching) {
        qApp->removeEventFilter(this);
    }
    DestroyWindow();
}

void ProgressWnd::Create(QWidget* owner) {
    // A tool window stays above its owner; the title bar is its only
    // decoration, so the window cannot be closed behind the copy's back.
    auto* window = new QWidget(owner, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    window->setObjectName(QStringLiteral("ProgressWnd"));
    window->setAttribute(Qt::WA_ShowWithoutActivating);
    window->setWindowTitle(m_title);
    window->setCursor(Qt::BusyCursor);
    QPalette palette = window->palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::Button));
    window->setPalette(palette);
    window->setAutoFillBackground(true);
    window->resize(kTextWidth, kInitialHeight);
    window->installEventFilter(this);

    m_textLine = new QLabel(window);
    m_textLine->setObjectName(QString::fromLatin1(kTextLineName));
    m_textLine->setTextFormat(Qt::PlainText);
    m_textLine->setWordWrap(false);
    m_textLine->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_textLine->setFont(m_font);

    m_bar = new QProgressBar(window);
    m_bar->setObjectName(QString::fromLatin1(kBarName));
    m_bar->setTextVisible(false);
    m_bar->setRange(0, 100);
    m_bar->setValue(0);
    if (m_smooth) {
        m_bar->setStyleSheet(QString::fromLatin1(kSmoothBarStyle));
    }

    m_cancelButton = new QPushButton(m_cancelText, window);
    m_cancelButton->setObjectName(QString::fromLatin1(kCancelButtonName));
    m_cancelButton->setFont(m_font);
    m_cancelButton->setFocusPolicy(Qt::StrongFocus);
    m_cancelButton->setAutoDefault(false);
    m_cancelButton->setCursor(Qt::ArrowCursor);
    connect(m_cancelButton, &QPushButton::clicked, this, &ProgressWnd::Cancel);

    // A new window starts with a fresh bar and the plain title.
    m_window = window;
    m_lower = 0;
    m_upper = 100;
    m_barPosition = 0;
    m_lastPercent = 0;
    LayOut();
    Reveal();
}

void ProgressWnd::LayOut() {
    const QFontMetrics metrics(m_font);
    const int edgeX = std::max(
        1, m_window->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, m_window));
    const int edgeY = edgeX;

    // Room for m_textLines lines of "M".
    QString sample = QStringLiteral("M");
    for (int line = 1; line < m_textLines; ++line) {
        sample += QStringLiteral("\nM");
    }
    const int textHeight =
        metrics.boundingRect(QRect(), Qt::AlignLeft | Qt::AlignTop, sample).height();
    const QRect textRect(kMargin, kMargin, kTextWidth, textHeight);

    const QSize extent = metrics.size(Qt::TextShowMnemonic, QStringLiteral("  ") + m_cancelText);
    const QSize buttonSize(extent.width() + 4 * edgeX, extent.height() + 3 * edgeY);
    const QRect buttonRect(textRect.x() + textRect.width() - buttonSize.width(),
                           textRect.y() + textRect.height() + kMargin, buttonSize.width(),
                           buttonSize.height());

    const QRect barRect(textRect.x(), buttonRect.y() + edgeY,
                        std::max(0, buttonRect.x() - kMargin - textRect.x()),
                        std::max(0, buttonRect.height() - 2 * edgeY));

    m_window->setFixedSize(kTextWidth + 2 * kMargin,
                           textHeight + buttonSize.height() + 3 * kMargin);
    m_textLine->setGeometry(textRect);
    m_cancelButton->setGeometry(buttonRect);
    m_bar->setGeometry(barRect);
}

void ProgressWnd::Reveal() {
    if (!m_window || m_window->isVisible()) {
        return;
    }
    // Centre over the owner, or over the screen when there is none.
    const QWidget* owner = m_window->parentWidget();
    QPoint centre;
    if (owner) {
        centre = owner->frameGeometry().center();
    } else if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        centre = screen->availableGeometry().center();
    }
    const QSize size = m_window->frameGeometry().size();
    m_window->move(centre - QPoint(size.width() / 2, size.height() / 2));
    m_window->show();
    m_window->update();
}

bool ProgressWnd::BeginModal() {
    if (!m_window) {
        Create(m_mainWindow);
    }
    if (!m_window) {
        return false;
    }
    if (m_mainWindow) {
        m_mainWindow->setEnabled(false);
    }
    // Disabling the main window disables its child windows too; this one
    // stays usable.
    m_window->setEnabled(true);
    m_modal = true;
    return true;
}

void ProgressWnd::SetStatusText(const char* format, ...) {
    if (!m_window || !format) {
        return;
    }
    va_list args;
    va_start(args, format);
    const QString text = QString::vasprintf(format, args);
    va_end(args);
    m_textLine->setText(text);
}

void ProgressWnd::SetStatusText(const QString& text) {
    if (!m_window) {
        return;
    }
    m_textLine->setText(text);
}

void ProgressWnd::SetBounds(int lower, int upper, int step) {
    if (!m_window) {
        return;
    }
    m_lower = lower;
    m_upper = upper;
    m_step = step;
    // Like the position, the range keeps the bar's position within itself.
    m_barPosition = upper >= lower ? std::clamp(m_barPosition, lower, upper) : lower;
    if (upper > lower) {
        m_bar->setRange(lower, upper);
        m_bar->setValue(m_barPosition);
    } else {
        // An empty range shows an empty bar (a range of 0 to 0 would make
        // the bar a busy indicator).
        m_bar->setRange(0, 1);
        m_bar->setValue(0);
    }
}

int ProgressWnd::SetProgress(int position) {
    if (!m_window) {
        return m_position;
    }
    Reveal();
    m_position = position;

    // The lower end is not subtracted: the copies always count from 0.
    // Computed in 64 bits so that no position overflows.
    const qint64 span = qint64(m_upper) - qint64(m_lower);
    const qint64 percent = span > 0 ? qint64(position) * 100 / span : 0;
    // Setting the title costs a repaint of the frame: only on a new value.
    if (percent != m_lastPercent) {
        m_lastPercent = percent;
        m_window->setWindowTitle(m_title + QStringLiteral(" [") + QString::number(percent) +
                                 QStringLiteral("%]"));
    }

    const int previous = m_barPosition;
    if (m_upper > m_lower) {
        m_barPosition = std::clamp(position, m_lower, m_upper);
        m_bar->setValue(m_barPosition);
    } else {
        m_barPosition = m_lower;
    }
    return previous;
}

void ProgressWnd::ProcessPending(bool cancelOnEscape) {
    if (m_cancelled) {
        return;
    }
    // The window is not activated here: a copy must not take the focus
    // from another program at every packet. Escape is caught by the filter
    // below wherever the application's focus is.
    const bool outerCancelOnEscape = m_cancelOnEscape;
    m_cancelOnEscape = cancelOnEscape;
    if (m_pendingDepth++ == 0 && !m_watching) {
        qApp->installEventFilter(this);
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (--m_pendingDepth == 0 && !m_watching) {
        qApp->removeEventFilter(this);
    }
    m_cancelOnEscape = outerCancelOnEscape;

    // A cancel during the events above closed the window; now that no event
    // is being delivered to it, it can go at once.
    if (m_pendingDepth == 0 && m_closedWindow) {
        delete m_closedWindow.data();
    }
}

void ProgressWnd::WatchInput(bool cancelOnEscape) {
    if (!m_watching && m_pendingDepth == 0) {
        qApp->installEventFilter(this);
    }
    m_watching = true;
    m_cancelOnEscape = cancelOnEscape;
}

bool ProgressWnd::eventFilter(QObject* watched, QEvent* event) {
    if (m_window && watched == m_window.data() && event->type() == QEvent::Close) {
        // A close request (from the window manager, or while the application
        // quits) is a cancel. The close itself goes ahead, so that it never
        // holds up the application's quit.
        Cancel();
        event->accept();
        return true;
    }
    if (m_pendingDepth == 0 && !m_watching) {
        return false;
    }
    // A question asked during the copy (or the quit question) gets its own
    // keys and clicks.
    if (const QWidget* modal = QApplication::activeModalWidget();
        modal != nullptr && modal != m_window.data()) {
        return false;
    }
    if (m_cancelOnEscape && event->type() == QEvent::KeyPress &&
        static_cast<const QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        // Taken here so that no other window reads the key as its own cancel.
        if (!m_cancelled) {
            Cancel();
        }
        return true;
    }
    if (!m_cancelled && m_modal && IsReleaseOverCancelButton(event)) {
        Cancel();
        return true;
    }
    return false;
}

bool ProgressWnd::IsReleaseOverCancelButton(const QEvent* event) const {
    if (event->type() != QEvent::MouseButtonRelease || !m_window || !m_cancelButton->isVisible()) {
        return false;
    }
    const auto* mouse = static_cast<const QMouseEvent*>(event);
    if (mouse->button() != Qt::LeftButton) {
        return false;
    }
    const QRect buttonOnScreen(m_cancelButton->mapToGlobal(QPoint(0, 0)), m_cancelButton->size());
    return buttonOnScreen.contains(mouse->globalPosition().toPoint());
}

void ProgressWnd::HideWindow() {
    if (m_window && m_window->isVisible()) {
        m_window->hide();
    }
}

void ProgressWnd::Cancel() {
    const bool first = !m_cancelled;
    m_cancelled = true;
    HideWindow();
    if (m_modal && m_window) {
        // The cancel may come from inside one of the window's own events
        // (the button's click), so the window is deleted once that is over.
        m_closedWindow = m_window;
        m_window = nullptr;
        m_textLine = nullptr;
        m_bar = nullptr;
        m_cancelButton = nullptr;
        m_closedWindow->deleteLater();
    }
    if (m_mainWindow) {
        m_mainWindow->raise();
        m_mainWindow->activateWindow();
    }
    if (first) {
        emit Cancelled();
    }
}

void ProgressWnd::DestroyWindow() {
    delete m_window.data();
    delete m_closedWindow.data();
    m_textLine = nullptr;
    m_bar = nullptr;
    m_cancelButton = nullptr;
}
