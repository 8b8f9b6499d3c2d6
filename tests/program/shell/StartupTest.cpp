// Start-up of the main window: the fatal steps (in process through the exit
// seam, and in a process of its own), the first-run seam and the check of
// the local folder.
#include "LanguageReader.h"
#include "ModalDialogs.h"
#include "RecordingPrompter.h"
#include "SettingsKeys.h"
#include "ShellFolder.h"
#include "TestFiles.h"
#include "TestMainWindow.h"
#include "TextKeys.h"

#include <QDialog>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace SettingsKeys;

const QString kAppName = QStringLiteral("Quarn File Loader");

class Startup : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.IsValid());
        ASSERT_TRUE(ports.isValid());
        // No COM ports at all: the connection fails at once.
        setenv("TRELM_PORTS", ports.path().toLocal8Bit().constData(), 1);
    }
    void TearDown() override { unsetenv("TRELM_PORTS"); }

    ShellFolder folder;
    QTemporaryDir ports;
    RecordingPrompter prompter;
};

// ---- Fatal steps, in process ------------------------------------------------------------

struct FatalRow {
    const char* name;
    std::function<void(ShellFolder&, TestMainWindow&, RecordingPrompter&)> prepare;
    // The message shown before the end; empty for none.
    std::function<QString(const ShellFolder&)> text;
    QString caption;
    Prompter::Icon icon;
    int folderRequests;
    int firstRunCalls;
};

const FatalRow kFatalRows[] = {
    {"SettingsMissing",
     [](ShellFolder& f, TestMainWindow&, RecordingPrompter&) {
         ASSERT_TRUE(f.Remove(QStringLiteral("quarnloader.ini")));
     },
     [](const ShellFolder&) { return QStringLiteral("Ini-File not found"); }, QString(),
     Prompter::Icon::Stop, 0, 0},
    {"LanguageFileMissing",
     [](ShellFolder& f, TestMainWindow&, RecordingPrompter&) {
         ASSERT_TRUE(f.Remove(QStringLiteral("LANG_ENGLISH.txt")));
     },
     [](const ShellFolder& f) {
         return QStringLiteral("LANG_FILE_NOT_FOUND") + f.Path(QStringLiteral("LANG_ENGLISH.txt"));
     },
     QString(), Prompter::Icon::None, 0, 0},
    {"FirstStartWithoutLanguageFile",
     [](ShellFolder& f, TestMainWindow&, RecordingPrompter&) {
         ASSERT_TRUE(f.WriteSettings({{APPLICATION, STATUS, QStringLiteral("0")}}));
         ASSERT_TRUE(f.Remove(QStringLiteral("LANG_ENGLISH.txt")));
     },
     [](const ShellFolder& f) {
         return QStringLiteral("LANG_FILE_NOT_FOUND") + f.Path(QStringLiteral("LANG_ENGLISH.txt"));
     },
     QString(), Prompter::Icon::None, 0, 0},
    {"ErrorFileMissing",
     [](ShellFolder& f, TestMainWindow&, RecordingPrompter&) {
         ASSERT_TRUE(f.Remove(QStringLiteral("ERR_ENGLISH.txt")));
     },
     [](const ShellFolder& f) {
         return QStringLiteral("Unable to locate the error-messagefile : ") +
                f.Path(QStringLiteral("ERR_ENGLISH.txt"));
     },
     kAppName, Prompter::Icon::Stop, 0, 0},
    {"FolderPickerCancelled",
     [](ShellFolder& f, TestMainWindow&, RecordingPrompter& p) {
         ASSERT_TRUE(f.WriteSettings({{APPLICATION, LOCAL_PATH, f.Path(QStringLiteral("gone"))}}));
         // A first choice that is no folder either is stored in memory only.
         p.folders.push_back(f.Path(QStringLiteral("also-gone")));
     },
     nullptr, QString(), Prompter::Icon::None, 2, 0},
    {"FirstRunCancelled",
     [](ShellFolder& f, TestMainWindow&, RecordingPrompter&) {
         ASSERT_TRUE(f.WriteSettings({{APPLICATION, STATUS, QStringLiteral("0")}}));
     },
     nullptr, QString(), Prompter::Icon::None, 0, 1},
    {"FirstRunWithoutFolder",
     [](ShellFolder& f, TestMainWindow& w, RecordingPrompter&) {
         ASSERT_TRUE(f.WriteSettings({{APPLICATION, STATUS, QStringLiteral("0")}}));
         w.firstRunChoice = {true, QStringLiteral("ENGLISH"), QString(), 3};
     },
     nullptr, QString(), Prompter::Icon::None, 0, 1},
    {"StatusAbsentCountsAsFirstRun",
     [](ShellFolder& f, TestMainWindow&, RecordingPrompter&) {
         ASSERT_TRUE(f.WriteSettings({{APPLICATION, STATUS, QString()}}));
     },
     nullptr, QString(), Prompter::Icon::None, 0, 1},
};

