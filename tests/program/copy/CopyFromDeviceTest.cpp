// The copy of the selected device files into the local folder, against the
// device emulator on a real pseudo-terminal: the overwrite question, the
// marks waiting for the local list, the holds and the drawing lock, a line
// that goes dead in the middle, device names that are no plain file names,
// and the Right arrow key.
#include "CopyObserver.h"
#include "CopyShell.h"
#include "IniEx.h"
#include "LocalFileList.h"
#include "ProgramFolder.h"
#include "ProgressWnd.h"
#include "SettingsKeys.h"
#include "TargetFileList.h"
#include "TextKeys.h"

#include "devsim/CommandTable.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QSet>
#include <QTest>

#include <gtest/gtest.h>

#include <cstring>

namespace {

using Strings = std::vector<std::string>;

class CopyFromDevice : public CopyShell {
protected:
    // Two device files, a.txt on top of the list, and an older a.txt in the
    // local folder.
    void PutTwoFilesTheFirstAlsoLocal() {
        // Rows stand in reverse device order.
        PutDevice("b.txt", Content(250, 2));
        PutDevice("a.txt", Content(300, 1));
        PutLocalBytes(QStringLiteral("a.txt"), Content(10, 8));
    }

    QString OverwriteQuestion(const QString& name) const {
        return name + u' ' + LangText(TextKeys::ERR_FILE_EXISTS) + u'\n' +
               LangText(TextKeys::ERR_OWERWRITE);
    }
};

TEST_F(CopyFromDevice, YesReplacesTheLocalFileCopiesBothAndRebuildsTheLocalListOnce) {
    PutTwoFilesTheFirstAlsoLocal();
    CopyWindow& w = StartCopyWindow();
    ASSERT_EQ(Column(*w.TargetList(), 0), (Strings{"a.txt", "b.txt"}));
    SelectAll(*w.TargetList());
    device.resetCounters();
    prompter.answers = {Prompter::Yes};
    w.CopyFromDevice();
    Settle();

    ASSERT_EQ(prompter.messages.size(), 1u);
    const RecordingPrompter::Shown& question = prompter.messages[0];
    EXPECT_EQ(question.text, OverwriteQuestion(QStringLiteral("a.txt")));
    EXPECT_EQ(question.caption, LangText(TextKeys::ERR_CONFIRM));
    EXPECT_EQ(question.icon, Prompter::Icon::Question);
    EXPECT_EQ(question.buttons, Prompter::Buttons::YesNo);

    EXPECT_EQ(LocalBytes(QStringLiteral("a.txt")), Content(300, 1));
    EXPECT_EQ(LocalBytes(QStringLiteral("b.txt")), Content(250, 2));
    EXPECT_EQ(w.rebuilds, 1);
    EXPECT_EQ(w.localLoads, 1);
    EXPECT_EQ(Column(*w.LocalList(), 0), (Strings{"a.txt", "b.txt"}));
    // Outside service mode the marks wait for a listing in service mode.
    ASSERT_EQ(w.LocalList()->pendingAttributes.size(), 2);
    EXPECT_EQ(w.LocalList()->pendingAttributes[0].name, QStringLiteral("a.txt"));
    EXPECT_EQ(w.LocalList()->pendingAttributes[1].name, QStringLiteral("b.txt"));
    // The device list is listed once, when its hold ends.
    EXPECT_EQ(device.requestCount(devsim::cmd::GetNvFileInfoList), 1u);
    ExpectSettled();
}

TEST_F(CopyFromDevice, NoCopiesNothingAndLeavesTheLocalListAsItWas) {
    PutTwoFilesTheFirstAlsoLocal();
    CopyWindow& w = StartCopyWindow();
    SelectAll(*w.TargetList());
    device.resetCounters();
    prompter.answers = {Prompter::No};
    w.CopyFromDevice();
    Settle();

    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].text, OverwriteQuestion(QStringLiteral("a.txt")));
    EXPECT_EQ(LocalBytes(QStringLiteral("a.txt")), Content(10, 8));
    EXPECT_FALSE(LocalExists(QStringLiteral("b.txt")));
    EXPECT_EQ(device.requestCount(devsim::cmd::ReadNvFile), 0u);
    EXPECT_EQ(w.rebuilds, 0);
    EXPECT_EQ(w.localLoads, 0);
    EXPECT_TRUE(w.LocalList()->pendingAttributes.isEmpty());
    // The device list is still listed again.
    EXPECT_EQ(device.requestCount(devsim::cmd::GetNvFileInfoList), 1u);
    ExpectSettled();
}

