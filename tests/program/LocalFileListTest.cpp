// The local file list on real temporary folders: listing, hidden files, the
// file library "filelib.ini" beside the program with its marks, and the
// delete flow with its questions.
#include "LocalFileList.h"
#include "ByteSize.h"
#include "FakeMainWindow.h"
#include "ProgramFolder.h"
#include "RecordingPrompter.h"
#include "SortHeaderCtrl.h"
#include "TestFiles.h"
#include "TextKeys.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

namespace {

const char kHeading[] = "Name, 120;Size, 80;Date, 110;Attr, 40;";
// 2024-03-07 09:05:03 UTC.
constexpr std::time_t kStamp = 1709802303;

class LocalList : public ::testing::Test {
protected:
    void SetUp() override {
        const char* zone = std::getenv("TZ");
        if (zone != nullptr) {
            savedZone = zone;
            hadZone = true;
        }
        setenv("TZ", "UTC", 1);
        tzset();

        ASSERT_TRUE(temp.isValid());
        folder = QFileInfo(temp.path()).canonicalFilePath();
        section = folder + u'/';
        programFolder = ProgramFolder::Path();
        ASSERT_FALSE(programFolder.isEmpty()) << "the test program runs without its own folder";
        // Every test starts without a file library.
        QDir program(programFolder);
        for (const QString& name : program.entryList({QStringLiteral("filelib*")},
                                                     QDir::AllEntries | QDir::NoDotAndDotDot)) {
            QFileInfo info(program.filePath(name));
            if (info.isDir()) {
                QDir(info.filePath()).removeRecursively();
            } else {
                QFile::remove(info.filePath());
            }
        }
        ASSERT_TRUE(owner.textsLoaded);
        NewList();
    }

    // A new list, as the main window prepares it (the next run of the
    // program, when the one before has been destroyed).
    void NewList() {
        list = std::make_unique<LocalFileList>();
        list->SetOwner(&owner);
        ASSERT_TRUE(list->SetColumns(QString::fromLatin1(kHeading)));
        list->ConfigureImages();
    }

