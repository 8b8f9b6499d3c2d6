// Error reporting of the main window (library, device and program errors)
// and the statistics dialog, against the device emulator.
#include "DeviceShell.h"
#include "FileInfo.h"
#include "LanguageReader.h"
#include "ModalDialogs.h"
#include "TestFiles.h"
#include "TextKeys.h"

#include "trelm.h"

#include <QAction>
#include <QDialog>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace {

QString ErrText(const ShellFolder& folder, const char* key) {
    LanguageReader errors;
    errors.Load(folder.Path(QStringLiteral("ERR_ENGLISH.txt")));
    return errors.GetText(QLatin1String(key));
}

// Appends `line` to the folder's English error-message file.
void AppendErrorLine(const ShellFolder& folder, const QString& line) {
    const QString path = folder.Path(QStringLiteral("ERR_ENGLISH.txt"));
    ASSERT_TRUE(TestFiles::WriteText(path, TestFiles::ReadText(path) + u'\n' + line + u'\n'));
}

class Errors : public DeviceShell {};

// ---- Library errors ------------------------------------------------------------------

// Deletes `name` through the window's device link and waits for the answer.
TRELM_Result DeleteThroughLink(TestMainWindow& w, const char* name) {
    TRELM_Result result = TRELM_OK;
    bool answered = false;
    w.Link().DeleteFile(name, false, &w, [&](const DeviceLink::CallResult& call) {
        result = call.result;
        answered = true;
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return answered; }, 20000));
    return result;
}

struct LibraryRow {
    const char* name;
    int code;
    // Brings the library into the state the message reports (may be empty):
    // a call through the window's link that fails as the message says.
    std::function<void(TestMainWindow&, devsim::Device&)> prepare;
    std::function<QString(const ShellFolder&)> expected;
};

const LibraryRow kLibraryRows[] = {
    {"DeviceRefusedAFileName", TRELM_ERROR_DEVICE_ERROR,
     [](TestMainWindow& w, devsim::Device&) {
         ASSERT_EQ(DeleteThroughLink(w, "nope.txt"), TRELM_ERROR_DEVICE_ERROR);
     },
     [](const ShellFolder& f) {
         return ErrText(f, TextKeys::TRELM_ERROR_DEVICE_ERROR) +
                QStringLiteral("\nDeviceError was :") +
                ErrText(f, TextKeys::TRELM_DEVICE_ERROR_NONE_EXISTING_FILENAME);
     }},
    {"UnknownCommandWithoutDeviceStatus", TRELM_ERROR_DEVICE_UNKNOWN_CMD,
     [](TestMainWindow& w, devsim::Device& device) {
         // A call that received no device status leaves the device error 27.
         ASSERT_TRUE(device.addFault("DELETE_NV_FILE=nak"));
         ASSERT_EQ(DeleteThroughLink(w, "a.txt"), TRELM_ERROR_DEVICE_UNKNOWN_CMD);
     },
     [](const ShellFolder& f) {
         return ErrText(f, TextKeys::TRELM_ERROR_DEVICE_UNKNOWN_CMD) +
                QStringLiteral("\nDeviceError was :") +
                ErrText(f, TextKeys::TRELM_DEVICE_ERROR_MAX_ERROR);
     }},
    {"TimeoutShowsTheKeyName", TRELM_ERROR_COMM_FAILED_TIMEOUT, nullptr,
     [](const ShellFolder&) { return QStringLiteral("TRELM_ERROR_COMM_FAILED_TIMEOUT"); }},
    {"CommFailedLooksUp", TRELM_ERROR_COMM_FAILED, nullptr,
     [](const ShellFolder& f) { return ErrText(f, TextKeys::TRELM_ERROR_COMM_FAILED); }},
    {"CodeSevenSharesTheKeyOfSix", 7, nullptr,
     [](const ShellFolder& f) { return ErrText(f, TextKeys::TRELM_ERROR_COMM_FAILED); }},
    {"CancelShowsTheKeyName", TRELM_ERROR_FILE_TRANSFER_CANCELLED, nullptr,
     [](const ShellFolder&) { return QStringLiteral("TRELM_ERROR_FILE_TRANSFER_CANCELLED"); }},
    {"SuccessIsEmpty", TRELM_OK, nullptr, [](const ShellFolder&) { return QString(); }},
    {"AboveTheTableIsEmpty", 20, nullptr, [](const ShellFolder&) { return QString(); }},
};