class FatalStartup : public Startup, public ::testing::WithParamInterface<FatalRow> {};

TEST_P(FatalStartup, EndsWithExitCode1AndSavesNothing) {
    const FatalRow& row = GetParam();
    auto window = std::make_unique<TestMainWindow>();
    row.prepare(folder, *window, prompter);
    const QByteArray before = folder.Bytes(QStringLiteral("quarnloader.ini"));

    EXPECT_FALSE(window->Start());
    EXPECT_EQ(window->fatalExits, std::vector<int>{1});
    EXPECT_EQ(window->firstRunCalls, row.firstRunCalls);
    EXPECT_EQ(static_cast<int>(prompter.folderRequests.size()), row.folderRequests);
    if (row.text) {
        ASSERT_EQ(prompter.messages.size(), 1u);
        EXPECT_EQ(prompter.messages[0].text, row.text(folder));
        EXPECT_EQ(prompter.messages[0].caption, row.caption);
        EXPECT_EQ(prompter.messages[0].icon, row.icon);
        EXPECT_EQ(prompter.messages[0].buttons, Prompter::Buttons::Ok);
    } else {
        EXPECT_TRUE(prompter.messages.empty());
    }
    // Nothing further ran: no window shown, no device query.
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->DeviceThread(), nullptr);

    // The window goes without writing the settings file, even with changes
    // in its store.
    window->Settings().WriteValue(QLatin1String(APPLICATION), QLatin1String(COL1),
                                  QStringLiteral("999"));
    window.reset();
    EXPECT_EQ(folder.Bytes(QStringLiteral("quarnloader.ini")), before);
}

