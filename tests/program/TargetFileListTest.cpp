// The device file list against the device emulator, served on a real
// pseudo-terminal that the library opens as a COM port through TRELM_PORTS.
#include "TargetFileList.h"
#include "FakeMainWindow.h"
#include "RecordingPrompter.h"
#include "TestFiles.h"
#include "TextKeys.h"

#include "devsim/CommandTable.h"
#include "devsim/Device.h"
#include "devsim/PtyServer.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <QThread>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr unsigned kCom = 7;
const char kHeading[] = "Name, 120;Size, 80;Date, 110;Attr, 40;";

devsim::Timestamp Stamp(int year, int month, int day, int hour, int minute, int second) {
    devsim::Timestamp stamp;
    stamp.year = static_cast<std::uint16_t>(year);
    stamp.month = static_cast<std::uint8_t>(month);
    stamp.day = static_cast<std::uint8_t>(day);
    stamp.hour = static_cast<std::uint8_t>(hour);
    stamp.minute = static_cast<std::uint8_t>(minute);
    stamp.second = static_cast<std::uint8_t>(second);
    return stamp;
}

devsim::NvFile File(const char* name, std::size_t size, std::uint16_t attributes = 0,
                    devsim::Timestamp created = Stamp(2024, 3, 7, 9, 5, 3)) {
    devsim::NvFile file;
    file.name = name;
    file.data.assign(size, 0x5A);
    file.created = created;
    file.modified = Stamp(2024, 4, 1, 10, 0, 0);
    file.attributes = attributes;
    return file;
}

class DeviceList : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(ports.isValid());
        std::string error;
        ASSERT_TRUE(server.start(&error)) << error;
        ASSERT_TRUE(server.linkInto(ports.path().toStdString(), kCom, &error)) << error;
        setenv("TRELM_PORTS", ports.path().toLocal8Bit().constData(), 1);
        ASSERT_EQ(TRELM_Init(kCom, TRELM_DEFAULT_MODE), 0u);
        ASSERT_TRUE(owner.textsLoaded);
        list.SetOwner(&owner);
        list.SetLink(&link);
        ASSERT_TRUE(list.SetColumns(QString::fromLatin1(kHeading)));
    }

    void TearDown() override {
        server.stop();
        unsetenv("TRELM_PORTS");
    }

    void Put(const devsim::NvFile& file) {
        std::string error;
        ASSERT_TRUE(device.putFile(file, &error)) << error;
    }

    std::vector<std::string> Column(int column) const {
        std::vector<std::string> texts;
        for (int row = 0; row < list.RowCount(); ++row) {
            texts.push_back(list.RowText(row, column).toStdString());
        }
        return texts;
    }

    std::vector<FakeMainWindow::Call> States() const {
        return owner.CallsOf(MainWindowMessages::UM_DEVICE_LIST_STATE);
    }

    void SelectAll() {
        for (int row = 0; row < list.RowCount(); ++row) {
            list.topLevelItem(row)->setSelected(true);
        }
    }

    void SelectName(const char* name) {
        list.clearSelection();
        for (int row = 0; row < list.RowCount(); ++row) {
            if (list.RowText(row, 0) == QLatin1String(name)) {
                list.topLevelItem(row)->setSelected(true);
            }
        }
        ASSERT_EQ(list.SelectedRows().size(), 1) << name;
    }

    // Starts a load of the list (Load or Refresh) and waits for its answer.
    int Await(void (TargetFileList::*start)(TargetFileList::LoadDone)) {
        int answer = -1;
        bool answered = false;
        (list.*start)([&](int result) {
            answer = result;
            answered = true;
        });
        EXPECT_TRUE(QTest::qWaitFor([&] { return answered; }, 20000));
        return answer;
    }
    int Load() { return Await(&TargetFileList::Load); }
    int Refresh() { return Await(&TargetFileList::Refresh); }

    // Waits until the link has answered everything (a delete run and its
    // reload).
    void Settle() {
        ASSERT_TRUE(QTest::qWaitFor([&] { return !link.IsBusy(); }, 20000));
    }

    std::uint64_t Deletes() const {
        return device.requestCount(devsim::cmd::DeleteNvFile) +
               device.requestCount(devsim::cmd::DeleteWriteProtectedNvFile);
    }

    QTemporaryDir ports;
    devsim::Device device;
    devsim::PtyServer server{device};
    FakeMainWindow owner;
    RecordingPrompter prompter;
    DeviceLink link;
    TargetFileList list;
};

// ---- Loading --------------------------------------------------------------------------

struct ListingRow {
    const char* name;
    bool serviceMode;
    std::vector<std::string> names;
    std::vector<std::string> sizes;
    std::vector<std::string> letters;
};