    void TearDown() override {
        list.reset();
        if (hadZone) {
            setenv("TZ", savedZone.c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }

    QString LibraryPath() const { return programFolder + QStringLiteral("/filelib.ini"); }

    void MakeFile(const QString& name, qint64 size = 10) {
        ASSERT_TRUE(TestFiles::Write(folder + u'/' + name, size)) << name.toStdString();
        ASSERT_TRUE(TestFiles::SetModified(folder + u'/' + name, kStamp));
    }

    void EnterServiceMode() {
        list->serviceMode = true;
        ASSERT_TRUE(list->SetColumns(QString::fromLatin1(kHeading)));
    }

    int RowOf(const QString& name) const {
        for (int row = 0; row < list->RowCount(); ++row) {
            if (list->RowText(row, 0) == name) {
                return row;
            }
        }
        return -1;
    }

    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (int row = 0; row < list->RowCount(); ++row) {
            names.push_back(list->RowText(row, 0).toStdString());
        }
        return names;
    }

    std::vector<FakeMainWindow::Call> States() const {
        return owner.CallsOf(MainWindowMessages::UM_LOCAL_LIST_STATE);
    }

    // The marks (images of columns 4 and 5) of the row `name`.
    std::pair<int, int> Marks(const QString& name) const {
        const int row = RowOf(name);
        return {list->SubItemImage(row, LocalFileList::HiddenColumn),
                list->SubItemImage(row, LocalFileList::ReadOnlyColumn)};
    }

    void ClickCell(const QString& name, int column) {
        const QModelIndex index = list->model()->index(RowOf(name), column);
        const QRect cell = list->visualRect(index);
        ASSERT_TRUE(cell.isValid());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    }

    void Select(const QStringList& names) {
        list->clearSelection();
        for (const QString& name : names) {
            const int row = RowOf(name);
            ASSERT_GE(row, 0) << name.toStdString();
            list->topLevelItem(row)->setSelected(true);
        }
    }

    QTemporaryDir temp;
    QString folder;
    QString section;
    QString programFolder;
    FakeMainWindow owner;
    RecordingPrompter prompter;
    std::unique_ptr<LocalFileList> list;

private:
    bool hadZone = false;
    std::string savedZone;
};

// ---- Listing ------------------------------------------------------------------------

TEST_F(LocalList, ListsTheFilesOfAFolderButNotItsSubFolders) {
    MakeFile(QStringLiteral("b.bin"), 900);
    MakeFile(QStringLiteral("A.txt"), 2048);
    MakeFile(QStringLiteral("c.DAT"), 12800);
    ASSERT_TRUE(TestFiles::SetReadOnly(folder + QStringLiteral("/c.DAT")));
    ASSERT_TRUE(QDir(folder).mkdir(QStringLiteral("sub")));
    ASSERT_TRUE(TestFiles::Write(folder + QStringLiteral("/sub/inner.txt"), 1));

    EXPECT_EQ(list->LoadFolder(folder), 1);
    // Sorted by name without regard to case.
    EXPECT_EQ(Names(), (std::vector<std::string>{"A.txt", "b.bin", "c.DAT"}));
    EXPECT_EQ(list->GetFileCount(), 3);
    const std::vector<std::string> sizes = {"2.00 KB", "900 bytes", "12.5 KB"};
    const std::vector<qint64> bytes = {2048, 900, 12800};
    const std::vector<std::string> attributes = {"", "", "r"};
    for (int row = 0; row < 3; ++row) {
        const auto index = static_cast<std::size_t>(row);
        EXPECT_EQ(list->RowText(row, 1).toStdString(), sizes[index]);
        EXPECT_EQ(list->RowItemData(row), bytes[index]);
        EXPECT_EQ(list->RowText(row, 2).toStdString(), "03/07/24  09:05:03");
        EXPECT_EQ(list->RowText(row, 3).toStdString(), attributes[index]);
    }
    ASSERT_EQ(States().size(), 1u);
    EXPECT_EQ(States()[0].first, 3);
    EXPECT_EQ(States()[0].second, 1);
    EXPECT_TRUE(owner.ProgramErrors().empty());
    // Outside service mode no file library is made.
    EXPECT_FALSE(QFileInfo::exists(LibraryPath()));
}

// The date column shows a file's last-write time as a local time of the
// zone the program runs in. Instants and local times are stated here, not
// computed: 2024-07-01 12:00:00 UTC is 14:00 summer time in Berlin, and
// 2024-01-01 12:00:00 UTC is 13:00 winter time.
struct DateRow {
    const char* name;
    const char* zone;
    std::time_t modified;
    const char* text;
};

const DateRow kDateRows[] = {
    {"SummerInUtc", "UTC", 1719835200, "07/01/24  12:00:00"},
    {"SummerInBerlin", "Europe/Berlin", 1719835200, "07/01/24  14:00:00"},
    {"WinterInUtc", "UTC", 1704110400, "01/01/24  12:00:00"},
    {"WinterInBerlin", "Europe/Berlin", 1704110400, "01/01/24  13:00:00"},
};

class LocalListDates : public LocalList, public ::testing::WithParamInterface<DateRow> {};

TEST_P(LocalListDates, ShowTheLastWriteTimeInTheLocalZone) {
    const DateRow& row = GetParam();
    ASSERT_TRUE(TestFiles::Write(folder + QStringLiteral("/a.bin"), 1));
    ASSERT_TRUE(TestFiles::SetModified(folder + QStringLiteral("/a.bin"), row.modified));
    const TestFiles::ScopedTimeZone zone(row.zone);
    ASSERT_EQ(list->LoadFolder(folder), 1);
    EXPECT_EQ(list->RowText(0, 2).toStdString(), row.text);
}

INSTANTIATE_TEST_SUITE_P(Zones, LocalListDates, ::testing::ValuesIn(kDateRows),
                         [](const auto& info) { return std::string(info.param.name); });

struct HiddenRow {
    const char* name;
    bool serviceMode;
    std::vector<std::string> rows;
};

const HiddenRow kHiddenRows[] = {
    {"NormalModeLeavesThemOut", false, {"visible.txt"}},
    {"ServiceModeShowsThem", true, {".hidden", "visible.txt"}},
};

class LocalListHidden : public LocalList, public ::testing::WithParamInterface<HiddenRow> {};

TEST_P(LocalListHidden, HiddenFilesOnlyInServiceMode) {
    const HiddenRow& row = GetParam();
    MakeFile(QStringLiteral("visible.txt"));
    MakeFile(QStringLiteral(".hidden"));
    list->serviceMode = row.serviceMode;
    ASSERT_TRUE(list->SetColumns(QString::fromLatin1(kHeading)));
    list->LoadFolder(folder);
    EXPECT_EQ(Names(), row.rows);
    EXPECT_EQ(list->GetFileCount(), static_cast<int>(row.rows.size()));
    const int hidden = RowOf(QStringLiteral(".hidden"));
    if (hidden >= 0) {
        EXPECT_EQ(list->RowText(hidden, 3).toStdString(), "h");
    }
    EXPECT_EQ(list->RowText(RowOf(QStringLiteral("visible.txt")), 3).toStdString(), "");
}

INSTANTIATE_TEST_SUITE_P(Modes, LocalListHidden, ::testing::ValuesIn(kHiddenRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(LocalList, EmptyFolderShowsTheEmptyTextWithoutError) {
    list->SetEmptyText(QStringLiteral("before"));
    EXPECT_EQ(list->LoadFolder(folder), 0);
    EXPECT_EQ(list->RowCount(), 0);
    EXPECT_EQ(list->GetFileCount(), 0);
    EXPECT_EQ(list->emptyText, owner.errReader.GetText(TextKeys::HDR_EMPTY));
    EXPECT_NE(list->emptyText, QString::fromLatin1(TextKeys::HDR_EMPTY));
    EXPECT_TRUE(owner.ProgramErrors().empty());
    ASSERT_EQ(States().size(), 1u);
    EXPECT_EQ(States()[0].first, 0);
    EXPECT_EQ(States()[0].second, 1);
}

struct MissingRow {
    const char* name;
    const char* path;
    int code;
};

const MissingRow kMissingRows[] = {
    {"FolderDoesNotExist", "/nothing/here", 3},
    {"PathNamesAFile", "/plain.txt", 3},
};

class LocalListMissing : public LocalList, public ::testing::WithParamInterface<MissingRow> {};

TEST_P(LocalListMissing, ReportsTheSystemErrorAndListsNothing) {
    const MissingRow& row = GetParam();
    MakeFile(QStringLiteral("plain.txt"));
    ASSERT_EQ(list->LoadFolder(folder), 1);
    owner.ClearCalls();
    list->SetEmptyText(QStringLiteral("before"));

    EXPECT_EQ(list->LoadFolder(folder + QString::fromLatin1(row.path)), 0);
    EXPECT_EQ(list->RowCount(), 0);
    EXPECT_EQ(owner.ProgramErrors(), std::vector<int>{row.code});
    ASSERT_EQ(States().size(), 1u);
    EXPECT_EQ(States()[0].first, 0);
    EXPECT_EQ(States()[0].second, 1);
    EXPECT_EQ(list->emptyText, QStringLiteral("before"));
}

INSTANTIATE_TEST_SUITE_P(Paths, LocalListMissing, ::testing::ValuesIn(kMissingRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(LocalList, FolderEndsWithOneSlashEitherWay) {
    MakeFile(QStringLiteral("a"));
    list->LoadFolder(folder);
    EXPECT_EQ(list->GetFolder(), section);
    list->LoadFolder(section);
    EXPECT_EQ(list->GetFolder(), section);
    EXPECT_EQ(list->RowCount(), 1);
}

TEST_F(LocalList, RefreshListsTheSameFolderAgain) {
    // Before the first load there is no folder to list.
    EXPECT_EQ(list->Refresh(), 0);
    EXPECT_TRUE(owner.calls.empty());

    MakeFile(QStringLiteral("one"));
    list->LoadFolder(folder);
    MakeFile(QStringLiteral("two"));
    EXPECT_EQ(list->Refresh(), 1);
    EXPECT_EQ(Names(), (std::vector<std::string>{"one", "two"}));
    EXPECT_EQ(States().size(), 2u);
}

struct MarkColumnsRow {
    const char* name;
    bool serviceMode;
    const char* heading;
    std::vector<std::string> titles;
};

const MarkColumnsRow kMarkColumnsRows[] = {
    {"NormalModeTakesTheHeadingAsItIs", false, kHeading, {"Name", "Size", "Date", "Attr"}},
    {"ServiceModeAddsTheMarks", true, kHeading, {"Name", "Size", "Date", "Attr", "H", "R"}},
    {"MarksFollowAPairWithoutItsSemicolon",
     true,
     "Name,120;Size,80;Date,110;Attr,40",
     {"Name", "Size", "Date", "Attr", "H", "R"}},
};

class LocalListColumns : public LocalList, public ::testing::WithParamInterface<MarkColumnsRow> {};

TEST_P(LocalListColumns, ServiceModeHasTheTwoMarkColumns) {
    const MarkColumnsRow& row = GetParam();
    list->serviceMode = row.serviceMode;
    ASSERT_TRUE(list->SetColumns(QString::fromLatin1(row.heading)));
    std::vector<std::string> titles;
    for (int column = 0; column < list->columnCount; ++column) {
        titles.push_back(list->headerItem()->text(column).toStdString());
    }
    EXPECT_EQ(titles, row.titles);
}

INSTANTIATE_TEST_SUITE_P(Headings, LocalListColumns, ::testing::ValuesIn(kMarkColumnsRows),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- File library ---------------------------------------------------------------------

TEST_F(LocalList, FirstServiceModeListingCreatesTheLibrary) {
    MakeFile(QStringLiteral("A.TXT"));
    EnterServiceMode();
    ASSERT_FALSE(QFileInfo::exists(LibraryPath()));

    EXPECT_EQ(list->LoadFolder(folder), 1);
    EXPECT_TRUE(QFileInfo::exists(LibraryPath()));
    EXPECT_EQ(list->fileLibrary.ReadValue(section, QStringLiteral("A.TXT"), QString()),
              QStringLiteral("22"));
    EXPECT_EQ(Marks(QStringLiteral("A.TXT")),
              std::make_pair(int(FileList::ImageEmptyBox), int(FileList::ImageEmptyBox)));
    // The marks stand right after the name and keep their width.
    QHeaderView* heading = list->header();
    EXPECT_EQ(heading->visualIndex(LocalFileList::HiddenColumn), 1);
    EXPECT_EQ(heading->visualIndex(LocalFileList::ReadOnlyColumn), 2);
    EXPECT_EQ(heading->visualIndex(1), 3);
    EXPECT_EQ(heading->sectionResizeMode(LocalFileList::HiddenColumn), QHeaderView::Fixed);
    EXPECT_EQ(heading->sectionResizeMode(LocalFileList::ReadOnlyColumn), QHeaderView::Fixed);
    EXPECT_EQ(heading->sectionResizeMode(0), QHeaderView::Interactive);

    list.reset();
    EXPECT_EQ(TestFiles::ReadText(LibraryPath()), QStringLiteral("[%1]\nA.TXT=22\n").arg(section));
}

TEST_F(LocalList, StoredMarksAreShown) {
    MakeFile(QStringLiteral("A.TXT"));
    ASSERT_TRUE(
        TestFiles::WriteText(LibraryPath(), QStringLiteral("[%1]\nA.TXT=21\n").arg(section)));
    EnterServiceMode();
    list->LoadFolder(folder);
    EXPECT_EQ(Marks(QStringLiteral("A.TXT")),
              std::make_pair(int(FileList::ImageEmptyBox), int(FileList::ImageTicked)));
}

TEST_F(LocalList, ClickTogglesAMarkAndTheLibraryTakesIt) {
    MakeFile(QStringLiteral("A.TXT"));
    MakeFile(QStringLiteral("B.TXT"));
    ASSERT_TRUE(
        TestFiles::WriteText(LibraryPath(), QStringLiteral("[%1]\nA.TXT=21\n").arg(section)));
    EnterServiceMode();
    list->LoadFolder(folder);
    list->resize(600, 300);
    list->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(list.get()));

    ClickCell(QStringLiteral("A.TXT"), LocalFileList::HiddenColumn);
    EXPECT_EQ(Marks(QStringLiteral("A.TXT")),
              std::make_pair(int(FileList::ImageTicked), int(FileList::ImageTicked)));
    ClickCell(QStringLiteral("B.TXT"), LocalFileList::ReadOnlyColumn);
    ClickCell(QStringLiteral("B.TXT"), LocalFileList::ReadOnlyColumn);
    ClickCell(QStringLiteral("B.TXT"), LocalFileList::ReadOnlyColumn);
    EXPECT_EQ(Marks(QStringLiteral("B.TXT")),
              std::make_pair(int(FileList::ImageEmptyBox), int(FileList::ImageTicked)));
    // A click on the name changes no mark.
    ClickCell(QStringLiteral("A.TXT"), 0);
    EXPECT_EQ(Marks(QStringLiteral("A.TXT")),
              std::make_pair(int(FileList::ImageTicked), int(FileList::ImageTicked)));

    // The library changes only with UpdateFileLibrary.
    EXPECT_EQ(list->fileLibrary.ReadValue(section, QStringLiteral("A.TXT"), QString()),
              QStringLiteral("21"));
    EXPECT_TRUE(list->UpdateFileLibrary());
    EXPECT_EQ(list->fileLibrary.ReadValue(section, QStringLiteral("A.TXT"), QString()),
              QStringLiteral("11"));
    EXPECT_EQ(list->fileLibrary.ReadValue(section, QStringLiteral("B.TXT"), QString()),
              QStringLiteral("21"));
    list.reset();
    EXPECT_EQ(TestFiles::ReadText(LibraryPath()),
              QStringLiteral("[%1]\nA.TXT=11\nB.TXT=21\n").arg(section));
}

TEST_F(LocalList, EntriesOfVanishedFilesAreRemoved) {
    MakeFile(QStringLiteral("A.TXT"));
    ASSERT_TRUE(TestFiles::WriteText(
        LibraryPath(),
        QStringLiteral("[/elsewhere/]\nGONE.TXT=11\n[%1]\nGONE.TXT=11\nA.TXT=21\n").arg(section)));
    EnterServiceMode();
    list->LoadFolder(folder);
    EXPECT_EQ(list->fileLibrary.ReadValue(section, QStringLiteral("GONE.TXT"), QStringLiteral("-")),
              QStringLiteral("-"));
    EXPECT_EQ(list->fileLibrary.ReadValue(section, QStringLiteral("A.TXT"), QString()),
              QStringLiteral("21"));
    // Other folders keep their entries.
    EXPECT_EQ(list->fileLibrary.ReadValue(QStringLiteral("/elsewhere/"), QStringLiteral("GONE.TXT"),
                                          QString()),
              QStringLiteral("11"));
    list.reset();
    EXPECT_EQ(TestFiles::ReadText(LibraryPath()),
              QStringLiteral("[/elsewhere/]\nGONE.TXT=11\n[%1]\nA.TXT=21\n").arg(section));
}

// Names are compared with letter case: one folder may hold "A.TXT" and
// "a.txt", and two folders may differ only in case.
TEST_F(LocalList, NamesDifferingInCaseKeepTheirOwnMarks) {
    MakeFile(QStringLiteral("A.TXT"));
    MakeFile(QStringLiteral("a.txt"));
    const QString before = QStringLiteral("[%1]\nA.TXT=11\na.txt=21\n").arg(section);
    ASSERT_TRUE(TestFiles::WriteText(LibraryPath(), before));
    EnterServiceMode();
    list->LoadFolder(folder);
    EXPECT_EQ(Marks(QStringLiteral("A.TXT")), std::make_pair(1, 1));
    EXPECT_EQ(Marks(QStringLiteral("a.txt")), std::make_pair(2, 1));
    list.reset();
    EXPECT_EQ(TestFiles::ReadText(LibraryPath()), before);
}

TEST_F(LocalList, FoldersDifferingInCaseKeepTheirOwnSections) {
    const QString lower = folder + QStringLiteral("/dir");
    const QString upper = folder + QStringLiteral("/Dir");
    ASSERT_TRUE(QDir().mkpath(lower));
    ASSERT_TRUE(QDir().mkpath(upper));
    ASSERT_TRUE(TestFiles::Write(lower + QStringLiteral("/LOW.TXT"), 1));
    ASSERT_TRUE(TestFiles::Write(upper + QStringLiteral("/UP.TXT"), 1));
    const QString before =
        QStringLiteral("[%1/]\nLOW.TXT=11\n[%2/]\nUP.TXT=21\n").arg(lower, upper);
    ASSERT_TRUE(TestFiles::WriteText(LibraryPath(), before));
    EnterServiceMode();
    // Entering service mode in "Dir" must not take "dir"'s entries for its
    // own stale ones.
    list->LoadFolder(upper);
    EXPECT_EQ(Marks(QStringLiteral("UP.TXT")), std::make_pair(2, 1));
    list->LoadFolder(lower);
    EXPECT_EQ(Marks(QStringLiteral("LOW.TXT")), std::make_pair(1, 1));
    list.reset();
    EXPECT_EQ(TestFiles::ReadText(LibraryPath()), before);
}

// A library written when names were compared without letter case: an entry
// that names a file only without regard to case still gives that file its
// marks, unless it is another file's own entry. The cleanup at the start of
// service mode moves such an entry to the file's own name.
struct OldEntryRow {
    const char* name;
    std::vector<const char*> files;
    const char* entries;                    // the folder's lines in the library
    std::vector<std::pair<int, int>> marks; // per file, in the order of `files`
    const char* written;                    // the folder's lines at the end
};

const OldEntryRow kOldEntryRows[] = {
    {"OtherCaseOnly", {"A.TXT"}, "a.txt=11\n", {{1, 1}}, "A.TXT=11\n"},
    {"LastOfSeveralCounts", {"A.TXT"}, "a.txt=11\nA.txt=21\n", {{2, 1}}, "A.TXT=21\n"},
    {"OwnEntryWins", {"A.TXT"}, "A.TXT=21\na.txt=11\n", {{2, 1}}, "A.TXT=21\n"},
    {"AnotherFilesOwnEntryIsNotTaken",
     {"A.TXT", "a.txt"},
     "A.TXT=11\n",
     {{1, 1}, {2, 2}},
     "A.TXT=11\na.txt=22\n"},
    {"NoFileOfThatNameInAnyCase", {"A.TXT"}, "B.TXT=11\n", {{2, 2}}, "A.TXT=22\n"},
};

class LocalListOldEntries : public LocalList, public ::testing::WithParamInterface<OldEntryRow> {};

TEST_P(LocalListOldEntries, ApplyToTheFileOfThatNameInAnotherCase) {
    const OldEntryRow& row = GetParam();
    for (const char* file : row.files) {
        MakeFile(QString::fromLatin1(file));
    }
    ASSERT_TRUE(TestFiles::WriteText(
        LibraryPath(), QStringLiteral("[%1]\n%2").arg(section, QString::fromLatin1(row.entries))));
    EnterServiceMode();
    list->LoadFolder(folder);
    for (std::size_t i = 0; i < row.files.size(); ++i) {
        EXPECT_EQ(Marks(QString::fromLatin1(row.files[i])), row.marks[i]) << row.files[i];
    }
    list.reset();
    EXPECT_EQ(TestFiles::ReadText(LibraryPath()),
              QStringLiteral("[%1]\n%2").arg(section, QString::fromLatin1(row.written)));
}

INSTANTIATE_TEST_SUITE_P(Libraries, LocalListOldEntries, ::testing::ValuesIn(kOldEntryRows),
                         [](const auto& info) { return std::string(info.param.name); });

// A folder listed later in the run gets no cleanup; an old entry of another
// letter case applies to its file all the same.
TEST_F(LocalList, OldEntryOfAFolderListedLaterApplies) {
    const QString second = folder + QStringLiteral("/second");
    ASSERT_TRUE(QDir().mkpath(second));
    ASSERT_TRUE(TestFiles::Write(second + QStringLiteral("/A.TXT"), 1));
    MakeFile(QStringLiteral("first.txt"));
    ASSERT_TRUE(
        TestFiles::WriteText(LibraryPath(), QStringLiteral("[%1/]\na.txt=12\n").arg(second)));
    EnterServiceMode();
    list->LoadFolder(folder);
    list->LoadFolder(second);
    EXPECT_EQ(Marks(QStringLiteral("A.TXT")), std::make_pair(1, 2));
}

// Entering service mode while the folder is not there (a stick that is not
// mounted) leaves the folder's marks alone; nothing changed, so nothing is
// written and no backup is made.
TEST_F(LocalList, MissingFolderKeepsItsMarks) {
    const QString gone = folder + QStringLiteral("/stick");
    const QString before = QStringLiteral("[%1/]\nA.TXT=11\nB.TXT=21\n").arg(gone);
    ASSERT_TRUE(TestFiles::WriteText(LibraryPath(), before));
    EnterServiceMode();
    EXPECT_EQ(list->LoadFolder(gone), 0);
    EXPECT_EQ(owner.ProgramErrors(), std::vector<int>{3});
    EXPECT_EQ(list->fileLibrary.ReadValue(gone + u'/', QStringLiteral("A.TXT"), QString()),
              QStringLiteral("11"));
    list.reset();
    EXPECT_EQ(TestFiles::ReadText(LibraryPath()), before);
    EXPECT_EQ(QDir(programFolder).entryList({QStringLiteral("filelib*")}, QDir::Files),
              QStringList{QStringLiteral("filelib.ini")});
}

// The numbered backup holds the library as it was when the run began, not
// the file the list has just written at its end.
TEST_F(LocalList, BackupHoldsTheLibraryAsItWasBeforeTheRun) {
    MakeFile(QStringLiteral("A.TXT"));
    const QString before = QStringLiteral("[%1]\nA.TXT=21\nGONE.TXT=11\n").arg(section);
    ASSERT_TRUE(TestFiles::WriteText(LibraryPath(), before));
    EnterServiceMode();
    list->LoadFolder(folder);
    list.reset();
    EXPECT_EQ(TestFiles::ReadText(LibraryPath()), QStringLiteral("[%1]\nA.TXT=21\n").arg(section));
    EXPECT_EQ(TestFiles::ReadText(LibraryPath() + QStringLiteral(".001")), before);
}

// Names that hold "=", a line feed or a carriage return are stored escaped,
// so that they read back exactly and never break a line of the library.
struct OddNameRow {
    const char* name;
    const char* file;
    const char* key;
};

const OddNameRow kOddNameRows[] = {
    {"EqualsSign", "a=b.txt", "/a%3Db.txt"},
    {"LineFeed", "two\nlines", "/two%0Alines"},
    {"LineFeedBeforeAHeader", "x\n[y]", "/x%0A[y]"},
    {"CarriageReturn", "cr\rname", "/cr%0Dname"},
    {"PercentBesideAnEscape", "50%=half", "/50%25%3Dhalf"},
    {"PercentAloneIsPlain", "100%.txt", "100%.txt"},
    {"EscapeLookalikeIsPlain", "%3D", "%3D"},
};

class LocalListOddNames : public LocalList, public ::testing::WithParamInterface<OddNameRow> {};

TEST_P(LocalListOddNames, KeepTheirMarksAcrossRuns) {
    const OddNameRow& row = GetParam();
    const QString name = QString::fromLatin1(row.file);
    MakeFile(name);
    // Listed after every odd name.
    MakeFile(QStringLiteral("zz.plain"));
    list->pendingAttributes.append({name, 1, 0});
    EnterServiceMode();
    list->LoadFolder(folder);
    ASSERT_EQ(Marks(name), std::make_pair(1, 2));
    list.reset();
    EXPECT_EQ(
        TestFiles::ReadText(LibraryPath()),
        QStringLiteral("[%1]\n%2=12\nzz.plain=22\n").arg(section, QString::fromLatin1(row.key)));

    // The next run reads the marks back.
    NewList();
    EnterServiceMode();
    list->LoadFolder(folder);
    EXPECT_EQ(Names().size(), 2u);
    EXPECT_EQ(Marks(name), std::make_pair(1, 2));
    EXPECT_EQ(Marks(QStringLiteral("zz.plain")), std::make_pair(2, 2));
}

INSTANTIATE_TEST_SUITE_P(Names, LocalListOddNames, ::testing::ValuesIn(kOddNameRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(LocalList, FolderWithALineBreakGetsAnEscapedSection) {
    const QString odd = folder + QStringLiteral("/a\nb%");
    ASSERT_TRUE(QDir().mkpath(odd));
    ASSERT_TRUE(TestFiles::Write(odd + QStringLiteral("/F.TXT"), 1));
    list->pendingAttributes.append({QStringLiteral("F.TXT"), 0, 1});
    EnterServiceMode();
    list->LoadFolder(odd);
    list.reset();
    EXPECT_EQ(TestFiles::ReadText(LibraryPath()),
              u'[' + folder + QStringLiteral("/a%0Ab%25/%]\nF.TXT=21\n"));

    NewList();
    EnterServiceMode();
    list->LoadFolder(odd);
    EXPECT_EQ(Marks(QStringLiteral("F.TXT")), std::make_pair(2, 1));
}

struct PendingRow {
    const char* name;
    std::vector<const char*> files;
    LocalFileList::PendingAttribute entry;
    // The marks each file shows afterwards, in the order of `files`.
    std::vector<std::pair<int, int>> marks;
};

const PendingRow kPendingRows[] = {
    {"HiddenAndReadOnly", {"A.TXT"}, {QStringLiteral("A.TXT"), 1, 1}, {{1, 1}}},
    {"ReadOnlyOnly", {"A.TXT"}, {QStringLiteral("A.TXT"), 0, 1}, {{2, 1}}},
    {"NameDiffersInCase", {"a.txt"}, {QStringLiteral("A.TXT"), 1, 0}, {{1, 2}}},
    {"NeverARowThatMerelyBeginsWithTheName",
     {"A.TXT.BAK", "A.TXTX"},
     {QStringLiteral("A.TXT"), 1, 1},
     {{2, 2}, {2, 2}}},
    {"OnlyTheRowOfThatName",
     {"A.TXT", "A.TXT.BAK"},
     {QStringLiteral("A.TXT"), 1, 1},
     {{1, 1}, {2, 2}}},
};

class LocalListPending : public LocalList, public ::testing::WithParamInterface<PendingRow> {};

TEST_P(LocalListPending, MarksOfCopiedFilesAreAppliedAtTheNextServiceListing) {
    const PendingRow& row = GetParam();
    for (const char* file : row.files) {
        MakeFile(QString::fromLatin1(file));
    }
    list->pendingAttributes.append(row.entry);
    // Outside service mode the entry waits.
    ASSERT_TRUE(list->SetColumns(QString::fromLatin1(kHeading)));
    list->LoadFolder(folder);
    EXPECT_EQ(list->pendingAttributes.size(), 1);

    EnterServiceMode();
    list->LoadFolder(folder);
    EXPECT_TRUE(list->pendingAttributes.isEmpty());
    const QString expected =
        QStringLiteral("%1%2").arg(row.entry.hidden ? 1 : 2).arg(row.entry.readOnly ? 1 : 2);
    EXPECT_EQ(list->fileLibrary.ReadValue(section, row.entry.name, QString()), expected);
    for (std::size_t i = 0; i < row.files.size(); ++i) {
        EXPECT_EQ(Marks(QString::fromLatin1(row.files[i])), row.marks[i]) << row.files[i];
    }
}

INSTANTIATE_TEST_SUITE_P(Entries, LocalListPending, ::testing::ValuesIn(kPendingRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(LocalList, DeletedLibraryStartsAgain) {
    MakeFile(QStringLiteral("A.TXT"));
    ASSERT_TRUE(
        TestFiles::WriteText(LibraryPath(), QStringLiteral("[%1]\nA.TXT=11\n").arg(section)));
    EnterServiceMode();
    list->LoadFolder(folder);
    ASSERT_EQ(Marks(QStringLiteral("A.TXT")), std::make_pair(1, 1));

    EXPECT_TRUE(list->DeleteFileLibrary());
    EXPECT_FALSE(QFileInfo::exists(LibraryPath()));
    list->Refresh();
    EXPECT_TRUE(QFileInfo::exists(LibraryPath()));
    EXPECT_EQ(Marks(QStringLiteral("A.TXT")), std::make_pair(2, 2));
}

TEST_F(LocalList, LibraryThatCannotBeOpenedStopsTheListing) {
    MakeFile(QStringLiteral("A.TXT"));
    // A folder where the library file should be cannot be opened as a file.
    ASSERT_TRUE(QDir(programFolder).mkdir(QStringLiteral("filelib.ini")));
    EnterServiceMode();
    EXPECT_EQ(list->LoadFolder(folder), 0);
    EXPECT_EQ(list->RowCount(), 0);
    EXPECT_EQ(owner.ProgramErrors(), std::vector<int>{LocalFileList::ErrorFileCacheNotFound});
    ASSERT_EQ(States().size(), 1u);
    EXPECT_EQ(States()[0].first, 0);
    EXPECT_EQ(States()[0].second, 0);
}

TEST_F(LocalList, UnreadableMarksAtTheEndAreReported) {
    MakeFile(QStringLiteral("A.TXT"));
    ASSERT_TRUE(list->SetColumns(QString::fromLatin1(kHeading)));
    list->LoadFolder(folder);
    // Service mode switched on after the rows were listed without marks.
    list->serviceMode = true;
    EXPECT_FALSE(list->UpdateFileLibrary());
    owner.ClearCalls();
    list.reset();
    EXPECT_EQ(owner.ProgramErrors(), std::vector<int>{LocalFileList::ErrorFileCacheUpdate});
}

TEST_F(LocalList, NoReportWhenTheMarksAreWritten) {
    MakeFile(QStringLiteral("A.TXT"));
    EnterServiceMode();
    list->LoadFolder(folder);
    owner.ClearCalls();
    list.reset();
    EXPECT_TRUE(owner.ProgramErrors().empty());
}

// ---- Keys and deleting -------------------------------------------------------------------

struct DeleteOneRow {
    const char* name;
    int answer;
    bool deleted;
};

const DeleteOneRow kDeleteOneRows[] = {
    {"OkDeletes", Prompter::Ok, true},
    {"CancelKeeps", Prompter::Cancel, false},
};

class LocalListDeleteOne : public LocalList, public ::testing::WithParamInterface<DeleteOneRow> {};

TEST_P(LocalListDeleteOne, AsksWithTheFileName) {
    const DeleteOneRow& row = GetParam();
    MakeFile(QStringLiteral("a.bin"));
    MakeFile(QStringLiteral("b.bin"));
    list->LoadFolder(folder);
    Select({QStringLiteral("b.bin")});
    owner.ClearCalls();
    prompter.answers.push_back(row.answer);

    QTest::keyClick(list.get(), Qt::Key_Delete);

    ASSERT_EQ(prompter.messages.size(), 1u);
    const RecordingPrompter::Shown& question = prompter.messages[0];
    EXPECT_EQ(question.text,
              owner.langReader.GetText(TextKeys::MSG_DELETE_ONE) + QStringLiteral("\nb.bin"));
    EXPECT_EQ(question.caption, owner.langReader.GetText(TextKeys::MSG_CAPTION));
    EXPECT_EQ(question.icon, Prompter::Icon::Question);
    EXPECT_EQ(question.buttons, Prompter::Buttons::OkCancel);
    EXPECT_EQ(QFileInfo::exists(folder + QStringLiteral("/b.bin")), !row.deleted);
    EXPECT_TRUE(QFileInfo::exists(folder + QStringLiteral("/a.bin")));
    const std::vector<std::string> expected = row.deleted
                                                  ? std::vector<std::string>{"a.bin"}
                                                  : std::vector<std::string>{"a.bin", "b.bin"};
    EXPECT_EQ(Names(), expected);
    EXPECT_EQ(States().size(), row.deleted ? 1u : 0u);
    EXPECT_TRUE(owner.ProgramErrors().empty());
}

INSTANTIATE_TEST_SUITE_P(Answers, LocalListDeleteOne, ::testing::ValuesIn(kDeleteOneRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(LocalList, DeletesSeveralFilesAfterOneQuestion) {
    for (const char* name : {"a", "b", "c", "d"}) {
        MakeFile(QString::fromLatin1(name));
    }
    list->LoadFolder(folder);
    Select({QStringLiteral("b"), QStringLiteral("d")});
    owner.ClearCalls();
    list->RunCommand(FileList::ID_DELETE_COMMAND);

    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].text, owner.langReader.GetText(TextKeys::MSG_DELETE_MANY));
    EXPECT_EQ(prompter.messages[0].caption, owner.langReader.GetText(TextKeys::MSG_CAPTION));
    EXPECT_EQ(Names(), (std::vector<std::string>{"a", "c"}));
    // One reload at the end.
    EXPECT_EQ(States().size(), 1u);
}

TEST_F(LocalList, ReadOnlyFileIsRefusedAsAccessDenied) {
    MakeFile(QStringLiteral("locked"));
    MakeFile(QStringLiteral("open"));
    ASSERT_TRUE(TestFiles::SetReadOnly(folder + QStringLiteral("/locked")));
    list->LoadFolder(folder);
    Select({QStringLiteral("locked"), QStringLiteral("open")});
    owner.ClearCalls();
    list->RunCommand(FileList::ID_DELETE_COMMAND);

    EXPECT_EQ(owner.ProgramErrors(), std::vector<int>{5});
    EXPECT_TRUE(QFileInfo::exists(folder + QStringLiteral("/locked")));
    EXPECT_FALSE(QFileInfo::exists(folder + QStringLiteral("/open")));
    EXPECT_EQ(Names(), std::vector<std::string>{"locked"});
}

TEST_F(LocalList, FileGoneMeanwhileIsReported) {
    MakeFile(QStringLiteral("gone"));
    list->LoadFolder(folder);
    Select({QStringLiteral("gone")});
    ASSERT_TRUE(QFile::remove(folder + QStringLiteral("/gone")));
    owner.ClearCalls();
    list->RunCommand(FileList::ID_DELETE_COMMAND);
    EXPECT_EQ(owner.ProgramErrors(), std::vector<int>{2});
    EXPECT_EQ(list->RowCount(), 0);
}

TEST_F(LocalList, DeleteKeyWithoutSelectionAsksNothing) {
    MakeFile(QStringLiteral("a"));
    list->LoadFolder(folder);
    list->clearSelection();
    QTest::keyClick(list.get(), Qt::Key_Delete);
    EXPECT_TRUE(prompter.messages.empty());
    EXPECT_TRUE(QFileInfo::exists(folder + QStringLiteral("/a")));
}

TEST_F(LocalList, LeftArrowStartsTheCopyToTheDevice) {
    MakeFile(QStringLiteral("a"));
    MakeFile(QStringLiteral("b"));
    list->LoadFolder(folder);
    QTest::keyClick(list.get(), Qt::Key_Left);
    EXPECT_EQ(owner.copyToDeviceCalls, 1);
    EXPECT_EQ(owner.copyFromDeviceCalls, 0);
    QTest::keyClick(list.get(), Qt::Key_Right);
    EXPECT_EQ(owner.copyToDeviceCalls, 1);
}

} // namespace
