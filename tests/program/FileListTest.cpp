// The file list base: columns, sorting by a column click with the arrow in
// the header, the empty-list text, the row icons, the context menu and the
// owner notification. Rows come in through the device list's display step,
// which takes plain records.
#include "FileList.h"
#include "FakeMainWindow.h"
#include "LanguageReader.h"
#include "RecordingPrompter.h"
#include "SortHeaderCtrl.h"
#include "TargetFileList.h"
#include "TestFiles.h"
#include "TextKeys.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QImage>
#include <QMenu>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

TRELM_FILE_INFO Record(const char* name, std::uint32_t size, int year, int month, int day,
                       int hour = 12, int minute = 0, int second = 0, std::uint32_t attr = 0) {
    TRELM_FILE_INFO record;
    std::memset(&record, 0, sizeof(record));
    std::strncpy(record.FileName, name, sizeof(record.FileName) - 1);
    record.FileSize = size;
    record.ReportedSize = size;
    record.CreationTime.wYear = static_cast<std::uint16_t>(year);
    record.CreationTime.wMonth = static_cast<std::uint16_t>(month);
    record.CreationTime.wDay = static_cast<std::uint16_t>(day);
    record.CreationTime.wHour = static_cast<std::uint16_t>(hour);
    record.CreationTime.wMinute = static_cast<std::uint16_t>(minute);
    record.CreationTime.wSecond = static_cast<std::uint16_t>(second);
    record.Attr = attr;
    record.FileHandle = -1;
    record.Valid = 1;
    return record;
}

TargetFileList::Listing ListingOf(std::vector<TRELM_FILE_INFO> records) {
    TargetFileList::Listing listing;
    listing.deviceAnswered = true;
    listing.listed = true;
    listing.count = static_cast<std::uint32_t>(records.size());
    listing.records = std::move(records);
    return listing;
}

std::vector<std::string> Names(const FileList& list) {
    std::vector<std::string> names;
    for (int row = 0; row < list.RowCount(); ++row) {
        names.push_back(list.RowText(row, 0).toStdString());
    }
    return names;
}

const char kHeading[] = "Name, 120;Size, 80;Date, 110;Attr, 40;";

// Clicks the heading of `column` in the middle of its left half.
void ClickHeading(FileList& list, int column) {
    SortHeaderCtrl* heading = list.SortHeader();
    const QPoint point(heading->sectionViewportPosition(column) + 8, heading->height() / 2);
    QTest::mouseClick(heading->viewport(), Qt::LeftButton, Qt::NoModifier, point);
}

// Runs `inspect` on the pop-up menu that `open` shows (or with nullptr when
// none shows), then closes the menu.
void WithPopup(const std::function<void()>& open, const std::function<void(QMenu*)>& inspect) {
    bool inspected = false;
    QTimer::singleShot(0, [&] {
        inspected = true;
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        inspect(menu);
        if (menu != nullptr && menu->isVisible()) {
            menu->close();
        }
    });
    open();
    if (!inspected) {
        QCoreApplication::processEvents();
    }
    ASSERT_TRUE(inspected);
}

// ---- SetColumns -------------------------------------------------------------------

struct ColumnsRow {
    const char* name;
    const char* heading;
    std::vector<std::string> titles;
    std::vector<int> widths;
};

const ColumnsRow kColumnsRows[] = {
    {"Empty", "", {}, {}},
    {"NoCommaInsertsNothing", "Name 120", {}, {}},
    {"WidthWithoutFinalSemicolon", "Name,200", {"Name"}, {200}},
    {"MainWindowHeading", kHeading, {"Name", "Size", "Date", "Attr"}, {120, 80, 110, 40}},
    {"WidthThatIsNoNumber", "Name,wide;Size,80;", {"Name", "Size"}, {0, 80}},
    {"WidthDigitsThenText", "Name,75px;", {"Name"}, {75}},
    {"TitleWithoutCommaAtTheEnd", "Name,100;Size", {"Name"}, {100}},
    {"ServiceModeHeading",
     "Name,120;Size,80;Date,110;Attr,40;H,20;R,30;",
     {"Name", "Size", "Date", "Attr", "H", "R"},
     {120, 80, 110, 40, 20, 30}},
};