TEST_F(CopyFromDevice, ALocalFolderOfTheSameNameAsksTheQuestionToo) {
    PutDevice("conf", Content(20, 3));
    ASSERT_TRUE(QDir(folder.LocalFolder()).mkdir(QStringLiteral("conf")));
    CopyWindow& w = StartCopyWindow();
    SelectAll(*w.TargetList());
    prompter.answers = {Prompter::No};
    w.CopyFromDevice();
    Settle();

    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].text, OverwriteQuestion(QStringLiteral("conf")));
    EXPECT_TRUE(QFileInfo(folder.LocalFolder() + QStringLiteral("/conf")).isDir());
    ExpectSettled();
}

TEST_F(CopyFromDevice, HoldsTheRefreshesKeepsDrawingAndShowsOneProgressWindowPerFile) {
    PutDevice("b.txt", Content(900, 2));
    PutDevice("a.txt", Content(700, 1));
    CopyWindow& w = StartCopyWindow();
    SelectAll(*w.TargetList());
    CopyObserver observer(w);
    w.CopyFromDevice();
    Settle();

    ASSERT_FALSE(observer.samples.empty());
    QSet<int> windows;
    QSet<QString> statuses;
    for (const CopyObserver::Sample& sample : observer.samples) {
        EXPECT_FALSE(sample.mainEnabled);
        // The window goes on drawing while the device is read.
        EXPECT_TRUE(sample.mainUpdatesEnabled);
        EXPECT_TRUE(sample.holdRefresh);
        EXPECT_TRUE(sample.holdDeviceList);
        windows.insert(sample.windowNumber);
        statuses.insert(sample.status);
    }
    EXPECT_EQ(windows, (QSet<int>{1, 2}));
    const QString copying = LangText(TextKeys::PRO_KOPI);
    const QString fromDevice = LangText(TextKeys::PRO_FROM_TARGET);
    EXPECT_EQ(statuses, (QSet<QString>{copying + QStringLiteral(" a.txt ") + fromDevice,
                                       copying + QStringLiteral(" b.txt ") + fromDevice}));
    EXPECT_EQ(LocalBytes(QStringLiteral("a.txt")), Content(700, 1));
    EXPECT_EQ(LocalBytes(QStringLiteral("b.txt")), Content(900, 2));
    EXPECT_TRUE(prompter.messages.empty());
    ExpectSettled();
}

TEST_F(CopyFromDevice, WithoutASelectionOnlyTheDeviceListIsListedAgain) {
    PutDevice("a.txt", Content(100, 1));
    CopyWindow& w = StartCopyWindow();
    w.TargetList()->clearSelection();
    device.resetCounters();
    w.CopyFromDevice();
    Settle();

    EXPECT_TRUE(prompter.messages.empty());
    EXPECT_EQ(device.requestCount(devsim::cmd::ReadNvFile), 0u);
    EXPECT_EQ(device.requestCount(devsim::cmd::GetNvFileInfoList), 1u);
    EXPECT_EQ(w.rebuilds, 0);
    EXPECT_FALSE(LocalExists(QStringLiteral("a.txt")));
    ExpectSettled();
}