const ListingRow kListingRows[] = {
    {"PlainListingLeavesHiddenFilesOut",
     false,
     {"c.dat", "b.bin", "a.txt"},
     {"12.5 KB", "2.00 KB", "900 bytes"},
     {"", "r", ""}},
    {"ServiceModeListsThemWithTheirLetters",
     true,
     {"d.sys", "c.dat", "b.bin", "a.txt"},
     {"63.9 KB", "12.5 KB", "2.00 KB", "900 bytes"},
     {"rh", "", "r", ""}},
};

class DeviceListLoad : public DeviceList, public ::testing::WithParamInterface<ListingRow> {};

TEST_P(DeviceListLoad, RowsStandInReverseListingOrder) {
    const ListingRow& row = GetParam();
    Put(File("a.txt", 900));
    Put(File("b.bin", 2048, devsim::NvFile::ReadOnly, Stamp(1999, 12, 31, 23, 59, 58)));
    Put(File("c.dat", 12800));
    Put(File("d.sys", 65535, devsim::NvFile::ReadOnly | devsim::NvFile::Hidden));
    list.serviceMode = row.serviceMode;

    EXPECT_EQ(Load(), 0);
    EXPECT_EQ(Column(0), row.names);
    EXPECT_EQ(Column(1), row.sizes);
    EXPECT_EQ(Column(3), row.letters);
    const int count = static_cast<int>(row.names.size());
    EXPECT_EQ(list.GetFileCount(), count);
    for (int i = 0; i < count; ++i) {
        const std::string expected = row.names[static_cast<std::size_t>(i)] == "b.bin"
                                         ? "12/31/99  23:59:58"
                                         : "03/07/24  09:05:03";
        EXPECT_EQ(list.RowText(i, 2).toStdString(), expected)
            << row.names[static_cast<std::size_t>(i)];
    }
    ASSERT_EQ(States().size(), 1u);
    EXPECT_EQ(States()[0].first, count);
    EXPECT_EQ(States()[0].second, 1);
    EXPECT_EQ(device.requestCount(devsim::cmd::GetNvFileInfoListEx), row.serviceMode ? 1u : 0u);
    EXPECT_EQ(device.requestCount(devsim::cmd::GetNvFileInfoList), row.serviceMode ? 0u : 1u);
}

INSTANTIATE_TEST_SUITE_P(Modes, DeviceListLoad, ::testing::ValuesIn(kListingRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DeviceList, SizeColumnSortsByTheReportedBytes) {
    Put(File("a.txt", 900));
    Put(File("b.bin", 2048));
    Put(File("c.dat", 12800));
    ASSERT_EQ(Load(), 0);
    list.SortByColumn(1);
    EXPECT_EQ(Column(0), (std::vector<std::string>{"a.txt", "b.bin", "c.dat"}));
    EXPECT_EQ(list.RowItemData(2), 12800);
}

TEST_F(DeviceList, DeviceWithoutFiles) {
    EXPECT_EQ(Load(), TargetFileList::NoFiles);
    EXPECT_EQ(list.RowCount(), 0);
    EXPECT_EQ(list.GetFileCount(), 0);
    ASSERT_EQ(States().size(), 1u);
    EXPECT_EQ(States()[0].first, 0);
    EXPECT_EQ(States()[0].second, 1);
}

TEST_F(DeviceList, RefusedListing) {
    Put(File("a.txt", 1));
    ASSERT_TRUE(device.addFault("GET_NV_FILE_INFO_LIST=status:1"));
    EXPECT_EQ(Load(), TRELM_ERROR_DEVICE_ERROR);
    EXPECT_EQ(list.RowCount(), 0);
    EXPECT_EQ(list.GetFileCount(), 0);
    ASSERT_EQ(States().size(), 1u);
    EXPECT_EQ(States()[0].first, 0);
    EXPECT_EQ(States()[0].second, 1);
}

TEST_F(DeviceList, NoDeviceOnTheLine) {
    Put(File("a.txt", 1));
    // A COM port that does not exist leaves the library without a line.
    EXPECT_NE(TRELM_Init(kCom + 1, TRELM_DEFAULT_MODE), 0u);
    const int result = Load();
    EXPECT_NE(result, 0);
    EXPECT_NE(result, TargetFileList::NoFiles);
    EXPECT_EQ(list.RowCount(), 0);
    ASSERT_EQ(States().size(), 1u);
    EXPECT_EQ(States()[0].first, 0);
    EXPECT_EQ(States()[0].second, 0);
    EXPECT_EQ(device.requestCount(devsim::cmd::GetNvFileInfoList), 0u);
}

TEST_F(DeviceList, ReadByTheLinkShownOnTheInterfaceThread) {
    Put(File("a.txt", 1));
    Put(File("b.bin", 2));
    TargetFileList::Listing listing;
    bool answered = false;
    bool onInterfaceThread = false;
    link.ReadListing(false, &list, [&](const TargetFileList::Listing& answer) {
        listing = answer;
        answered = true;
        onInterfaceThread = QThread::currentThread() == list.thread();
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return answered; }, 20000));
    EXPECT_TRUE(onInterfaceThread);
    EXPECT_EQ(listing.records.size(), 2u);
    EXPECT_EQ(list.RowCount(), 0);
    EXPECT_EQ(list.ShowListing(listing), 0);
    EXPECT_EQ(Column(0), (std::vector<std::string>{"b.bin", "a.txt"}));
}

