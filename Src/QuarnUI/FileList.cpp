#include "FileList.h"

#include "DebugLog.h"
#include "LanguageReader.h"
#include "Prompter.h"
#include "SortHeaderCtrl.h"
#include "TextKeys.h"
#include "csort.h"

#include <QContextMenuEvent>
#include <QDataStream>
#include <QDrag>
#include <QDragEnterEvent>
#include <QIODevice>
#include <QItemSelection>
#include <QMenu>
#include <QMimeData>
#include <QPainter>

#include <algorithm>
#include <vector>

namespace {

// The widest column SetColumns accepts; larger numbers are cut to it.
constexpr int kMaxColumnWidth = 100000;

// The decimal number of the leading digits of `text` after white space; 0
// when there are none.
int LeadingWidth(const QString& text) {
    qsizetype pos = 0;
    while (pos < text.size() && text.at(pos).isSpace()) {
        ++pos;
    }
    int value = 0;
    for (; pos < text.size(); ++pos) {
        const QChar c = text.at(pos);
        if (c < u'0' || c > u'9') {
            break;
        }
        value = value * 10 + (c.unicode() - u'0');
        if (value > kMaxColumnWidth) {
            value = kMaxColumnWidth;
        }
    }
    return value;
}

} // namespace

FileList::FileList(QWidget* parent) : QTreeWidget(parent) {
    sortHeader = new SortHeaderCtrl(this);
    setHeader(sortHeader);
    sortHeader->setSectionsMovable(false);
    sortHeader->setStretchLastSection(false);
    setColumnCount(0);
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setItemsExpandable(false);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    // The list sorts itself on a click; the view's own sorting stays off
    // (switching it off also makes the headings unclickable, so they are
    // made clickable again afterwards).
    setSortingEnabled(false);
    sortHeader->setSectionsClickable(true);
    // Columns take the width they are given, however narrow.
    sortHeader->setMinimumSectionSize(0);
    setAllColumnsShowFocus(true);
    setIconSize(QSize(16, 16));
    setContextMenuPolicy(Qt::DefaultContextMenu);
    connect(sortHeader, &QHeaderView::sectionClicked, this, &FileList::SortByColumn);
    // Rows are dragged to the other pane or out to the desktop; drops are
    // judged by the main window (SetDropHandler).
    setDragEnabled(true);
    setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::CopyAction);
    setDropIndicatorShown(false);
}

FileList::~FileList() = default;

bool FileList::SetColumns(const QString& heading) {
    setColumnCount(0);
    columnCount = 0;
    qsizetype position = 0;
    for (;;) {
        const qsizetype comma = heading.indexOf(u',', position);
        if (comma < 0) {
            sortHeader->setEnabled(true);
            return true;
        }
        const QString title = heading.mid(position, comma - position);
        const qsizetype semicolon = heading.indexOf(u';', comma + 1);
        const qsizetype widthEnd = semicolon < 0 ? heading.size() : semicolon;
        const int width = LeadingWidth(heading.mid(comma + 1, widthEnd - comma - 1));
        position = semicolon < 0 ? heading.size() : semicolon + 1;

        const int index = columnCount;
        setColumnCount(index + 1);
        if (QTreeWidget::columnCount() != index + 1) {
            return false;
        }
        QTreeWidgetItem* titles = headerItem();
        titles->setText(index, title);
        titles->setTextAlignment(index,
                                 Qt::AlignVCenter | (index == 1 ? Qt::AlignRight : Qt::AlignLeft));
        sortHeader->setSectionResizeMode(index, QHeaderView::Interactive);
        sortHeader->resizeSection(index, width);
        ++columnCount;
    }
}

void FileList::ConfigureImages() {
    imagesConfigured = true;
    RefreshIcons();
}

void FileList::SetEmptyText(const QString& text) {
    emptyText = text;
    viewport()->update();
}

int FileList::LoadFolder(const QString& path) {
    Q_UNUSED(path);
    return 1;
}

int FileList::LoadDevice() {
    NotifyOwner(0);
    return 1;
}

void FileList::NotifyOwner(int value) {
    if (notifyMessage == MainWindowMessages::Message{} || owner == nullptr) {
        return;
    }
    switch (notifyMessage) {
    case MainWindowMessages::UM_DEVICE_LIST_STATE:
        owner->DeviceListState(fileCount, value);
        break;
    case MainWindowMessages::UM_LOCAL_LIST_STATE:
        owner->LocalListState(fileCount, value);
        break;
    default:
        break;
    }
}

void FileList::RunCommand(int command) {
    if (command == ID_DELETE_COMMAND) {
        DeleteSelectedFiles();
    }
}