TEST_F(CopyFromDevice, CancelDuringTheFirstOfTwoLeavesNoFileAndNoMessage) {
    PutDevice("b.txt", Content(2000, 2));
    PutDevice("a.txt", Content(2000, 1));
    CopyWindow& w = StartCopyWindow();
    SelectAll(*w.TargetList());
    device.resetCounters();
    // The cancel comes while the second data packet is under way.
    ASSERT_TRUE(device.addFault("READ_NV_FILE_DATA_PACKET@2=delay:400"));
    CopyObserver observer(w);
    observer.ActWhen(
        [this] { return device.requestCount(devsim::cmd::ReadNvFileDataPacket) >= 2; },
        [](ProgressWnd& progress) { QTest::keyClick(progress.Window(), Qt::Key_Escape); });
    w.CopyFromDevice();
    Settle();

    EXPECT_TRUE(observer.acted);
    EXPECT_TRUE(prompter.messages.empty());
    EXPECT_FALSE(LocalExists(QStringLiteral("a.txt")));
    EXPECT_FALSE(LocalExists(QStringLiteral("b.txt")));
    EXPECT_EQ(device.requestCount(devsim::cmd::ReadNvFile), 1u);
    EXPECT_EQ(w.rebuilds, 0);
    EXPECT_TRUE(w.LocalList()->pendingAttributes.isEmpty());
    ExpectSettled();
}

// A file of one packet is complete when the callback first hears of a
// cancel; the file stays, the run ends there.
TEST_F(CopyFromDevice, CancelDuringTheLastPacketOfAFileCopiesNoFurtherFile) {
    PutDevice("b.txt", Content(50, 2));
    PutDevice("a.txt", Content(50, 1), devsim::NvFile::ReadOnly);
    CopyWindow& w = StartCopyWindow();
    SelectAll(*w.TargetList());
    device.resetCounters();
    // The cancel comes while the file's only packet is under way.
    ASSERT_TRUE(device.addFault("READ_NV_FILE_DATA_PACKET@1=delay:400"));
    CopyObserver observer(w);
    observer.ActWhen(
        [this] { return device.requestCount(devsim::cmd::ReadNvFileDataPacket) >= 1; },
        [](ProgressWnd& progress) { QTest::keyClick(progress.Window(), Qt::Key_Escape); });
    w.CopyFromDevice();
    Settle();

    EXPECT_TRUE(observer.acted);
    EXPECT_TRUE(prompter.messages.empty());
    EXPECT_EQ(LocalBytes(QStringLiteral("a.txt")), Content(50, 1));
    EXPECT_FALSE(LocalExists(QStringLiteral("b.txt")));
    EXPECT_EQ(device.requestCount(devsim::cmd::ReadNvFile), 1u);
    // The copied file's marks wait for the local list; it is not rebuilt.
    ASSERT_EQ(w.LocalList()->pendingAttributes.size(), 1);
    EXPECT_EQ(w.LocalList()->pendingAttributes[0].name, QStringLiteral("a.txt"));
    EXPECT_EQ(w.LocalList()->pendingAttributes[0].readOnly, 1);
    EXPECT_EQ(w.rebuilds, 0);
    ExpectSettled();
}

// ---- Marks for the local list ----------------------------------------------------------

struct LetterRow {
    const char* name;
    std::uint16_t attributes;
    const char* letters;
    int hidden;
    int readOnly;
    const char* library;
};

const LetterRow kLetterRows[] = {
    {"rh.txt", 3, "rh", 1, 1, "11"},
    {"r.txt", 1, "r", 0, 1, "21"},
    {"h.txt", 2, "h", 1, 0, "12"},
    {"none.txt", 0, "", 0, 0, "22"},
};