TEST_F(DeviceList, RefreshListsTheDeviceAgain) {
    Put(File("a.txt", 1));
    ASSERT_EQ(Load(), 0);
    Put(File("b.bin", 1));
    EXPECT_EQ(Refresh(), 0);
    EXPECT_EQ(Column(0), (std::vector<std::string>{"b.bin", "a.txt"}));
}

// ---- Deleting --------------------------------------------------------------------------

TEST_F(DeviceList, DeletesOneFileAfterTheQuestion) {
    Put(File("a.txt", 1));
    Put(File("b.bin", 1));
    ASSERT_EQ(Load(), 0);
    SelectName("a.txt");
    owner.ClearCalls();
    QTest::keyClick(&list, Qt::Key_Delete);
    Settle();

    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].text,
              owner.langReader.GetText(TextKeys::MSG_DELETE_ONE) + QStringLiteral("\na.txt"));
    EXPECT_EQ(prompter.messages[0].caption, owner.langReader.GetText(TextKeys::MSG_CAPTION));
    EXPECT_EQ(prompter.messages[0].icon, Prompter::Icon::Question);
    EXPECT_EQ(prompter.messages[0].buttons, Prompter::Buttons::OkCancel);
    EXPECT_FALSE(device.file("a.txt").has_value());
    EXPECT_EQ(Column(0), std::vector<std::string>{"b.bin"});
    EXPECT_EQ(States().size(), 1u);
}

TEST_F(DeviceList, CancelDeletesNothing) {
    Put(File("a.txt", 1));
    ASSERT_EQ(Load(), 0);
    SelectAll();
    prompter.answers.push_back(Prompter::Cancel);
    list.RunCommand(FileList::ID_DELETE_COMMAND);
    Settle();
    EXPECT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(Deletes(), 0u);
    EXPECT_TRUE(device.file("a.txt").has_value());
}

TEST_F(DeviceList, SecondOfThreeIsReadOnlyWithoutServiceMode) {
    Put(File("a.txt", 1));
    Put(File("b.bin", 1, devsim::NvFile::ReadOnly));
    Put(File("c.dat", 1));
    ASSERT_EQ(Load(), 0);
    SelectAll();
    owner.ClearCalls();
    list.RunCommand(FileList::ID_DELETE_COMMAND);
    Settle();

    ASSERT_EQ(prompter.messages.size(), 2u);
    EXPECT_EQ(prompter.messages[0].text, owner.langReader.GetText(TextKeys::MSG_DELETE_MANY));
    const RecordingPrompter::Shown& refusal = prompter.messages[1];
    const QString format = owner.langReader.GetText(TextKeys::MSG_CANT_DELETE_READONLY);
    ASSERT_TRUE(format.contains(QStringLiteral("%s")));
    EXPECT_EQ(refusal.text, QString(format).replace(QStringLiteral("%s"), QStringLiteral("b.bin")));
    EXPECT_EQ(refusal.caption, owner.langReader.GetText(TextKeys::MSG_CANT_DELETE_CAPTION));
    EXPECT_EQ(refusal.icon, Prompter::Icon::None);
    EXPECT_EQ(refusal.buttons, Prompter::Buttons::Ok);

    EXPECT_FALSE(device.file("a.txt").has_value());
    EXPECT_TRUE(device.file("b.bin").has_value());
    EXPECT_FALSE(device.file("c.dat").has_value());
    EXPECT_EQ(device.requestCount(devsim::cmd::DeleteNvFile), 2u);
    EXPECT_EQ(device.requestCount(devsim::cmd::DeleteWriteProtectedNvFile), 0u);
    // Reloaded once, at the end.
    EXPECT_EQ(States().size(), 1u);
    EXPECT_EQ(Column(0), std::vector<std::string>{"b.bin"});
    EXPECT_TRUE(owner.LibraryErrors().empty());
}

