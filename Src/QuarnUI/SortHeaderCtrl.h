#pragma once

#include <QHeaderView>
#include <QSet>

// The header of a file list. It shows which column the list was last sorted
// by with a small arrow drawn in that column's heading: apex up for
// ascending, apex down for descending. A heading that has carried the arrow
// stays drawn by this class when the arrow moves on (then without an arrow);
// the others are drawn by the style.
class SortHeaderCtrl : public QHeaderView {
    Q_OBJECT
public:
    explicit SortHeaderCtrl(QWidget* parent = nullptr);

    // Remembers the sorted column and direction, draws that heading itself
    // from now on and repaints the header.
    void SetSortArrow(int column, bool ascending);

    int SortColumn() const { return sortColumn; }
    bool SortAscending() const { return sortAscending; }
    bool IsOwnerDrawn(int column) const { return ownerDrawn.contains(column); }

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void DrawArrow(QPainter* painter, int right, int top, int bottom, int offset) const;

    int sortColumn = -1;
    bool sortAscending = true;
    QSet<int> ownerDrawn;
    // The heading held down by the mouse, drawn pressed; -1 for none.
    int pressedSection = -1;
};