class SetColumns : public ::testing::TestWithParam<ColumnsRow> {};

TEST_P(SetColumns, InsertsTheDescribedColumns) {
    const ColumnsRow& row = GetParam();
    FileList list;
    // Earlier columns are replaced.
    ASSERT_TRUE(list.SetColumns(QStringLiteral("Old,10;Older,20;Oldest,30;")));
    ASSERT_EQ(list.columnCount, 3);

    EXPECT_TRUE(list.SetColumns(QString::fromLatin1(row.heading)));
    ASSERT_EQ(list.columnCount, static_cast<int>(row.titles.size()));
    ASSERT_EQ(list.QTreeWidget::columnCount(), list.columnCount);
    for (int column = 0; column < list.columnCount; ++column) {
        const auto index = static_cast<std::size_t>(column);
        EXPECT_EQ(list.headerItem()->text(column).toStdString(), row.titles[index]);
        EXPECT_EQ(list.SortHeader()->sectionSize(column), row.widths[index]);
        const int alignment = list.headerItem()->textAlignment(column);
        EXPECT_EQ((alignment & Qt::AlignRight) != 0, column == 1) << "column " << column;
    }
    EXPECT_TRUE(list.SortHeader()->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(Specs, SetColumns, ::testing::ValuesIn(kColumnsRows),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Sorting ----------------------------------------------------------------------

class FileListSort : public ::testing::Test {
protected:
    void SetUp() override {
        list.SetOwner(&owner);
        ASSERT_TRUE(list.SetColumns(QString::fromLatin1(kHeading)));
        list.resize(500, 300);
        list.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
        // Listing order b, A, c; the rows show it reversed.
        ASSERT_EQ(list.ShowListing(Listing()), 0);
        ASSERT_EQ(Names(list), (std::vector<std::string>{"c.dat", "A.TXT", "b.bin"}));
    }

    static TargetFileList::Listing Listing() {
        return ListingOf({Record("b.bin", 900, 2024, 1, 2),
                          Record("A.TXT", 2048, 2023, 5, 6, 12, 0, 0, 1),
                          Record("c.dat", 12800, 2024, 1, 1, 12, 0, 0, 3)});
    }

    FakeMainWindow owner;
    TargetFileList list;
};

struct SortRow {
    const char* name;
    std::vector<int> clicks;
    std::vector<std::string> order;
    int sortColumn;
    bool ascending;
};

const SortRow kSortRows[] = {
    {"FirstClickSortsAscending", {0}, {"A.TXT", "b.bin", "c.dat"}, 0, true},
    {"SecondClickSortsDescending", {0, 0}, {"c.dat", "b.bin", "A.TXT"}, 0, false},
    {"ThirdClickAscendingAgain", {0, 0, 0}, {"A.TXT", "b.bin", "c.dat"}, 0, true},
    {"AnotherColumnSortsAscending", {0, 0, 1}, {"b.bin", "A.TXT", "c.dat"}, 1, true},
    {"SizeByBytesDescending", {1, 1}, {"c.dat", "A.TXT", "b.bin"}, 1, false},
    {"DateAscending", {2}, {"A.TXT", "c.dat", "b.bin"}, 2, true},
    {"DateDescending", {2, 2}, {"b.bin", "c.dat", "A.TXT"}, 2, false},
    {"AttributesAscending", {3}, {"b.bin", "A.TXT", "c.dat"}, 3, true},
};

class FileListSortClicks : public FileListSort, public ::testing::WithParamInterface<SortRow> {};

TEST_P(FileListSortClicks, OrdersRowsAndShowsTheArrow) {
    const SortRow& row = GetParam();
    for (int column : row.clicks) {
        ClickHeading(list, column);
    }
    EXPECT_EQ(Names(list), row.order);
    EXPECT_EQ(list.sortColumn, row.sortColumn);
    EXPECT_EQ(list.sortAscending, row.ascending);
    EXPECT_EQ(list.SortHeader()->SortColumn(), row.sortColumn);
    EXPECT_EQ(list.SortHeader()->SortAscending(), row.ascending);
    EXPECT_TRUE(list.SortHeader()->IsOwnerDrawn(row.sortColumn));
}

INSTANTIATE_TEST_SUITE_P(Clicks, FileListSortClicks, ::testing::ValuesIn(kSortRows),
                         [](const auto& info) { return std::string(info.param.name); });

// A list of two rows, listed against the order of every column: the first
// click on a column has to swap them.
struct TwoRowsRow {
    const char* name;
    int column;
};

const TwoRowsRow kTwoRowsRows[] = {
    {"ByName", 0},
    {"BySize", 1},
    {"ByDate", 2},
    {"ByAttributes", 3},
};

class FileListTwoRows : public FileListSort, public ::testing::WithParamInterface<TwoRowsRow> {};

TEST_P(FileListTwoRows, FirstClickSwapsThem) {
    // Shown in reverse listing order: "z.bin" first, then "a.bin".
    ASSERT_EQ(list.ShowListing(ListingOf({Record("a.bin", 100, 2020, 1, 1, 12, 0, 0, 0),
                                          Record("z.bin", 900, 2024, 6, 1, 12, 0, 0, 3)})),
              0);
    ASSERT_EQ(Names(list), (std::vector<std::string>{"z.bin", "a.bin"}));
    ClickHeading(list, GetParam().column);
    EXPECT_EQ(Names(list), (std::vector<std::string>{"a.bin", "z.bin"}));
    ClickHeading(list, GetParam().column);
    EXPECT_EQ(Names(list), (std::vector<std::string>{"z.bin", "a.bin"}));
}

INSTANTIATE_TEST_SUITE_P(Columns, FileListTwoRows, ::testing::ValuesIn(kTwoRowsRows),
                         [](const auto& info) { return std::string(info.param.name); });

// The date column of device rows shows the device's local calendar time as a
// real local time of the zone the program runs in: an hour that the zone
// skips in spring moves on by the hour.
struct DeviceDateRow {
    const char* name;
    const char* zone;
    int year, month, day, hour, minute;
    const char* text;
};

const DeviceDateRow kDeviceDateRows[] = {
    {"SummerInUtc", "UTC", 2024, 7, 1, 14, 0, "07/01/24  14:00:00"},
    {"SummerInBerlin", "Europe/Berlin", 2024, 7, 1, 14, 0, "07/01/24  14:00:00"},
    {"WinterInBerlin", "Europe/Berlin", 2024, 1, 1, 13, 0, "01/01/24  13:00:00"},
    {"SkippedHourInUtc", "UTC", 2024, 3, 31, 2, 30, "03/31/24  02:30:00"},
    {"SkippedHourInBerlin", "Europe/Berlin", 2024, 3, 31, 2, 30, "03/31/24  03:30:00"},
};

class FileListDeviceDates : public FileListSort,
                            public ::testing::WithParamInterface<DeviceDateRow> {};

TEST_P(FileListDeviceDates, ShowTheLocalTime) {
    const DeviceDateRow& row = GetParam();
    const TestFiles::ScopedTimeZone zone(row.zone);
    ASSERT_EQ(list.ShowListing(ListingOf(
                  {Record("a.bin", 1, row.year, row.month, row.day, row.hour, row.minute)})),
              0);
    EXPECT_EQ(list.RowText(0, 2).toStdString(), row.text);
}

INSTANTIATE_TEST_SUITE_P(Zones, FileListDeviceDates, ::testing::ValuesIn(kDeviceDateRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(FileListSort, SizeSortsByBytesNotByText) {
    // As texts, "12.5 KB" < "2.00 KB" < "900 bytes"; by bytes the reverse.
    ClickHeading(list, 1);
    std::vector<std::string> sizes;
    for (int row = 0; row < list.RowCount(); ++row) {
        sizes.push_back(list.RowText(row, 1).toStdString());
    }
    EXPECT_EQ(sizes, (std::vector<std::string>{"900 bytes", "2.00 KB", "12.5 KB"}));
}

TEST_F(FileListSort, ClicksOnTheMarkColumnsDoNotSort) {
    ASSERT_TRUE(list.SetColumns(QStringLiteral("N,60;S,60;D,60;A,60;H,40;R,40;")));
    ClickHeading(list, 4);
    ClickHeading(list, 5);
    EXPECT_EQ(Names(list), (std::vector<std::string>{"c.dat", "A.TXT", "b.bin"}));
    EXPECT_EQ(list.sortColumn, -1);
    EXPECT_EQ(list.SortHeader()->SortColumn(), -1);
    EXPECT_FALSE(list.SortHeader()->IsOwnerDrawn(4));
    EXPECT_FALSE(list.SortHeader()->IsOwnerDrawn(5));
    // The first four still sort.
    ClickHeading(list, 0);
    EXPECT_EQ(Names(list), (std::vector<std::string>{"A.TXT", "b.bin", "c.dat"}));
}

TEST_F(FileListSort, AReloadKeepsListingOrderAndTheArrow) {
    ClickHeading(list, 0);
    ClickHeading(list, 0);
    ASSERT_EQ(Names(list), (std::vector<std::string>{"c.dat", "b.bin", "A.TXT"}));
    ASSERT_EQ(list.ShowListing(Listing()), 0);
    EXPECT_EQ(Names(list), (std::vector<std::string>{"c.dat", "A.TXT", "b.bin"}));
    EXPECT_EQ(list.sortColumn, 0);
    EXPECT_FALSE(list.sortAscending);
    EXPECT_EQ(list.SortHeader()->SortColumn(), 0);
    // The next click on the same column turns the direction round again.
    ClickHeading(list, 0);
    EXPECT_EQ(Names(list), (std::vector<std::string>{"A.TXT", "b.bin", "c.dat"}));
}

TEST_F(FileListSort, SelectionTravelsWithItsRows) {
    list.ConfigureImages();
    list.topLevelItem(1)->setSelected(true); // A.TXT
    list.setCurrentItem(list.topLevelItem(1), 0, QItemSelectionModel::NoUpdate);
    ClickHeading(list, 0);
    ASSERT_EQ(Names(list), (std::vector<std::string>{"A.TXT", "b.bin", "c.dat"}));
    EXPECT_EQ(list.SelectedRows(), QList<int>{0});
    EXPECT_EQ(list.currentItem(), list.topLevelItem(0));
    EXPECT_EQ(list.SubItemImage(0, 0), FileList::ImageDocumentSelected);
    EXPECT_EQ(list.SubItemImage(1, 0), FileList::ImageDocument);
}

TEST_F(FileListSort, EqualTimeStampsNeverCompareEqual) {
    // Two rows with one time stamp: each is "not earlier" than the other, so
    // the sort always moves them, and both directions keep them together
    // between the earlier and the later row.
    ASSERT_EQ(list.ShowListing(
                  ListingOf({Record("early", 1, 2020, 1, 1), Record("same1", 1, 2021, 6, 1),
                             Record("late", 1, 2022, 1, 1), Record("same2", 1, 2021, 6, 1)})),
              0);
    ClickHeading(list, 2);
    std::vector<std::string> ascending = Names(list);
    EXPECT_EQ(ascending.front(), "early");
    EXPECT_EQ(ascending.back(), "late");
    ClickHeading(list, 2);
    std::vector<std::string> descending = Names(list);
    EXPECT_EQ(descending.front(), "late");
    EXPECT_EQ(descending.back(), "early");
}

TEST(FileListBigSort, TenThousandRowsSortByEachColumn) {
    FakeMainWindow owner;
    TargetFileList list;
    list.SetOwner(&owner);
    ASSERT_TRUE(list.SetColumns(QString::fromLatin1(kHeading)));
    std::mt19937 random(11);
    std::vector<TRELM_FILE_INFO> records;
    for (int i = 0; i < 10000; ++i) {
        const std::string name = (random() % 2 ? "F" : "f") + std::to_string(random() % 100000);
        records.push_back(
            Record(name.c_str(), random() % 65536, 2000 + static_cast<int>(random() % 30),
                   1 + static_cast<int>(random() % 12), 1 + static_cast<int>(random() % 28)));
    }
    ASSERT_EQ(list.ShowListing(ListingOf(records)), 0);
    list.topLevelItem(5000)->setSelected(true);
    const QString selectedName = list.RowText(5000, 0);

    list.SortByColumn(1);
    for (int row = 1; row < list.RowCount(); ++row) {
        ASSERT_LE(list.RowItemData(row - 1), list.RowItemData(row)) << "row " << row;
    }
    list.SortByColumn(1);
    for (int row = 1; row < list.RowCount(); ++row) {
        ASSERT_GE(list.RowItemData(row - 1), list.RowItemData(row)) << "row " << row;
    }
    list.SortByColumn(0);
    for (int row = 1; row < list.RowCount(); ++row) {
        ASSERT_LE(
            QString::compare(list.RowText(row - 1, 0), list.RowText(row, 0), Qt::CaseInsensitive),
            0)
            << "row " << row;
    }
    ASSERT_EQ(list.RowCount(), 10000);
    const QList<int> selected = list.SelectedRows();
    ASSERT_EQ(selected.size(), 1);
    EXPECT_EQ(list.RowText(selected.first(), 0), selectedName);
}

// ---- The arrow --------------------------------------------------------------------

class SortArrow : public FileListSort {
protected:
    // The colour at (R - 2o, o) of `column`'s heading: the apex of an
    // ascending arrow (lit side) or a point of the shaded top edge of a
    // descending one.
    QRgb ArrowPoint(int column) {
        SortHeaderCtrl* heading = list.SortHeader();
        const QImage image = heading->viewport()->grab().toImage();
        const int right = heading->sectionViewportPosition(column) + heading->sectionSize(column);
        const int offset = heading->height() / 4;
        return image.pixel(right - 2 * offset, offset);
    }
};

TEST_F(SortArrow, PointsUpWhenAscendingAndDownWhenDescending) {
    const QPalette palette = list.SortHeader()->palette();
    const QRgb light = palette.color(QPalette::Light).rgb();
    const QRgb dark = palette.color(QPalette::Dark).rgb();
    const QRgb face = palette.color(QPalette::Button).rgb();
    ASSERT_NE(light, dark);
    ASSERT_NE(light, face);
    ASSERT_NE(dark, face);
    ClickHeading(list, 0);
    EXPECT_EQ(ArrowPoint(0), light);
    ClickHeading(list, 0);
    EXPECT_EQ(ArrowPoint(0), dark);
    // The arrow moves on; the old heading is still drawn here, plain.
    ClickHeading(list, 2);
    EXPECT_EQ(ArrowPoint(0), face);
    EXPECT_TRUE(list.SortHeader()->IsOwnerDrawn(0));
    EXPECT_EQ(ArrowPoint(2), light);
}

// ---- Empty text ---------------------------------------------------------------------

// The box around everything painted in a colour other than the background.
QRect InkBox(const QImage& image, const QColor& background) {
    QRect box;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixelColor(x, y) != background) {
                box |= QRect(x, y, 1, 1);
            }
        }
    }
    return box;
}

struct EmptyTextRow {
    const char* name;
    int width;
    const char* text;
    bool wraps;
};

const EmptyTextRow kEmptyTextRows[] = {
    {"ShortTextOneLine", 400, "No files to show.", false},
    {"LongTextWrapsToTheWidth", 160,
     "There are no files here, and this sentence is far too long for one line.", true},
};

class EmptyText : public ::testing::TestWithParam<EmptyTextRow> {};

TEST_P(EmptyText, IsDrawnCentredBelowTheHeader) {
    const EmptyTextRow& row = GetParam();
    FileList list;
    ASSERT_TRUE(list.SetColumns(QString::fromLatin1(kHeading)));
    list.SetEmptyText(QString::fromLatin1(row.text));
    list.resize(row.width, 200);
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));

    QWidget* viewport = list.viewport();
    const QImage image = viewport->grab().toImage();
    const QRect ink = InkBox(image, list.palette().color(QPalette::Base));
    ASSERT_TRUE(ink.isValid()) << "nothing drawn";
    EXPECT_GE(ink.top(), 10);
    const double middle = viewport->width() / 2.0;
    EXPECT_NEAR((ink.left() + ink.right() + 1) / 2.0, middle, 4.0);
    const int lineHeight = list.fontMetrics().height();
    if (row.wraps) {
        EXPECT_GT(ink.height(), lineHeight + lineHeight / 2);
        EXPECT_LE(ink.width(), viewport->width());
    } else {
        EXPECT_LE(ink.height(), lineHeight);
    }
}

