// The copy of the selected local files to the device, against the device
// emulator on a real pseudo-terminal: the skip notice for a name the device
// has, the attributes from the service-mode marks, cancelling, the library's
// refusal, the progress shown, and the Left arrow key.
#include "CopyObserver.h"
#include "CopyShell.h"
#include "LocalFileList.h"
#include "ProgressWnd.h"
#include "TargetFileList.h"
#include "TextKeys.h"

#include "devsim/CommandTable.h"

#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using Strings = std::vector<std::string>;

class CopyToDevice : public CopyShell {};

TEST_F(CopyToDevice, SkipsTheNameTheDeviceHasWithOneNoticeAndCopiesTheOthers) {
    const QByteArray a = Content(300, 1);
    const QByteArray b = Content(200, 2);
    const QByteArray c = Content(250, 3);
    PutLocalBytes(QStringLiteral("a.txt"), a);
    PutLocalBytes(QStringLiteral("b.txt"), b);
    PutLocalBytes(QStringLiteral("c.txt"), c);
    const QByteArray onDevice = Content(50, 9);
    PutDevice("b.txt", onDevice);

    CopyWindow& w = StartCopyWindow();
    SelectAll(*w.LocalList());
    device.resetCounters();
    w.CopyToDevice();
    Settle();

    ASSERT_EQ(prompter.messages.size(), 1u);
    const RecordingPrompter::Shown& notice = prompter.messages[0];
    EXPECT_EQ(notice.text, LocalPrefix() + QStringLiteral("b.txt ") +
                               LangText(TextKeys::ERR_FILE_EXISTS) + u'\n');
    EXPECT_EQ(notice.caption, LangText(TextKeys::ERR_CONFIRM));
    EXPECT_EQ(notice.icon, Prompter::Icon::None);
    EXPECT_EQ(notice.buttons, Prompter::Buttons::Ok);

    EXPECT_EQ(DeviceBytes("a.txt"), a);
    EXPECT_EQ(DeviceBytes("c.txt"), c);
    EXPECT_EQ(DeviceBytes("b.txt"), onDevice);
    // One extended existence query per file; two files created.
    EXPECT_EQ(device.requestCount(devsim::cmd::NvFileExistEx), 3u);
    EXPECT_EQ(device.requestCount(devsim::cmd::NvFileExist), 0u);
    EXPECT_EQ(device.requestCount(devsim::cmd::CreateNvFile), 2u);
    // The device list is listed again after the last file.
    EXPECT_EQ(device.requestCount(devsim::cmd::GetNvFileInfoList), 1u);
    EXPECT_EQ(Column(*w.TargetList(), 0), (Strings{"c.txt", "a.txt", "b.txt"}));
    ExpectSettled();
}

// ---- Attributes from the service-mode marks ------------------------------------------

struct MarkRow {
    const char* name;
    bool serviceMode;
    bool hidden;
    bool readOnly;
    std::uint16_t attributes;
};

const MarkRow kMarkRows[] = {
    {"BothMarks", true, true, true, 3},
    {"HiddenMark", true, true, false, 2},
    {"ReadOnlyMark", true, false, true, 1},
    {"NoMark", true, false, false, 0},
    {"OutsideServiceMode", false, false, false, 0},
};

class CopyToDeviceMarks : public CopyShell, public ::testing::WithParamInterface<MarkRow> {};

TEST_P(CopyToDeviceMarks, GiveTheDeviceFileItsAttributes) {
    const MarkRow& row = GetParam();
    const QByteArray data = Content(120, 4);
    PutLocalBytes(QStringLiteral("boot.cfg"), data);

    CopyWindow& w = StartCopyWindow();
    LocalFileList& list = *w.LocalList();
    if (row.serviceMode) {
        w.ShowHidden();
        Settle();
        ASSERT_TRUE(list.serviceMode);
        const int index = RowOf(list, QStringLiteral("boot.cfg"));
        ASSERT_GE(index, 0);
        ASSERT_TRUE(
            list.SetSubItemImage(index, LocalFileList::HiddenColumn,
                                 row.hidden ? FileList::ImageTicked : FileList::ImageEmptyBox));
        ASSERT_TRUE(
            list.SetSubItemImage(index, LocalFileList::ReadOnlyColumn,
                                 row.readOnly ? FileList::ImageTicked : FileList::ImageEmptyBox));
    }
    Select(list, {"boot.cfg"});
    w.CopyToDevice();
    Settle();

    EXPECT_TRUE(prompter.messages.empty());
    const auto file = device.file("boot.cfg");
    ASSERT_TRUE(file.has_value());
    EXPECT_EQ(file->attributes, row.attributes);
    EXPECT_EQ(DeviceBytes("boot.cfg"), data);
    ExpectSettled();
}

