#include "SortHeaderCtrl.h"

#include <QMouseEvent>
#include <QPainter>

SortHeaderCtrl::SortHeaderCtrl(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {
    setSortIndicatorShown(false);
    setSectionsClickable(true);
}

void SortHeaderCtrl::SetSortArrow(int column, bool ascending) {
    sortColumn = column;
    sortAscending = ascending;
    ownerDrawn.insert(column);
    viewport()->update();
}

void SortHeaderCtrl::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && sectionsClickable()) {
        pressedSection = logicalIndexAt(event->position().toPoint());
    }
    QHeaderView::mousePressEvent(event);
}

void SortHeaderCtrl::mouseReleaseEvent(QMouseEvent* event) {
    pressedSection = -1;
    QHeaderView::mouseReleaseEvent(event);
    viewport()->update();
}

void SortHeaderCtrl::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
    if (!ownerDrawn.contains(logicalIndex)) {
        QHeaderView::paintSection(painter, rect, logicalIndex);
        return;
    }
    // Edges as in the classic window system: right and bottom exclusive.
    const int left = rect.x();
    const int top = rect.y();
    const int right = rect.x() + rect.width();
    const int bottom = rect.y() + rect.height();

    painter->save();
    painter->setClipRect(rect);
    const QPalette& colours = palette();
    painter->fillRect(rect, colours.color(QPalette::Button));
    // A thin divider keeps neighbouring headings apart.
    painter->setPen(colours.color(QPalette::Mid));
    painter->drawLine(right - 1, top, right - 1, bottom - 1);
    painter->drawLine(left, bottom - 1, right - 1, bottom - 1);

    const QString text =
        model() ? model()->headerData(logicalIndex, orientation(), Qt::DisplayRole).toString()
                : QString();
    const int format =
        model() ? model()->headerData(logicalIndex, orientation(), Qt::TextAlignmentRole).toInt()
                : 0;
    Qt::Alignment alignment = Qt::AlignVCenter;
    if (format & Qt::AlignHCenter) {
        alignment |= Qt::AlignHCenter;
    } else if (format & Qt::AlignRight) {
        alignment |= Qt::AlignRight;
    } else {
        alignment |= Qt::AlignLeft;
    }

    int textLeft = left;
    int textTop = top;
    int textRight = right;
    if (logicalIndex == pressedSection) {
        textLeft += 1;
        textTop += 2;
        textRight += 1;
    }
    const int offset = (bottom - top) / 4;
    const bool sorted = logicalIndex == sortColumn;
    if (sorted) {
        textRight -= 3 * offset;
    }
    textLeft += offset;
    textRight -= offset;
    if (textLeft < textRight) {
        const QRect textRect(QPoint(textLeft, textTop), QPoint(textRight - 1, bottom - 1));
        const QString shown =
            painter->fontMetrics().elidedText(text.left(255), Qt::ElideRight, textRect.width());
        painter->setPen(colours.color(QPalette::ButtonText));
        painter->drawText(textRect, int(alignment) | Qt::TextSingleLine, shown);
    }
    if (sorted) {
        DrawArrow(painter, right, top, bottom, offset);
    }
    painter->restore();
}

void SortHeaderCtrl::DrawArrow(QPainter* painter, int right, int top, int bottom,
                               int offset) const {
    // Two one-pixel pens give the arrow a lit and a shaded side, as on a
    // raised button. The arrow keeps its place when the heading is pressed.
    const int o = offset;
    const int r = right;
    const int b = bottom;
    QPen highlight(palette().color(QPalette::Light));
    QPen shadow(palette().color(QPalette::Dark));
    highlight.setWidth(1);
    shadow.setWidth(1);
    painter->setRenderHint(QPainter::Antialiasing, false);
    if (sortAscending) {
        painter->setPen(highlight);
        const QPoint lit[] = {{r - 2 * o, top + o}, {r - o, b - o - 1}, {r - 3 * o - 2, b - o - 1}};
        painter->drawPolyline(lit, 3);
        painter->setPen(shadow);
        painter->drawLine(QPoint(r - 3 * o - 1, b - o - 1), QPoint(r - 2 * o, top + o - 1));
    } else {
        painter->setPen(highlight);
        painter->drawLine(QPoint(r - o - 1, top + o), QPoint(r - 2 * o - 1, b - o));
        painter->setPen(shadow);
        const QPoint shaded[] = {
            {r - 2 * o - 2, b - o}, {r - 3 * o - 1, top + o}, {r - o - 1, top + o}};
        painter->drawPolyline(shaded, 3);
    }
}