INSTANTIATE_TEST_SUITE_P(Steps, FatalStartup, ::testing::ValuesIn(kFatalRows),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Start-ups that go on --------------------------------------------------------------

TEST_F(Startup, StatusOtherThanExactlyZeroCountsAsDone) {
    ASSERT_TRUE(folder.WriteSettings({{APPLICATION, STATUS, QStringLiteral("00")}}));
    auto window = std::make_unique<TestMainWindow>();
    EXPECT_TRUE(window->Start());
    EXPECT_TRUE(window->fatalExits.empty());
    EXPECT_EQ(window->firstRunCalls, 0);
    EXPECT_TRUE(prompter.folderRequests.empty());
    EXPECT_TRUE(window->isVisible());
    window.reset();
    EXPECT_EQ(folder.SettingOnDisk(APPLICATION, STATUS), QStringLiteral("00"));
}

TEST_F(Startup, FirstRunChoicesAreStored) {
    ASSERT_TRUE(folder.WriteSettings({{APPLICATION, STATUS, QStringLiteral("0")},
                                      {APPLICATION, LOCAL_PATH, QString()},
                                      {COM_SETUP, COM_PORT, QString()}}));
    auto window = std::make_unique<TestMainWindow>();
    window->firstRunChoice = {true, QStringLiteral("DEUTSCH"), folder.LocalFolder(), 7};
    EXPECT_TRUE(window->Start());
    EXPECT_EQ(window->firstRunCalls, 1);
    EXPECT_TRUE(window->fatalExits.empty());
    // The chosen language is in use at once.
    LanguageReader german;
    ASSERT_TRUE(german.Load(folder.Path(QStringLiteral("LANG_DEUTSCH.txt"))));
    EXPECT_EQ(window->windowTitle(), german.GetText(QLatin1String(TextKeys::APPNAME)));
    window.reset();
    EXPECT_EQ(folder.SettingOnDisk(APPLICATION, LANGUAGE), QStringLiteral("LANG_DEUTSCH.txt"));
    EXPECT_EQ(folder.SettingOnDisk(APPLICATION, ERROR_FILE), QStringLiteral("ERR_DEUTSCH.txt"));
    EXPECT_EQ(folder.SettingOnDisk(APPLICATION, LOCAL_PATH), folder.LocalFolder());
    EXPECT_EQ(folder.SettingOnDisk(COM_SETUP, COM_PORT), QStringLiteral("7"));
    EXPECT_EQ(folder.SettingOnDisk(APPLICATION, STATUS), QStringLiteral("1"));
}

// A fresh installation on a machine without a usable port: the first-run
// dialog reports that no COM port was found in the words of the error-message
// file that the shipped settings name, under the program's name, although the
// error-message file proper is loaded only after the dialog.
TEST_F(Startup, FirstRunWithoutPortsShowsTheErrorTextUnderTheProgramName) {
    ASSERT_TRUE(folder.WriteSettings({{APPLICATION, STATUS, QStringLiteral("0")}}));
    LanguageReader errors;
    ASSERT_TRUE(errors.Load(folder.Path(QStringLiteral("ERR_ENGLISH.txt"))));
    const QString noPorts = errors.GetText(QLatin1String(TextKeys::ERR_NO_COMPORTS));
    ASSERT_NE(noPorts, QLatin1String(TextKeys::ERR_NO_COMPORTS));

    auto window = std::make_unique<TestMainWindow>();
    window->realFirstRun = true;
    QString dialogTitle;
    size_t messagesWhileOpen = 0;
    ModalDialogs::AnswerNext([&](QDialog* dialog) {
        ASSERT_NE(dialog, nullptr);
        dialogTitle = dialog->windowTitle();
        messagesWhileOpen = prompter.messages.size();
        ModalDialogs::Press(dialog, "ctl2");
    });
    EXPECT_FALSE(window->Start());

    EXPECT_EQ(dialogTitle, QStringLiteral("Setup Quarn-Loader"));
    ASSERT_EQ(messagesWhileOpen, 1u);
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].text, noPorts);
    EXPECT_EQ(prompter.messages[0].caption, kAppName);
    // Cancelled: the program ends as before.
    EXPECT_EQ(window->fatalExits, std::vector<int>{1});
}

struct InvalidFolderRow {
    const char* name;
    // The stored LOCAL_PATH, inside the test folder (empty: an empty value).
    const char* stored;
};

const InvalidFolderRow kInvalidFolderRows[] = {
    {"Empty", ""},
    {"Missing", "nowhere"},
    {"AFile", "local/readme.txt"},
};

class InvalidLocalFolder : public Startup,
                           public ::testing::WithParamInterface<InvalidFolderRow> {};

