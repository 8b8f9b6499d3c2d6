#include "WindowShownExit.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QEvent>
#include <QGroupBox>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <unistd.h>
#include <utility>

namespace {
QString Quoted(const QString& text) {
    return u'"' + text + u'"';
}
} // namespace

WindowShownExit::WindowShownExit(QString objectName, QObject* parent)
    : QObject(parent), objectName(std::move(objectName)) {
    QCoreApplication::instance()->installEventFilter(this);
}

QString WindowShownExit::Describe(const QWidget& window) {
    QString line = QStringLiteral("quarnui: shown ") + window.objectName() + u' ' +
                   Quoted(window.windowTitle());
    const QList<QWidget*> children = window.findChildren<QWidget*>();
    for (const QWidget* child : children) {
        if (const auto* group = qobject_cast<const QGroupBox*>(child)) {
            line += u' ' + Quoted(group->title());
        } else if (const auto* button = qobject_cast<const QAbstractButton*>(child)) {
            line += u' ' + Quoted(button->text());
        }
    }
    return line;
}

bool WindowShownExit::eventFilter(QObject* watched, QEvent* event) {
    if (!seen && event->type() == QEvent::Show && watched->isWidgetType() &&
        watched->objectName() == objectName) {
        auto* window = static_cast<QWidget*>(watched);
        if (window->isWindow()) {
            seen = true;
            // After the show has been handled, so that the window is on the
            // screen with its texts in place.
            QTimer::singleShot(0, window, [window] {
                std::fprintf(stderr, "%s\n", Describe(*window).toUtf8().constData());
                std::fflush(stderr);
                ::_exit(0);
            });
        }
    }
    return QObject::eventFilter(watched, event);
}