INSTANTIATE_TEST_SUITE_P(Texts, EmptyText, ::testing::ValuesIn(kEmptyTextRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(EmptyTextWithRows, IsNotDrawn) {
    TargetFileList list;
    ASSERT_TRUE(list.SetColumns(QString::fromLatin1(kHeading)));
    list.SetEmptyText(QStringLiteral("XXXXXXXXXXXXXXXXXXXX"));
    ASSERT_EQ(list.ShowListing(ListingOf({Record("one", 1, 2020, 1, 1)})), 0);
    list.resize(400, 200);
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    const QImage image = list.viewport()->grab().toImage();
    // Below the one row nothing is painted.
    const int rowBottom = list.visualItemRect(list.topLevelItem(0)).bottom();
    const QImage below =
        image.copy(0, rowBottom + 1, image.width(), image.height() - rowBottom - 1);
    EXPECT_FALSE(InkBox(below, list.palette().color(QPalette::Base)).isValid());
}

// ---- Row icons ------------------------------------------------------------------------

TEST(RowIcons, TheStripHasFourPicturesAndFourEmptyImages) {
    for (int image = 0; image < FileList::ImageCount; ++image) {
        EXPECT_EQ(FileList::StripImage(image).isNull(), image >= 4) << "image " << image;
    }
    std::vector<QImage> pictures;
    for (int image = 0; image < 4; ++image) {
        pictures.push_back(FileList::StripImage(image).pixmap(16, 16).toImage());
        EXPECT_EQ(pictures.back().size(), QSize(16, 16));
        for (int earlier = 0; earlier < image; ++earlier) {
            EXPECT_NE(pictures[static_cast<std::size_t>(earlier)], pictures.back())
                << earlier << " and " << image;
        }
    }
}

TEST(RowIcons, DocumentIsHighlightedWhileTheRowIsSelected) {
    TargetFileList list;
    ASSERT_TRUE(list.SetColumns(QString::fromLatin1(kHeading)));
    ASSERT_EQ(list.ShowListing(ListingOf({Record("a", 1, 2020, 1, 1), Record("b", 1, 2020, 1, 1)})),
              0);
    // Without the image list the rows have no pictures.
    EXPECT_TRUE(list.topLevelItem(0)->icon(0).isNull());
    list.ConfigureImages();
    const QImage document = FileList::StripImage(0).pixmap(16, 16).toImage();
    const QImage highlighted = FileList::StripImage(3).pixmap(16, 16).toImage();
    EXPECT_EQ(list.topLevelItem(0)->icon(0).pixmap(16, 16).toImage(), document);

    list.topLevelItem(1)->setSelected(true);
    EXPECT_EQ(list.SubItemImage(1, 0), FileList::ImageDocumentSelected);
    EXPECT_EQ(list.topLevelItem(1)->icon(0).pixmap(16, 16).toImage(), highlighted);
    EXPECT_EQ(list.SubItemImage(0, 0), FileList::ImageDocument);

    list.topLevelItem(1)->setSelected(false);
    EXPECT_EQ(list.SubItemImage(1, 0), FileList::ImageDocument);
    EXPECT_EQ(list.topLevelItem(1)->icon(0).pixmap(16, 16).toImage(), document);
}

// ---- Context menu ------------------------------------------------------------------------

class ContextMenu : public ::testing::Test {
protected:
    void SetUp() override {
        list.SetOwner(&owner);
        ASSERT_TRUE(list.SetColumns(QString::fromLatin1(kHeading)));
        ASSERT_EQ(list.ShowListing(ListingOf(
                      {Record("one.txt", 1, 2020, 1, 1), Record("two.txt", 1, 2020, 1, 1)})),
                  0);
        list.move(100, 100);
        list.resize(400, 200);
        list.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
        prompter.defaultAnswer = Prompter::Cancel;
    }

    void Request(QContextMenuEvent::Reason reason) {
        const QPoint local(50, 40);
        QContextMenuEvent event(reason, local, list.viewport()->mapToGlobal(local));
        QApplication::sendEvent(list.viewport(), &event);
    }

    FakeMainWindow owner;
    RecordingPrompter prompter;
    TargetFileList list;
};

TEST_F(ContextMenu, NothingWithoutASelection) {
    WithPopup([&] { Request(QContextMenuEvent::Mouse); },
              [](QMenu* menu) { EXPECT_EQ(menu, nullptr); });
    EXPECT_TRUE(prompter.messages.empty());
}

TEST_F(ContextMenu, OffersTheTranslatedDeleteEntryThatDeletes) {
    ASSERT_TRUE(owner.textsLoaded);
    list.topLevelItem(0)->setSelected(true);
    QStringList entries;
    WithPopup([&] { Request(QContextMenuEvent::Mouse); },
              [&](QMenu* menu) {
                  ASSERT_NE(menu, nullptr);
                  for (QAction* action : menu->actions()) {
                      entries << action->text();
                  }
                  ASSERT_EQ(menu->actions().size(), 1);
                  // Chosen as a user would: highlighted, then Enter.
                  menu->setActiveAction(menu->actions().first());
                  QTest::keyClick(menu, Qt::Key_Return);
              });
    EXPECT_EQ(entries, QStringList{owner.langReader.GetText(TextKeys::MNU_DELETE)});
    // The entry starts the same flow as the Delete key: its question.
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].text,
              owner.langReader.GetText(TextKeys::MSG_DELETE_ONE) + QStringLiteral("\ntwo.txt"));
}