void FileList::DeleteSelectedFiles() {}

void FileList::SortByColumn(int column) {
    if (column < 0 || column > 3) {
        return;
    }
    sortAscending = column == sortColumn ? !sortAscending : true;
    sortColumn = column;

    const int rows = topLevelItemCount();
    std::vector<csort::Node> nodes;
    nodes.reserve(static_cast<std::size_t>(rows));
    std::vector<char> wasSelected(static_cast<std::size_t>(rows), 0);
    for (int row : SelectedRows()) {
        wasSelected[static_cast<std::size_t>(row)] = 1;
    }
    for (int row = 0; row < rows; ++row) {
        nodes.emplace_back(RowItemData(row), RowText(row, sortColumn), row);
    }
    sortHeader->SetSortArrow(sortColumn, sortAscending);
    csort::Sort(nodes, sortAscending ? sortColumn + 1 : -(sortColumn + 1));

    // All rows leave the list and come back in the new order in one step;
    // selection and current row go with their rows.
    QTreeWidgetItem* current = currentItem();
    QList<QTreeWidgetItem*> items = invisibleRootItem()->takeChildren();
    QList<QTreeWidgetItem*> ordered;
    ordered.reserve(rows);
    for (const csort::Node& node : nodes) {
        ordered.append(items.at(node.row));
    }
    invisibleRootItem()->addChildren(ordered);

    QItemSelection selection;
    const int lastColumn = qMax(0, QTreeWidget::columnCount() - 1);
    for (int row = 0; row < rows;) {
        if (!wasSelected[static_cast<std::size_t>(nodes[static_cast<std::size_t>(row)].row)]) {
            ++row;
            continue;
        }
        const int first = row;
        while (row < rows &&
               wasSelected[static_cast<std::size_t>(nodes[static_cast<std::size_t>(row)].row)]) {
            ++row;
        }
        selection.select(model()->index(first, 0), model()->index(row - 1, lastColumn));
    }
    if (current != nullptr) {
        selectionModel()->setCurrentIndex(indexFromItem(current), QItemSelectionModel::NoUpdate);
    }
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

QString FileList::RowText(int row, int column) const {
    const QTreeWidgetItem* item = topLevelItem(row);
    return item != nullptr ? item->text(column) : QString();
}

std::int64_t FileList::RowItemData(int row) const {
    const QTreeWidgetItem* item = topLevelItem(row);
    return item != nullptr ? item->data(0, ItemDataRole).toLongLong() : 0;
}

int FileList::SubItemImage(int row, int column) const {
    const QTreeWidgetItem* item = topLevelItem(row);
    if (item == nullptr || column < 0 || column >= QTreeWidget::columnCount()) {
        return -1;
    }
    const QVariant image = item->data(column, ImageRole);
    return image.isValid() ? image.toInt() : -1;
}

bool FileList::SetSubItemImage(int row, int column, int image) {
    QTreeWidgetItem* item = topLevelItem(row);
    if (item == nullptr || column < 0 || column >= QTreeWidget::columnCount()) {
        return false;
    }
    SetCellImage(item, column, image);
    return true;
}

QList<int> FileList::SelectedRows() const {
    // A row counts as selected when any of its cells is.
    QList<int> rows;
    for (const QItemSelectionRange& range : selectionModel()->selection()) {
        if (range.parent().isValid()) {
            continue;
        }
        for (int row = range.top(); row <= range.bottom(); ++row) {
            rows.append(row);
        }
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

void FileList::DeleteAllRows() {
    clear();
}

QIcon FileList::StripImage(int image) {
    static const QList<QIcon> strip = [] {
        const char* const files[] = {":/icons/list/document.svg", ":/icons/list/box-ticked.svg",
                                     ":/icons/list/box-empty.svg",
                                     ":/icons/list/document-selected.svg"};
        QList<QIcon> icons;
        for (const char* file : files) {
            // The same picture in a selected row: the highlighted document is
            // an image of its own, and the boxes must stay readable.
            QIcon icon;
            icon.addFile(QLatin1String(file), QSize(), QIcon::Normal);
            icon.addFile(QLatin1String(file), QSize(), QIcon::Selected);
            icons << icon;
        }
        while (icons.size() < ImageCount) {
            icons << QIcon();
        }
        return icons;
    }();
    return image >= 0 && image < strip.size() ? strip.at(image) : QIcon();
}

QTreeWidgetItem* FileList::MakeRow(const RowTexts& texts) const {
    auto* row = new QTreeWidgetItem;
    row->setText(0, texts.name);
    row->setText(1, texts.size);
    row->setText(2, texts.date);
    row->setText(3, texts.attributes);
    row->setData(0, ItemDataRole, QVariant::fromValue<qlonglong>(texts.itemData));
    row->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    SetCellImage(row, 0, ImageDocument);
    return row;
}

void FileList::SetCellImage(QTreeWidgetItem* row, int column, int image) const {
    row->setData(column, ImageRole, image);
    row->setIcon(column, imagesConfigured ? StripImage(image) : QIcon());
}

void FileList::RefreshIcons() {
    const int columns = QTreeWidget::columnCount();
    for (int row = 0; row < topLevelItemCount(); ++row) {
        QTreeWidgetItem* item = topLevelItem(row);
        for (int column = 0; column < columns; ++column) {
            const QVariant image = item->data(column, ImageRole);
            if (image.isValid()) {
                SetCellImage(item, column, image.toInt());
            }
        }
    }
}

void FileList::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) {
    // The document icon of column 0 is drawn highlighted while its row is
    // selected.
    for (const QModelIndex& index : deselected.indexes()) {
        if (index.column() == 0) {
            if (QTreeWidgetItem* item = itemFromIndex(index)) {
                SetCellImage(item, 0, ImageDocument);
            }
        }
    }
    for (const QModelIndex& index : selected.indexes()) {
        if (index.column() == 0) {
            if (QTreeWidgetItem* item = itemFromIndex(index)) {
                SetCellImage(item, 0, ImageDocumentSelected);
            }
        }
    }
    QTreeWidget::selectionChanged(selected, deselected);
}

void FileList::paintEvent(QPaintEvent* event) {
    if (topLevelItemCount() > 0) {
        QTreeWidget::paintEvent(event);
        PaintDropHighlight();
        return;
    }
    // The viewport starts below the header; the text stands 10 pixels lower,
    // centred and wrapped to the list's width.
    QPainter painter(viewport());
    QRect area = viewport()->rect();
    area.setTop(area.top() + 10);
    painter.setPen(palette().color(QPalette::Text));
    painter.setFont(font());
    painter.drawText(area, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, emptyText);
    painter.end();
    PaintDropHighlight();
}

void FileList::PaintDropHighlight() {
    // A pane that would take the data held over it is framed in the
    // highlight colour.
    if (!dropHighlight) {
        return;
    }
    QPainter painter(viewport());
    painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(viewport()->rect().adjusted(1, 1, -1, -1));
}

QString FileList::Text(const char* key) const {
    return owner != nullptr ? owner->LangReader().GetText(QLatin1String(key))
                            : QString::fromLatin1(key);
}

bool FileList::ConfirmDelete(const QList<int>& selected) {
    if (selected.isEmpty()) {
        quarnDebug("No items were selected!\n");
        return false;
    }
    const QString question =
        selected.size() == 1 ? Text(TextKeys::MSG_DELETE_ONE) + u'\n' + RowText(selected.first(), 0)
                             : Text(TextKeys::MSG_DELETE_MANY);
    return Prompter::Current().Message(this, question, Text(TextKeys::MSG_CAPTION),
                                       Prompter::Icon::Question,
                                       Prompter::Buttons::OkCancel) == Prompter::Ok;
}

void FileList::contextMenuEvent(QContextMenuEvent* event) {
    if (topLevelItemCount() == 0 || !selectionModel()->hasSelection()) {
        return;
    }
    QPoint position = event->globalPos();
    if (event->reason() == QContextMenuEvent::Keyboard) {
        // The menu key gives no position: open near the list's top left.
        position = mapToGlobal(contentsRect().topLeft() + QPoint(5, 5));
    }
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("menu105"));
    QAction* deleteEntry = menu.addAction(Text(TextKeys::MNU_DELETE));
    deleteEntry->setData(ID_DELETE_COMMAND);
    const QAction* chosen = menu.exec(position);
    if (chosen != nullptr) {
        RunCommand(chosen->data().toInt());
    }
}

// ---- Drag and drop ------------------------------------------------------

QString FileList::LocalRowsFormat() {
    return QStringLiteral("application/x-quarnloader-local-files");
}

QString FileList::DeviceRowsFormat() {
    return QStringLiteral("application/x-quarnloader-device-files");
}

QStringList FileList::DraggedNames(const QMimeData* data, const QString& format) {
    QStringList names;
    if (data == nullptr || !data->hasFormat(format)) {
        return names;
    }
    // A file name may hold any character but "/" and NUL, line ends too, so
    // the names travel as a serialized list.
    QDataStream stream(data->data(format));
    stream >> names;
    if (stream.status() != QDataStream::Ok) {
        names.clear();
    }
    return names;
}

QByteArray FileList::EncodeNames(const QStringList& names) {
    QByteArray encoded;
    QDataStream stream(&encoded, QIODevice::WriteOnly);
    stream << names;
    return encoded;
}

QList<int> FileList::FindRows(const QStringList& names) const {
    QList<int> rows;
    for (const QString& name : names) {
        const int row = FindRow(name);
        if (row >= 0) {
            rows.append(row);
        }
    }
    return rows;
}

QStringList FileList::SelectedNames() const {
    QStringList names;
    for (int row : SelectedRows()) {
        names.append(RowText(row, 0));
    }
    return names;
}

void FileList::SetDropHandler(DropHandler handler) {
    dropHandler = std::move(handler);
}

QMimeData* FileList::DragData() const {
    return nullptr;
}

QSize FileList::sizeHint() const {
    return preferredSize.isValid() ? preferredSize : QTreeWidget::sizeHint();
}

std::int64_t FileList::TotalBytes() const {
    std::int64_t total = 0;
    for (int row = 0; row < RowCount(); ++row) {
        total += RowItemData(row);
    }
    return total;
}

int FileList::FindRow(const QString& name) const {
    for (int row = 0; row < RowCount(); ++row) {
        if (RowText(row, 0) == name) {
            return row;
        }
    }
    return -1;
}

void FileList::startDrag(Qt::DropActions /*supportedActions*/) {
    QMimeData* data = DragData();
    if (data == nullptr) {
        return;
    }
    // Always a copy: a file manager must never move a file away from here.
    auto* drag = new QDrag(this);
    drag->setMimeData(data);
    drag->setPixmap(DragPicture(SelectedNames()));
    drag->exec(Qt::CopyAction, Qt::CopyAction);
}

QPixmap FileList::DragPicture(const QStringList& names) const {
    // The document icon and the first name, with the count of the others:
    // "logdata.csv +2".
    QString text = names.value(0);
    if (names.size() > 1) {
        text += QStringLiteral(" +%1").arg(names.size() - 1);
    }
    const QFontMetrics metrics(font());
    const int side = iconSize().height();
    const QSize size(side + 6 + metrics.horizontalAdvance(text) + 6,
                     std::max(side, metrics.height()) + 4);
    const qreal ratio = devicePixelRatioF();
    QPixmap picture(size * ratio);
    picture.setDevicePixelRatio(ratio);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    QColor back = palette().color(QPalette::Highlight);
    back.setAlpha(200);
    painter.setPen(Qt::NoPen);
    painter.setBrush(back);
    painter.drawRoundedRect(QRectF(QPointF(0, 0), QSizeF(size)), 3, 3);
    StripImage(ImageDocumentSelected)
        .paint(&painter, QRect(2, (size.height() - side) / 2, side, side));
    painter.setPen(palette().color(QPalette::HighlightedText));
    painter.setFont(font());
    painter.drawText(QRect(side + 6, 0, size.width() - side - 6, size.height()), Qt::AlignVCenter,
                     text);
    return picture;
}

void FileList::SetDropHighlight(bool on) {
    if (dropHighlight != on) {
        dropHighlight = on;
        viewport()->update();
    }
}

void FileList::dragLeaveEvent(QDragLeaveEvent* event) {
    SetDropHighlight(false);
    event->accept();
}

void FileList::dragEnterEvent(QDragEnterEvent* event) {
    // Entering is judged as moving over the pane is.
    dragMoveEvent(event);
}

void FileList::dragMoveEvent(QDragMoveEvent* event) {
    // The whole pane is one target: where over it the data is held does
    // not matter.
    if (dropHandler && dropHandler(event->mimeData(), false)) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
        SetDropHighlight(true);
    } else {
        event->ignore();
        SetDropHighlight(false);
    }
}

void FileList::dropEvent(QDropEvent* event) {
    SetDropHighlight(false);
    if (!dropHandler || !dropHandler(event->mimeData(), false)) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    // The copy starts once the drag has ended, so its questions and its
    // progress window do not run inside the drag.
    const QMimeData* data = event->mimeData();
    auto* kept = new QMimeData;
    kept->setParent(this);
    for (const QString& format : data->formats()) {
        if (format == QLatin1String("text/uri-list") && data->hasFormat(DeviceRowsFormat())) {
            // A drag of device rows makes its files only when a file
            // manager asks for them.
            continue;
        }
        kept->setData(format, data->data(format));
    }
    QMetaObject::invokeMethod(
        this,
        [this, kept] {
            if (dropHandler) {
                dropHandler(kept, true);
            }
            delete kept;
        },
        Qt::QueuedConnection);
}