TEST_F(CopyFromDevice, TheAttributeLettersBecomeTheMarksOfTheFileLibrary) {
    for (const LetterRow& row : kLetterRows) {
        PutDevice(row.name, Content(60, row.attributes), row.attributes);
    }
    CopyWindow& w = StartCopyWindow();
    // Hidden device files are listed in service mode only.
    w.ShowHidden();
    Settle();
    ASSERT_EQ(w.TargetList()->RowCount(), 4);
    SelectAll(*w.TargetList());
    w.ResetCounts();
    w.CopyFromDevice();
    Settle();
    EXPECT_TRUE(prompter.messages.empty());

    // The entries as the rebuild at the end of the run found them.
    ASSERT_EQ(w.rebuilds, 1);
    ASSERT_EQ(w.pendingAtRebuild.size(), 4);
    LocalFileList& list = *w.LocalList();
    const QString section = list.GetFolder();
    for (const LetterRow& row : kLetterRows) {
        SCOPED_TRACE(row.name);
        const QString name = QLatin1String(row.name);
        const int device = RowOf(*w.TargetList(), name);
        ASSERT_GE(device, 0);
        EXPECT_EQ(w.TargetList()->RowText(device, 3), QLatin1String(row.letters));
        const auto entry = std::find_if(w.pendingAtRebuild.begin(), w.pendingAtRebuild.end(),
                                        [&](const auto& e) { return e.name == name; });
        ASSERT_NE(entry, w.pendingAtRebuild.end());
        EXPECT_EQ(entry->hidden, row.hidden);
        EXPECT_EQ(entry->readOnly, row.readOnly);
        // The service-mode listing applied them: library and boxes.
        EXPECT_EQ(list.fileLibrary.ReadValue(section, name, QString()), QLatin1String(row.library));
        const int local = RowOf(list, name);
        ASSERT_GE(local, 0);
        EXPECT_EQ(list.SubItemImage(local, LocalFileList::HiddenColumn), row.library[0] - '0');
        EXPECT_EQ(list.SubItemImage(local, LocalFileList::ReadOnlyColumn), row.library[1] - '0');
    }
    EXPECT_TRUE(list.pendingAttributes.isEmpty());
    ExpectSettled();

    // The file library reaches "filelib.ini" when the window goes.
    window.reset();
    IniEx written(4);
    ASSERT_TRUE(written.Load(ProgramFolder::Path() + QStringLiteral("/filelib.ini"), false, false,
                             true, false));
    for (const LetterRow& row : kLetterRows) {
        EXPECT_EQ(written.ReadValue(section, QLatin1String(row.name), QString()),
                  QLatin1String(row.library))
            << row.name;
    }
}

// Which local row takes a waiting entry's marks: the row of that name, in
// any letter case, never one whose name merely begins with it.
struct MatchRow {
    const char* name;
    const char* renameTo; // the copied file renamed before the listing; "" removes it
    const char* marked;   // the row that must show the marks; nullptr: none
};

const MatchRow kMatchRows[] = {
    {"ExactName", "abc.txt", "abc.txt"},
    {"OtherLetterCase", "ABC.TXT", "ABC.TXT"},
    {"OnlyALongerName", "", nullptr},
};

class CopyFromDeviceMarkRow : public CopyFromDevice,
                              public ::testing::WithParamInterface<MatchRow> {};