class LibraryErrors : public DeviceShell, public ::testing::WithParamInterface<LibraryRow> {};

TEST_P(LibraryErrors, ComposeTheMessageOfTheTable) {
    const LibraryRow& row = GetParam();
    // A text for a code that is shown by its name must not be used.
    AppendErrorLine(folder, QStringLiteral("TRELM_ERROR_COMM_FAILED_TIMEOUT=Too slow."));
    AppendErrorLine(folder,
                    QStringLiteral("TRELM_ERROR_FILE_TRANSFER_CANCELLED=You cancelled it."));
    Put(File("a.txt", 10));
    TestMainWindow& w = StartWindow();
    ASSERT_TRUE(prompter.messages.empty());
    if (row.prepare) {
        row.prepare(w, device);
    }

    EXPECT_EQ(w.LibraryError(row.code), 0);
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].text, row.expected(folder));
    EXPECT_EQ(prompter.messages[0].caption, QStringLiteral("Quarn File Loader"));
    EXPECT_EQ(prompter.messages[0].icon, Prompter::Icon::None);
    EXPECT_EQ(prompter.messages[0].buttons, Prompter::Buttons::Ok);
}

INSTANTIATE_TEST_SUITE_P(Codes, LibraryErrors, ::testing::ValuesIn(kLibraryRows),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Program errors --------------------------------------------------------------------

struct ProgramRow {
    const char* name;
    int code;
    const char* key;
};

const ProgramRow kProgramRows[] = {
    {"FileNotFound", 2, TextKeys::ERROR_FILE_NOT_FOUND},
    {"PathNotFound", 3, TextKeys::ERROR_PATH_NOT_FOUND},
    {"TooManyOpenFiles", 4, TextKeys::ERROR_TOO_MANY_OPEN_FILES},
    {"AccessDenied", 5, TextKeys::ERROR_ACCESS_DENIED},
    {"FileCacheUpdate", 1124, TextKeys::ERR_FILECACHE_UPDATE},
    {"FlushFailed", 1125, TextKeys::NA_WTF},
    {"FileCacheNotFound", 1126, TextKeys::ERR_FILE_CACHE_NOT_FOUND},
    {"NoFolderChosen", 1127, TextKeys::NA_WTF},
    {"NoLanguageFile", 1128, TextKeys::ERR_LANG_FILE_NOT_FOUND},
    {"LanguageChange", 1129, TextKeys::ERR_UNABLE_TO_CHANGE_LANG},
    {"NoComPorts", 1130, TextKeys::ERR_NO_COMPORTS},
    {"OtherSystemError", 10000 + 28, TextKeys::NA_WTF},
};

class ProgramErrors : public DeviceShell, public ::testing::WithParamInterface<ProgramRow> {};

TEST_P(ProgramErrors, ShowTheTextOfTheirKey) {
    const ProgramRow& row = GetParam();
    TestMainWindow& w = StartWindow();
    ASSERT_TRUE(prompter.messages.empty());
    EXPECT_EQ(w.ProgramError(row.code), 0);
    ASSERT_EQ(prompter.messages.size(), 1u);
    const QString expected = ErrText(folder, row.key);
    EXPECT_NE(expected, QLatin1String(row.key)) << "the shipped file defines the key";
    EXPECT_EQ(prompter.messages[0].text, expected);
    EXPECT_EQ(prompter.messages[0].caption, QStringLiteral("Quarn File Loader"));
    EXPECT_EQ(prompter.messages[0].icon, Prompter::Icon::None);
}

INSTANTIATE_TEST_SUITE_P(Codes, ProgramErrors, ::testing::ValuesIn(kProgramRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Errors, ProgramErrorWithoutItsKeyShowsTheKeyName) {
    // An error-message file without "NA//wtf".
    const QString path = folder.Path(QStringLiteral("ERR_ENGLISH.txt"));
    QStringList lines = TestFiles::ReadText(path).split(u'\n');
    lines.erase(
        std::remove_if(lines.begin(), lines.end(),
                       [](const QString& l) { return l.startsWith(QStringLiteral("NA//wtf")); }),
        lines.end());
    ASSERT_TRUE(TestFiles::WriteText(path, lines.join(u'\n')));
    TestMainWindow& w = StartWindow();
    ASSERT_TRUE(prompter.messages.empty());

    w.ProgramError(1127);
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].text, QStringLiteral("NA//wtf"));
}