INSTANTIATE_TEST_SUITE_P(Marks, CopyToDeviceMarks, ::testing::ValuesIn(kMarkRows),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Cancelling ------------------------------------------------------------------------

struct CancelRow {
    const char* name;
    void (*cancel)(ProgressWnd& progress);
};

void ClickCancelButton(ProgressWnd& progress) {
    auto* button = progress.Window()->findChild<QPushButton*>(QStringLiteral("ctl10"));
    ASSERT_NE(button, nullptr);
    QTest::mouseClick(button, Qt::LeftButton);
}

void PressEscape(ProgressWnd& progress) {
    QTest::keyClick(progress.Window(), Qt::Key_Escape);
}

const CancelRow kCancelRows[] = {
    {"CancelButton", ClickCancelButton},
    {"EscapeKey", PressEscape},
};

class CopyToDeviceCancel : public CopyShell, public ::testing::WithParamInterface<CancelRow> {};

TEST_P(CopyToDeviceCancel, DuringTheFirstOfThreeEndsTheRunWithoutAMessage) {
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) {
        PutLocalBytes(QLatin1String(name), Content(2000, name[0]));
    }
    PutDevice("keep.txt", Content(10, 5));

    CopyWindow& w = StartCopyWindow();
    SelectAll(*w.LocalList());
    device.resetCounters();
    // The device takes its time with the answer to the second data packet:
    // the cancel comes while that packet is under way.
    ASSERT_TRUE(device.addFault("CREATE_NV_FILE_DATA_PACKET@2=delay:400"));
    CopyObserver observer(w);
    observer.ActWhen(
        [this] { return device.requestCount(devsim::cmd::CreateNvFileDataPacket) >= 2; },
        GetParam().cancel);
    w.CopyToDevice();
    Settle();

    EXPECT_TRUE(observer.acted);
    EXPECT_TRUE(prompter.messages.empty());
    // The first file was abandoned after its cancelled packet; no other file
    // was started.
    EXPECT_EQ(device.requestCount(devsim::cmd::NvFileExistEx), 1u);
    EXPECT_EQ(device.requestCount(devsim::cmd::CreateNvFile), 1u);
    EXPECT_EQ(device.requestCount(devsim::cmd::CreateNvFileDataPacket), 2u);
    EXPECT_EQ(device.requestCount(devsim::cmd::CreateNvFileStoreFile), 1u);
    EXPECT_EQ(device.files().size(), 1u);
    EXPECT_FALSE(device.file("a.txt").has_value());
    // The device list keeps its rows: it is not listed again.
    EXPECT_EQ(device.requestCount(devsim::cmd::GetNvFileInfoList), 0u);
    EXPECT_EQ(Column(*w.TargetList(), 0), Strings{"keep.txt"});
    ExpectSettled();
}

INSTANTIATE_TEST_SUITE_P(Ways, CopyToDeviceCancel, ::testing::ValuesIn(kCancelRows),
                         [](const auto& info) { return std::string(info.param.name); });

// Files of one packet: the only answer the callback gives for them comes with
// the last packet, which the library ignores. The cancel still ends the run.
TEST_F(CopyToDevice, CancelDuringTheLastPacketOfAFileCopiesNoFurtherFile) {
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) {
        PutLocalBytes(QLatin1String(name), Content(50, name[0]));
    }
    CopyWindow& w = StartCopyWindow();
    SelectAll(*w.LocalList());
    device.resetCounters();
    // The cancel comes while the file's only packet is under way.
    ASSERT_TRUE(device.addFault("CREATE_NV_FILE_DATA_PACKET@1=delay:400"));
    CopyObserver observer(w);
    observer.ActWhen(
        [this] { return device.requestCount(devsim::cmd::CreateNvFileDataPacket) >= 1; },
        PressEscape);
    w.CopyToDevice();
    Settle();

    EXPECT_TRUE(observer.acted);
    EXPECT_TRUE(prompter.messages.empty());
    // The first file was complete when the cancel came; nothing after it.
    EXPECT_EQ(DeviceBytes("a.txt"), Content(50, 'a'));
    EXPECT_EQ(device.files().size(), 1u);
    EXPECT_EQ(device.requestCount(devsim::cmd::NvFileExistEx), 1u);
    EXPECT_EQ(device.requestCount(devsim::cmd::CreateNvFile), 1u);
    EXPECT_EQ(device.requestCount(devsim::cmd::GetNvFileInfoList), 0u);
    ExpectSettled();
}

// ---- The library refuses -------------------------------------------------------------

TEST_F(CopyToDevice, AFileOf65536BytesShowsTheErrorOfCode13AndEndsTheRun) {
    PutLocal("big.bin", 65536);
    PutLocalBytes(QStringLiteral("ok.txt"), Content(100, 6));

    CopyWindow& w = StartCopyWindow();
    SelectAll(*w.LocalList());
    device.resetCounters();
    w.CopyToDevice();
    Settle();

    ASSERT_EQ(prompter.messages.size(), 1u);
    // The error table shows code 13 by its name.
    EXPECT_EQ(prompter.messages[0].text,
              QLatin1String(TextKeys::RESULT_CODE_NAMES[TRELM_ERROR_PC_FILESIZE_INVALID]));
    EXPECT_EQ(prompter.messages[0].text, QLatin1String("TRELM_ERROR_PC_FILESIZE_INVALID"));
    EXPECT_EQ(prompter.messages[0].caption, LangText(TextKeys::APPNAME));
    EXPECT_EQ(prompter.messages[0].buttons, Prompter::Buttons::Ok);
    // Refused before any traffic; the next file is not copied.
    EXPECT_EQ(device.requestCount(devsim::cmd::CreateNvFile), 0u);
    EXPECT_TRUE(device.files().empty());
    ExpectSettled();
}