TEST_P(InvalidLocalFolder, PickerOpensUntilAFolderIsChosen) {
    ASSERT_TRUE(TestFiles::WriteText(folder.Path(QStringLiteral("local/readme.txt")),
                                     QStringLiteral("text")));
    const QString stored =
        *GetParam().stored == '\0' ? QString() : folder.Path(QLatin1String(GetParam().stored));
    ASSERT_TRUE(folder.WriteSettings({{APPLICATION, LOCAL_PATH, stored}}));
    const QString wrongChoice = folder.Path(QStringLiteral("local/readme.txt"));
    prompter.folders = {wrongChoice, folder.LocalFolder()};

    auto window = std::make_unique<TestMainWindow>();
    EXPECT_TRUE(window->Start());
    EXPECT_TRUE(window->fatalExits.empty());
    ASSERT_EQ(prompter.folderRequests.size(), 2u);
    LanguageReader english;
    ASSERT_TRUE(english.Load(folder.Path(QStringLiteral("LANG_ENGLISH.txt"))));
    const QString format = english.GetText(QLatin1String(TextKeys::MSG_LOCAL_PATH_INVALID));
    ASSERT_TRUE(format.contains(QStringLiteral("%s")));
    EXPECT_EQ(prompter.folderRequests[0].prompt,
              QString(format).replace(QStringLiteral("%s"), stored));
    EXPECT_EQ(prompter.folderRequests[1].prompt,
              QString(format).replace(QStringLiteral("%s"), wrongChoice));
    for (const auto& request : prompter.folderRequests) {
        EXPECT_EQ(request.parent, nullptr);
        EXPECT_EQ(request.startFolder, folder.Path());
    }
    window.reset();
    EXPECT_EQ(folder.SettingOnDisk(APPLICATION, LOCAL_PATH), folder.LocalFolder());
}

INSTANTIATE_TEST_SUITE_P(Paths, InvalidLocalFolder, ::testing::ValuesIn(kInvalidFolderRows),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Fatal steps in a process of its own --------------------------------------------

struct ProcessRow {
    const char* name;
    std::function<void(ShellFolder&)> prepare;
    QStringList folderAnswers;
    // The lines the program prints, given the picker's prompt template.
    std::function<QStringList(const ShellFolder&, const QString&)> expectedLines;
};

class FatalProcess : public Startup, public ::testing::WithParamInterface<ProcessRow> {};

TEST_P(FatalProcess, EndsTheProcessWithExitCode1WithoutSaving) {
    const ProcessRow& row = GetParam();
    row.prepare(folder);
    const QByteArray before = folder.Bytes(QStringLiteral("quarnloader.ini"));

    QProcess probe;
    probe.setWorkingDirectory(folder.Path());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    probe.setProcessEnvironment(environment);
    QStringList arguments;
    for (const QString& answer : row.folderAnswers) {
        arguments << folder.Path(answer);
    }
    probe.start(QStringLiteral(FATAL_EXIT_PROBE), arguments);
    ASSERT_TRUE(probe.waitForFinished(60000)) << "the program did not end";
    EXPECT_EQ(probe.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(probe.exitCode(), 1);

    QStringList lines = QString::fromUtf8(probe.readAllStandardOutput()).split(u'\n');
    lines.removeAll(QString());
    LanguageReader english;
    ASSERT_TRUE(english.Load(folder.Path(QStringLiteral("LANG_ENGLISH.txt"))));
    EXPECT_EQ(lines, row.expectedLines(
                         folder, english.GetText(QLatin1String(TextKeys::MSG_LOCAL_PATH_INVALID))));
    EXPECT_EQ(folder.Bytes(QStringLiteral("quarnloader.ini")), before);
}

const ProcessRow kProcessRows[] = {
    {"SettingsMissing",
     [](ShellFolder& f) { ASSERT_TRUE(f.Remove(QStringLiteral("quarnloader.ini"))); },
     {},
     [](const ShellFolder&, const QString&) {
         return QStringList{QStringLiteral("MESSAGE |Ini-File not found")};
     }},
    {"FolderPickerCancelled",
     [](ShellFolder& f) {
         ASSERT_TRUE(f.WriteSettings({{APPLICATION, LOCAL_PATH, f.Path(QStringLiteral("gone"))}}));
     },
     {QStringLiteral("also-gone")},
     [](const ShellFolder& f, const QString& format) {
         return QStringList{
             QStringLiteral("PICK ") +
                 QString(format).replace(QStringLiteral("%s"), f.Path(QStringLiteral("gone"))),
             QStringLiteral("PICK ") +
                 QString(format).replace(QStringLiteral("%s"),
                                         f.Path(QStringLiteral("also-gone")))};
     }},
};

INSTANTIATE_TEST_SUITE_P(Steps, FatalProcess, ::testing::ValuesIn(kProcessRows),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