TEST_P(CopyFromDeviceMarkRow, IsFoundByItsWholeName) {
    const MatchRow& row = GetParam();
    PutDevice("abc.txt", Content(40, 1), devsim::NvFile::ReadOnly);
    // A neighbour whose name begins with the copied file's name.
    PutLocalBytes(QStringLiteral("abc.txt.orig"), Content(5, 2));

    CopyWindow& w = StartCopyWindow();
    Select(*w.TargetList(), {"abc.txt"});
    w.CopyFromDevice();
    Settle();
    ASSERT_TRUE(prompter.messages.empty());
    ASSERT_EQ(w.LocalList()->pendingAttributes.size(), 1);

    const QString copied = folder.LocalFolder() + QStringLiteral("/abc.txt");
    if (std::strlen(row.renameTo) == 0) {
        ASSERT_TRUE(QFile::remove(copied));
    } else if (QLatin1String(row.renameTo) != QLatin1String("abc.txt")) {
        ASSERT_TRUE(QFile::rename(copied, folder.LocalFolder() + u'/' + row.renameTo));
    }
    w.ShowHidden();
    Settle();

    LocalFileList& list = *w.LocalList();
    EXPECT_TRUE(list.pendingAttributes.isEmpty());
    for (int index = 0; index < list.RowCount(); ++index) {
        const QString name = list.RowText(index, 0);
        const bool marked = row.marked != nullptr && name == QLatin1String(row.marked);
        SCOPED_TRACE(name.toStdString());
        // Read-only only: "21"; untouched rows keep "22".
        EXPECT_EQ(list.SubItemImage(index, LocalFileList::HiddenColumn), FileList::ImageEmptyBox);
        EXPECT_EQ(list.SubItemImage(index, LocalFileList::ReadOnlyColumn),
                  marked ? FileList::ImageTicked : FileList::ImageEmptyBox);
    }
    EXPECT_EQ(
        list.fileLibrary.ReadValue(list.GetFolder(), QStringLiteral("abc.txt.orig"), QString()),
        QStringLiteral("22"));
}

INSTANTIATE_TEST_SUITE_P(Rows, CopyFromDeviceMarkRow, ::testing::ValuesIn(kMatchRows),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Failures ----------------------------------------------------------------------------

TEST_F(CopyFromDevice, ALineThatGoesDeadShowsAnErrorLeavesNoFileAndTheProgramGoesOn) {
    const QByteArray data = Content(1500, 4);
    PutDevice("big.bin", data);
    CopyWindow& w = StartCopyWindow();
    Select(*w.TargetList(), {"big.bin"});
    device.resetCounters();
    ASSERT_TRUE(device.addFault("READ_NV_FILE_DATA_PACKET@3=hangup"));
    w.CopyFromDevice();
    Settle();

    ASSERT_TRUE(server.hungUp());
    ASSERT_EQ(prompter.messages.size(), 1u);
    // The message of a failed link.
    const QStringList linkFailures = {w.LibraryErrorText(TRELM_ERROR_COMM_FAILED),
                                      w.LibraryErrorText(TRELM_ERROR_COMM_FAILED_TIMEOUT),
                                      w.LibraryErrorText(TRELM_ERROR_COMM_FAILED_CHKSUM)};
    EXPECT_TRUE(linkFailures.contains(prompter.messages[0].text))
        << prompter.messages[0].text.toStdString();
    EXPECT_EQ(prompter.messages[0].caption, LangText(TextKeys::APPNAME));
    EXPECT_FALSE(LocalExists(QStringLiteral("big.bin")));
    EXPECT_EQ(QDir(folder.LocalFolder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList());
    EXPECT_EQ(w.rebuilds, 0);
    ExpectSettled();

    // The device is plugged in again on a new line under the same COM
    // number; connecting again (as the options do) brings it back, and the
    // copy goes through.
    std::string error;
    ASSERT_TRUE(server.start(&error)) << error;
    LinkDevice();
    w.Reconnect();
    ASSERT_TRUE(w.WaitForQuery());
    ASSERT_TRUE(w.IsConnected());
    Select(*w.TargetList(), {"big.bin"});
    w.CopyFromDevice();
    Settle();
    EXPECT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(LocalBytes(QStringLiteral("big.bin")), data);
    ExpectSettled();
}

// Device names that are no plain file name never become a local path: the
// file is refused with a message, the run goes on with the next file.
struct BadNameRow {
    const char* label;
    const char* name;
};

const BadNameRow kBadNames[] = {
    {"ParentThenName", "../evil"},
    {"Parent", ".."},
    {"Current", "."},
    {"Empty", ""},
    {"SubFolder", "sub/evil"},
    {"Backslash", "..\\evil"},
    {"AbsolutePath", "/evil"},
};

class CopyFromDeviceBadName : public CopyFromDevice,
                              public ::testing::WithParamInterface<BadNameRow> {};

TEST_P(CopyFromDeviceBadName, IsRefusedAndNothingIsWrittenOutsideTheLocalFolder) {
    const char* bad = GetParam().name;
    PutDevice("good.txt", Content(80, 1));
    CopyWindow& w = StartCopyWindow();

    // The emulator's store takes legal 8.3 names only, so the record with
    // the bad name joins the device's own records where the device list
    // turns records into rows.
    TargetFileList::Listing listing = ReadListing();
    ASSERT_EQ(listing.result, TRELM_OK);
    ASSERT_EQ(listing.records.size(), 1u);
    TRELM_FILE_INFO record = listing.records.front();
    std::memset(record.FileName, 0, sizeof record.FileName);
    std::memcpy(record.FileName, bad, std::strlen(bad));
    listing.records.push_back(record);
    ++listing.count;
    ASSERT_EQ(w.TargetList()->ShowListing(listing), 0);
    ASSERT_EQ(w.TargetList()->RowText(0, 0), QLatin1String(bad));
    SelectAll(*w.TargetList());
    device.resetCounters();
    w.CopyFromDevice();
    Settle();

    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].text,
              LangText(TextKeys::MSG_BAD_DEVICE_NAME).replace(QStringLiteral("%s"), bad));
    EXPECT_EQ(prompter.messages[0].caption, LangText(TextKeys::APPNAME));
    EXPECT_EQ(prompter.messages[0].buttons, Prompter::Buttons::Ok);
    // Only the good file was asked for, and copied.
    EXPECT_EQ(device.requestCount(devsim::cmd::GetNvFileHandle), 1u);
    EXPECT_EQ(LocalBytes(QStringLiteral("good.txt")), Content(80, 1));
    // Nothing new beside the local folder, in it only the good file.
    EXPECT_FALSE(QFileInfo::exists(folder.Path(QStringLiteral("evil"))));
    EXPECT_FALSE(QFileInfo::exists(QStringLiteral("/evil")));
    EXPECT_EQ(QDir(folder.LocalFolder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("good.txt")});
    ASSERT_EQ(w.LocalList()->pendingAttributes.size(), 1);
    EXPECT_EQ(w.LocalList()->pendingAttributes[0].name, QStringLiteral("good.txt"));
    ExpectSettled();
}