TEST_F(ContextMenu, MenuKeyOpensNearTheTopLeftCorner) {
    list.topLevelItem(1)->setSelected(true);
    QPoint shownAt;
    WithPopup([&] { Request(QContextMenuEvent::Keyboard); },
              [&](QMenu* menu) {
                  ASSERT_NE(menu, nullptr);
                  shownAt = menu->pos();
              });
    EXPECT_EQ(shownAt, list.mapToGlobal(list.contentsRect().topLeft() + QPoint(5, 5)));
    EXPECT_TRUE(prompter.messages.empty());
}

// ---- Owner notification -----------------------------------------------------------------

TEST(NotifyOwner, SendsTheConfiguredMessageWithTheFileCount) {
    FakeMainWindow owner;
    FileList list;
    // Without a message nothing is sent.
    list.SetOwner(&owner);
    list.fileCount = 4;
    EXPECT_EQ(list.LoadDevice(), 1);
    EXPECT_EQ(list.LoadFolder(QStringLiteral("/")), 1);
    EXPECT_TRUE(owner.calls.empty());

    list.notifyMessage = MainWindowMessages::UM_DEVICE_LIST_STATE;
    EXPECT_EQ(list.LoadDevice(), 1);
    list.notifyMessage = MainWindowMessages::UM_LOCAL_LIST_STATE;
    list.NotifyOwner(1);
    ASSERT_EQ(owner.calls.size(), 2u);
    EXPECT_EQ(owner.calls[0].message, MainWindowMessages::UM_DEVICE_LIST_STATE);
    EXPECT_EQ(owner.calls[0].first, 4);
    EXPECT_EQ(owner.calls[0].second, 0);
    EXPECT_EQ(owner.calls[1].message, MainWindowMessages::UM_LOCAL_LIST_STATE);
    EXPECT_EQ(owner.calls[1].first, 4);
    EXPECT_EQ(owner.calls[1].second, 1);

    // Without an owner there is no one to tell.
    list.SetOwner(nullptr);
    list.NotifyOwner(1);
    EXPECT_EQ(owner.calls.size(), 2u);
}

} // namespace
