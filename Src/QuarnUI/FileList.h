#pragma once

#include "MainWindowMessages.h"

#include <QIcon>
#include <QList>
#include <QPixmap>
#include <QString>
#include <QTreeWidget>

#include <cstdint>
#include <functional>

class QMimeData;
class SortHeaderCtrl;

// One file pane of the main window: a report-style list with the columns
// name, size, date and attributes (the local list adds two mark columns in
// service mode). A click on one of the first four headings sorts the rows by
// that column, the heading shows the direction with an arrow, a list without
// rows shows a short text, and each row's document icon is highlighted while
// the row is selected. After each load the list tells its owner, the main
// window, how many files it found.
//
// The members below keep their classic names. Note that `columnCount` (the
// number of columns inserted by SetColumns) hides QTreeWidget::columnCount().
class FileList : public QTreeWidget {
    Q_OBJECT
public:
    // The context-menu command that deletes the selected files, exactly as
    // the Delete key does.
    static constexpr int ID_DELETE_COMMAND = 32771;
    // Column 0 holds the row's item data, the file size in bytes.
    static constexpr int ItemDataRole = Qt::UserRole;
    // Every cell with a picture holds the number of its image in the strip.
    static constexpr int ImageRole = Qt::UserRole + 1;
    // The images of the row icon strip.
    enum Image {
        ImageDocument = 0,
        ImageTicked = 1,
        ImageEmptyBox = 2,
        ImageDocumentSelected = 3,
        ImageCount = 8
    };

    explicit FileList(QWidget* parent = nullptr);
    ~FileList() override;

    // The main window the list reports to; it must outlive the list or be
    // taken away (nullptr) before it goes.
    void SetOwner(MainWindowMessages* owner) { this->owner = owner; }
    MainWindowMessages* Owner() const { return owner; }

    // Replaces all columns by those of `heading`, a sequence of "title,width;"
    // pairs. False when a column could not be inserted.
    virtual bool SetColumns(const QString& heading);
    // Gives the list its row icons.
    void ConfigureImages();
    // The text shown while the list holds no rows.
    void SetEmptyText(const QString& text);
    int GetFileCount() const { return fileCount; }

    // Lists a local folder; the base does nothing and returns 1.
    virtual int LoadFolder(const QString& path);
    // Lists the device; the base reports (0 files, source not reached) and
    // returns 1.
    virtual int LoadDevice();
    // Tells the owner `fileCount` and `value` (1: the source was reached,
    // 0: not) through `notifyMessage`, when there is one.
    virtual void NotifyOwner(int value);

    // Carries out a context-menu command.
    void RunCommand(int command);
    // The column click: sorts by `column` (0 to 3; others are ignored).
    void SortByColumn(int column);

    SortHeaderCtrl* SortHeader() const { return sortHeader; }

    // ---- Drag and drop ----
    // The formats a drag of rows carries between the two panes: the names of
    // the rows (a serialized QStringList).
    static QString LocalRowsFormat();
    static QString DeviceRowsFormat();
    // The names a drag of the other pane carries in `format`; empty when
    // `data` holds none.
    static QStringList DraggedNames(const QMimeData* data, const QString& format);
    // The names encoded for a drag, as DraggedNames reads them back.
    static QByteArray EncodeNames(const QStringList& names);
    // Decides about data dragged over the list: answers whether it may be
    // dropped now, and with `drop` set also takes it. Without a handler the
    // list takes no drops.
    using DropHandler = std::function<bool(const QMimeData* data, bool drop)>;
    void SetDropHandler(DropHandler handler);
    // What a drag of the selected rows carries; nullptr when no row is
    // selected. The caller owns the result.
    virtual QMimeData* DragData() const;
    // Whether the pane is framed as the target of the data held over it.
    bool DropHighlighted() const { return dropHighlight; }
    // The size the window first lays the list out with.
    void SetPreferredSize(QSize size) { preferredSize = size; }
    QSize sizeHint() const override;
    // The sum of the rows' item data, their file sizes.
    std::int64_t TotalBytes() const;
    // The first row whose file name is `name`; -1 when there is none.
    int FindRow(const QString& name) const;
    // The rows of the names that are in the list, in the order of `names`.
    QList<int> FindRows(const QStringList& names) const;

    // Rows by index, in list order.
    int RowCount() const { return topLevelItemCount(); }
    QString RowText(int row, int column) const;
    std::int64_t RowItemData(int row) const;
    // The image number of a cell; -1 when the cell has none or does not
    // exist.
    int SubItemImage(int row, int column) const;
    bool SetSubItemImage(int row, int column, int image);
    // The indices of the selected rows, in list order.
    QList<int> SelectedRows() const;
    void DeleteAllRows();
    // The picture of image `image` of the strip (a null icon for the empty
    // images 4 to 7 and numbers outside the strip).
    static QIcon StripImage(int image);

    bool serviceMode = false;
    QString emptyText;
    int columnCount = 0;
    // The owner's message sent after each load; {} (0) sends none.
    MainWindowMessages::Message notifyMessage{};
    int fileCount = 0;
    int sortColumn = -1;
    bool sortAscending = true;
    // The file pattern a folder search uses.
    QString pattern = QStringLiteral("*.*");

protected:
    // The texts of one row.
    struct RowTexts {
        QString name;
        QString size;
        QString date;
        QString attributes;
        std::int64_t itemData = 0;
    };
    // A new row with its document icon; the caller inserts it.
    QTreeWidgetItem* MakeRow(const RowTexts& texts) const;
    void SetCellImage(QTreeWidgetItem* row, int column, int image) const;
    // The delete flow of the Delete key and the context menu; the base has
    // none.
    virtual void DeleteSelectedFiles();
    // The text of a key in the owner's language; the key itself when the
    // list has no owner.
    QString Text(const char* key) const;
    // Asks before the files of the selected rows are deleted, naming the
    // file when there is one. False when nothing is selected or the user
    // does not confirm.
    bool ConfirmDelete(const QList<int>& selected);

    // The names of the selected rows, in list order.
    QStringList SelectedNames() const;
    // What the pointer carries in a drag of the rows named.
    QPixmap DragPicture(const QStringList& names) const;

    void paintEvent(QPaintEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void selectionChanged(const QItemSelection& selected,
                          const QItemSelection& deselected) override;

private:
    void RefreshIcons();
    void SetDropHighlight(bool on);
    void PaintDropHighlight();

    MainWindowMessages* owner = nullptr;
    SortHeaderCtrl* sortHeader = nullptr;
    bool imagesConfigured = false;
    DropHandler dropHandler;
    bool dropHighlight = false;
    QSize preferredSize;
};
