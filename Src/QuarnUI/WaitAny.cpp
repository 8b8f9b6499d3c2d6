#include "WaitAny.h"

#include <QGuiApplication>
#include <QProgressBar>
#include <QScreen>

namespace {

constexpr int WINDOW_WIDTH = 200;
constexpr int BAR_HEIGHT = 25;

} // namespace

WaitAny::WaitAny() : QWidget(nullptr, Qt::Dialog) {
    setObjectName(QStringLiteral("waitAny"));
    setCursor(Qt::BusyCursor);
    setAttribute(Qt::WA_DeleteOnClose, false);
    m_bar = new QProgressBar(this);
    m_bar->setObjectName(QStringLiteral("ctl12"));
    m_bar->setRange(BAR_MINIMUM, BAR_MAXIMUM);
    m_bar->setValue(BAR_MINIMUM);
    m_bar->setTextVisible(false);
    m_bar->setGeometry(0, 0, WINDOW_WIDTH, BAR_HEIGHT);
    m_timer.setInterval(TIMER_PERIOD_MS);
    connect(&m_timer, &QTimer::timeout, this, &WaitAny::OnTimer);
}

WaitAny::~WaitAny() = default;

bool WaitAny::Create(QWidget* owner, const QString& title) {
    // A window of its own, kept above its owner, with a title bar but no
    // buttons in it: the user cannot close it, it goes with the query.
    setParent(owner, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                         Qt::WindowTitleHint);
    setWindowTitle(title);
    setFixedSize(WINDOW_WIDTH, BAR_HEIGHT);

    // Centred over the owner's device list; without one, on the screen.
    QPoint centre;
    const QWidget* deviceList =
        owner != nullptr ? owner->findChild<QWidget*>(QStringLiteral("ctl1005")) : nullptr;
    if (deviceList != nullptr) {
        centre = deviceList->mapToGlobal(deviceList->rect().center());
    } else if (owner != nullptr) {
        centre = owner->mapToGlobal(owner->rect().center());
    } else if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        centre = screen->availableGeometry().center();
    }
    move(centre - QPoint(WINDOW_WIDTH / 2, BAR_HEIGHT / 2));

    if (!isVisible()) {
        show();
        activateWindow();
        raise();
    }
    setFocus();
    m_timer.start();
    return true;
}

void WaitAny::OnTimer() {
    const int next = m_bar->value() + BAR_STEP;
    m_bar->setValue(next > BAR_MAXIMUM ? BAR_MINIMUM : next);
}