INSTANTIATE_TEST_SUITE_P(Names, CopyFromDeviceBadName, ::testing::ValuesIn(kBadNames),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(CopyFromDevicePlainName, TellsFileNamesFromPaths) {
    struct Row {
        const char* name;
        bool plain;
    };
    const Row rows[] = {{"a.txt", true}, {"..a", true},   {"a..", true}, {"...", true},
                        {"", false},     {".", false},    {"..", false}, {"../x", false},
                        {"a/b", false},  {"a\\b", false}, {"/", false},  {"\\", false}};
    for (const Row& row : rows) {
        EXPECT_EQ(QuarnUIDlg::IsPlainFileName(QLatin1String(row.name)), row.plain) << row.name;
    }
}

// ---- Keys --------------------------------------------------------------------------------

TEST_F(CopyFromDevice, TheRightArrowKeyOfTheDeviceListCopiesTheSelection) {
    PutDevice("b.txt", Content(120, 2));
    PutDevice("a.txt", Content(120, 1));
    CopyWindow& w = StartCopyWindow();
    Select(*w.TargetList(), {"b.txt"});
    w.TargetList()->setFocus();
    QTest::keyClick(w.TargetList(), Qt::Key_Right);
    Settle();

    EXPECT_EQ(LocalBytes(QStringLiteral("b.txt")), Content(120, 2));
    EXPECT_FALSE(LocalExists(QStringLiteral("a.txt")));
    EXPECT_EQ(w.rebuilds, 1);
    ExpectSettled();
}

} // namespace