TEST_F(CopyToDevice, AFailedExistenceQueryShowsTheLibraryErrorAndCopiesNothing) {
    PutLocalBytes(QStringLiteral("a.txt"), Content(100, 1));
    PutLocalBytes(QStringLiteral("b.txt"), Content(100, 2));
    CopyWindow& w = StartCopyWindow();
    SelectAll(*w.LocalList());
    ASSERT_TRUE(device.addFault("NV_FILE_EXIST_EX=status:12"));
    w.CopyToDevice();
    Settle();

    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].text, w.LibraryErrorText(TRELM_ERROR_DEVICE_ERROR));
    EXPECT_TRUE(prompter.messages[0].text.contains(
        w.ErrReader().GetText(QLatin1String(TextKeys::TRELM_DEVICE_ERROR_ILLEGAL_FILENAME))));
    EXPECT_TRUE(device.files().empty());
    EXPECT_EQ(device.requestCount(devsim::cmd::NvFileExistEx), 1u);
    ExpectSettled();
}

// ---- Progress --------------------------------------------------------------------------

TEST_F(CopyToDevice, TheProgressWindowFollowsThePacketsWhileTheMainWindowIsDisabled) {
    PutLocalBytes(QStringLiteral("data.bin"), Content(1000, 7));
    CopyWindow& w = StartCopyWindow();
    Select(*w.LocalList(), {"data.bin"});
    CopyObserver observer(w);
    w.CopyToDevice();
    Settle();

    ASSERT_FALSE(observer.samples.empty());
    const QString title = LangText(TextKeys::PRO_TITLE);
    const QString status = LangText(TextKeys::PRO_KOPI) + u' ' + LocalPrefix() +
                           QStringLiteral("data.bin ") + LangText(TextKeys::PRO_TO_TARGET);
    int lastValue = 0;
    bool sawEnd = false;
    for (const CopyObserver::Sample& sample : observer.samples) {
        EXPECT_FALSE(sample.mainEnabled);
        EXPECT_EQ(sample.windowNumber, 1);
        EXPECT_EQ(sample.status, status);
        EXPECT_TRUE(sample.title == title || sample.title.startsWith(title + QStringLiteral(" [")))
            << sample.title.toStdString();
        EXPECT_GE(sample.barValue, lastValue);
        lastValue = sample.barValue;
        if (sample.barMaximum == 10 && sample.barValue == 10) {
            // 1000 bytes are 10 packets.
            EXPECT_EQ(sample.title, title + QStringLiteral(" [100%]"));
            sawEnd = true;
        }
    }
    EXPECT_TRUE(sawEnd);
    EXPECT_EQ(DeviceBytes("data.bin"), Content(1000, 7));
    ExpectSettled();
}

TEST_F(CopyToDevice, WithoutASelectionNothingHappens) {
    PutLocalBytes(QStringLiteral("a.txt"), Content(100, 1));
    CopyWindow& w = StartCopyWindow();
    w.LocalList()->clearSelection();
    device.resetCounters();
    CopyObserver observer(w);
    w.CopyToDevice();
    Settle();

    EXPECT_TRUE(observer.samples.empty());
    EXPECT_TRUE(prompter.messages.empty());
    EXPECT_TRUE(device.requestCounts().empty());
    ExpectSettled();
}

// ---- Keys and buttons ------------------------------------------------------------------

TEST_F(CopyToDevice, TheLeftArrowKeyOfTheLocalListCopiesTheSelection) {
    PutLocalBytes(QStringLiteral("a.txt"), Content(150, 1));
    PutLocalBytes(QStringLiteral("b.txt"), Content(150, 2));
    CopyWindow& w = StartCopyWindow();
    Select(*w.LocalList(), {"b.txt"});
    w.LocalList()->setFocus();
    QTest::keyClick(w.LocalList(), Qt::Key_Left);
    Settle();

    EXPECT_EQ(DeviceBytes("b.txt"), Content(150, 2));
    EXPECT_FALSE(device.file("a.txt").has_value());
    EXPECT_TRUE(prompter.messages.empty());
    ExpectSettled();
}

TEST_F(CopyToDevice, TheButtonBetweenTheListsCopiesTheSelection) {
    PutLocalBytes(QStringLiteral("a.txt"), Content(150, 1));
    CopyWindow& w = StartCopyWindow();
    Select(*w.LocalList(), {"a.txt"});
    auto* button = w.findChild<QPushButton*>(QStringLiteral("ctl1007"));
    ASSERT_NE(button, nullptr);
    ASSERT_TRUE(button->isEnabled());
    button->click();
    Settle();

    EXPECT_EQ(DeviceBytes("a.txt"), Content(150, 1));
    ExpectSettled();
}

} // namespace