TEST_F(DeviceList, OneReadOnlyFileIsRefusedWithoutDeviceTraffic) {
    Put(File("b.bin", 1, devsim::NvFile::ReadOnly));
    ASSERT_EQ(Load(), 0);
    SelectAll();
    owner.ClearCalls();
    device.resetCounters();
    list.RunCommand(FileList::ID_DELETE_COMMAND);
    Settle();

    ASSERT_EQ(prompter.messages.size(), 2u);
    EXPECT_TRUE(prompter.messages[1].text.contains(QStringLiteral("b.bin")));
    EXPECT_EQ(device.requestCounts().size(), 0u);
    // Not reloaded.
    EXPECT_TRUE(States().empty());
    EXPECT_EQ(list.RowCount(), 1);
}

TEST_F(DeviceList, ServiceModeDeletesReadOnlyFilesAsWriteProtected) {
    Put(File("a.txt", 1));
    Put(File("b.bin", 1, devsim::NvFile::ReadOnly));
    list.serviceMode = true;
    ASSERT_EQ(Load(), 0);
    SelectName("b.bin");
    list.RunCommand(FileList::ID_DELETE_COMMAND);
    Settle();

    EXPECT_EQ(prompter.messages.size(), 1u);
    EXPECT_FALSE(device.file("b.bin").has_value());
    EXPECT_EQ(device.requestCount(devsim::cmd::DeleteWriteProtectedNvFile), 1u);
    EXPECT_EQ(device.requestCount(devsim::cmd::DeleteNvFile), 0u);
    EXPECT_EQ(Column(0), std::vector<std::string>{"a.txt"});
}

TEST_F(DeviceList, FailedDeletesAreReportedOneByOne) {
    Put(File("a.txt", 1));
    Put(File("b.bin", 1));
    Put(File("c.dat", 1));
    ASSERT_EQ(Load(), 0);
    // The first delete request (the list's top row, c.dat) is refused.
    ASSERT_TRUE(device.addFault("DELETE_NV_FILE@1=status:6"));
    SelectAll();
    owner.ClearCalls();
    list.RunCommand(FileList::ID_DELETE_COMMAND);
    Settle();

    EXPECT_EQ(owner.LibraryErrors(), std::vector<int>{TRELM_ERROR_DEVICE_ERROR});
    EXPECT_TRUE(device.file("c.dat").has_value());
    EXPECT_FALSE(device.file("b.bin").has_value());
    EXPECT_FALSE(device.file("a.txt").has_value());
    EXPECT_EQ(States().size(), 1u);
    EXPECT_EQ(Column(0), std::vector<std::string>{"c.dat"});
}

TEST_F(DeviceList, DeleteKeyWithoutSelectionShowsNothing) {
    Put(File("a.txt", 1));
    ASSERT_EQ(Load(), 0);
    list.clearSelection();
    QTest::keyClick(&list, Qt::Key_Delete);
    EXPECT_TRUE(prompter.messages.empty());
    EXPECT_EQ(Deletes(), 0u);
}

TEST_F(DeviceList, RightArrowStartsTheCopyFromTheDevice) {
    Put(File("a.txt", 1));
    Put(File("b.bin", 1));
    ASSERT_EQ(Load(), 0);
    list.setCurrentItem(list.topLevelItem(0));
    QTest::keyClick(&list, Qt::Key_Right);
    EXPECT_EQ(owner.copyFromDeviceCalls, 1);
    QTest::keyClick(&list, Qt::Key_Left);
    EXPECT_EQ(owner.copyToDeviceCalls, 0);
    // The key then takes its usual course: the current row stays.
    EXPECT_EQ(list.currentItem(), list.topLevelItem(0));
}

// A translated refusal text with other conversions than one "%s" is shown
// with them as plain text: nothing is read that was not passed.
TEST_F(DeviceList, RefusalTextWithStrayConversionsIsSafe) {
    const QString path = QDir::tempPath() + QStringLiteral("/quarn-lang-%1.txt").arg(getpid());
    ASSERT_TRUE(TestFiles::WriteText(
        path, QStringLiteral("MSG_CANT_DELETE_READONLY=%d%% of %s %s %n %x\n")));
    ASSERT_TRUE(owner.langReader.Load(path));
    QFile::remove(path);
    Put(File("b.bin", 1, devsim::NvFile::ReadOnly));
    ASSERT_EQ(Load(), 0);
    SelectAll();
    list.RunCommand(FileList::ID_DELETE_COMMAND);
    Settle();
    ASSERT_EQ(prompter.messages.size(), 2u);
    EXPECT_EQ(prompter.messages[1].text, QStringLiteral("%d% of b.bin %s %n %x"));
}

} // namespace