// ---- Statistics --------------------------------------------------------------------------

struct Statistics {
    QString title;
    QString totalLabel;
    QString usedLabel;
    QString total;
    QString used;
};

// Opens the statistics dialog through its menu command and reads it.
Statistics ShowStatistics(QuarnUIDlg& w) {
    Statistics shown;
    bool answered = false;
    ModalDialogs::AnswerNext([&](QDialog* d) {
        answered = true;
        if (d == nullptr) {
            return;
        }
        shown = {d->windowTitle(), ModalDialogs::LabelText(d, "ctl1034"),
                 ModalDialogs::LabelText(d, "ctl1035"), ModalDialogs::LabelText(d, "ctl1032"),
                 ModalDialogs::LabelText(d, "ctl1033")};
        ModalDialogs::Press(d, "ctl1");
    });
    w.findChild<QAction*>(QStringLiteral("cmd1225"))->trigger();
    // The dialog opens when the device has answered.
    EXPECT_TRUE(QTest::qWaitFor([&] { return answered; }, 20000));
    return shown;
}

class StatisticsWithoutDevice : public DeviceShell {
protected:
    StatisticsWithoutDevice() { linkDevice = false; }
};

TEST_F(StatisticsWithoutDevice, ShowZeroBytesTwice) {
    TestMainWindow& w = StartWindow();
    const Statistics shown = ShowStatistics(w);
    LanguageReader english;
    ASSERT_TRUE(english.Load(folder.Path(QStringLiteral("LANG_ENGLISH.txt"))));
    EXPECT_EQ(shown.title, english.GetText(QLatin1String(TextKeys::LBL_FILEINFO)));
    EXPECT_EQ(shown.totalLabel, english.GetText(QLatin1String(TextKeys::LBL_TOTAL_SPACE)));
    EXPECT_EQ(shown.usedLabel, english.GetText(QLatin1String(TextKeys::LBL_USED_SPACE)));
    EXPECT_EQ(shown.total, QStringLiteral("0 bytes"));
    EXPECT_EQ(shown.used, QStringLiteral("0 bytes"));
}

struct StatisticsRow {
    const char* name;
    std::uint32_t fileSpace;
    const char* total;
};

const StatisticsRow kStatisticsRows[] = {
    {"OneMegabyte", 1024 * 1024, "1048576 bytes"},
    // "%i" prints the value signed.
    {"AboveTwoGigabytesIsNegative", 3000000000u, "-1294967296 bytes"},
};

class StatisticsOfTheDevice : public DeviceShell,
                              public ::testing::WithParamInterface<StatisticsRow> {};

TEST_P(StatisticsOfTheDevice, ShowTotalAndUsedSpace) {
    devsim::DeviceConfig config = device.config();
    config.maxTotalBytes = GetParam().fileSpace;
    device.setConfig(config);
    Put(File("a.txt", 900));
    Put(File("b.txt", 100));
    TestMainWindow& w = StartWindow();
    const Statistics shown = ShowStatistics(w);
    EXPECT_EQ(shown.total, QLatin1String(GetParam().total));
    // The device counts the bytes of its files as space in use.
    EXPECT_EQ(shown.used, QStringLiteral("1000 bytes"));
}

INSTANTIATE_TEST_SUITE_P(Spaces, StatisticsOfTheDevice, ::testing::ValuesIn(kStatisticsRows),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
