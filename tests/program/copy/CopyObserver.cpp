#include "CopyObserver.h"

#include "ProgressWnd.h"
#include "QuarnUIDlg.h"

#include <QLabel>
#include <QProgressBar>

CopyObserver::CopyObserver(QuarnUIDlg& window) : mainWindow(window) {
    timer.setInterval(0);
    connect(&timer, &QTimer::timeout, this, &CopyObserver::Turn);
    // Also right after each progress report has reached the window, so that
    // no packet's state is missed between two turns of the timer.
    connect(&window.Link(), &DeviceLink::Progress, this, &CopyObserver::Turn, Qt::QueuedConnection);
    timer.start();
}

CopyObserver::~CopyObserver() {
    timer.stop();
}

void CopyObserver::ActWhen(std::function<bool()> when, std::function<void(ProgressWnd&)> what) {
    condition = std::move(when);
    action = std::move(what);
}

void CopyObserver::Turn() {
    ProgressWnd* progress = mainWindow.m_progress;
    if (progress == nullptr) {
        return;
    }
    Sample sample;
    // A deleted window's address may be taken by the next one: the guarded
    // pointer tells them apart.
    if (lastWindow.isNull() || lastWindow.data() != progress) {
        lastWindow = progress;
        ++windowsSeen;
    }
    sample.windowNumber = windowsSeen;
    sample.mainEnabled = mainWindow.isEnabled();
    sample.mainUpdatesEnabled = mainWindow.updatesEnabled();
    sample.holdRefresh = mainWindow.HoldRefresh();
    sample.holdDeviceList = mainWindow.HoldDeviceList();
    if (const QWidget* shown = progress->Window()) {
        sample.windowShown = shown->isVisible();
        sample.title = shown->windowTitle();
        if (const auto* line = shown->findChild<QLabel*>(QStringLiteral("ctl11"))) {
            sample.status = line->text();
        }
        if (const auto* bar = shown->findChild<QProgressBar*>(QStringLiteral("ctl12"))) {
            sample.barMaximum = bar->maximum();
            sample.barValue = bar->value();
        }
    }
    samples.push_back(sample);

    if (!acted && action && !progress->IsCancelled() && (!condition || condition())) {
        acted = true;
        action(*progress);
    }
}
