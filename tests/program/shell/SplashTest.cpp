// The application object's switches, the splash (text, picture, display
// time, dismissal) and the product version record. This program carries
// version record 1.8.0.4 (VersionRecord.cpp).
#include "Splash.h"
#include "QtPrompter.h"
#include "QuarnUI.h"
#include "ReadProductVersion.h"
#include "RecordingPrompter.h"
#include "SettingsKeys.h"
#include "ShellFolder.h"
#include "TestFiles.h"

#include <QApplication>
#include <QFile>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <string>

namespace {

using namespace SettingsKeys;

// ---- Command line ---------------------------------------------------------------------

struct SwitchRow {
    const char* name;
    QStringList arguments;
    bool splash;
};

const SwitchRow kSwitchRows[] = {
    {"NoArguments", {}, true},
    {"SlashEmbeddingUpperCase", {QStringLiteral("/EMBEDDING")}, false},
    {"DashAutomationLowerCase", {QStringLiteral("-automation")}, false},
    {"AfterOtherArguments", {QStringLiteral("file.txt"), QStringLiteral("-Automation")}, false},
    {"OtherSwitch", {QStringLiteral("/nologo")}, true},
    {"WithoutSwitchCharacter", {QStringLiteral("Embedding")}, true},
    {"LongerWord", {QStringLiteral("/Embeddings")}, true},
};

class SplashSwitches : public ::testing::TestWithParam<SwitchRow> {};

TEST_P(SplashSwitches, TurnTheSplashOff) {
    QStringList arguments{QStringLiteral("quarnui")};
    arguments << GetParam().arguments;
    EXPECT_EQ(QuarnUI::SplashWanted(arguments), GetParam().splash);
}

TEST(SplashSwitchesProgramName, IsNotASwitch) {
    EXPECT_TRUE(QuarnUI::SplashWanted({QStringLiteral("-Embedding")}));
}

INSTANTIATE_TEST_SUITE_P(Arguments, SplashSwitches, ::testing::ValuesIn(kSwitchRows),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Text template --------------------------------------------------------------------

struct TemplateRow {
    const char* name;
    const char* textTemplate;
    const char* shown;
};

const TemplateRow kTemplateRows[] = {
    {"ThreeIntegers", "Version %d.%d.%d", "Version 1.8.4"},
    {"NoConversions", "Loader & Co", "Loader & Co"},
    {"IntegerVariants", "%i-%u-%x-%X-%o", "1-8-4-%X-%o"},
    {"FlagsAndWidth", "[%03d|%-3d|%+d]", "[001|8  |+4]"},
    {"PercentSign", "100%% %d", "100% 1"},
    {"FourthIntegerShownAsWritten", "%d.%d.%d.%d", "1.8.4.%d"},
    {"StringShownAsWritten", "%s %d", "%s 1"},
    {"WritingConversionShownAsWritten", "%n%d", "%n1"},
    {"FloatShownAsWritten", "%f %d", "%f 1"},
    {"HugeWidthShownAsWritten", "%999999999d %d", "%999999999d 1"},
    {"StarWidthShownAsWritten", "%*d", "%*d"},
    {"LengthModifierIgnored", "%ld.%lld.%hd", "1.8.4"},
    {"TrailingPercent", "%d %", "1 %"},
    {"NonAscii", "Versión %d – %d", "Versión 1 – 8"},
};

class SplashTemplate : public ::testing::TestWithParam<TemplateRow> {};

TEST_P(SplashTemplate, IsFilledSafely) {
    EXPECT_EQ(Splash::FormatVersionText(QString::fromUtf8(GetParam().textTemplate), 1, 8, 4),
              QString::fromUtf8(GetParam().shown));
}

INSTANTIATE_TEST_SUITE_P(Templates, SplashTemplate, ::testing::ValuesIn(kTemplateRows),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Version record ---------------------------------------------------------------------

TEST(ProductVersion, OfThisProgram) {
    int major = -1;
    int minor = -1;
    int build = -1;
    EXPECT_EQ(ReadProductVersion(OwnProgramFile(), major, minor, build), 0u);
    EXPECT_EQ(major, 1);
    EXPECT_EQ(minor, 8);
    EXPECT_EQ(build, 4);
}

TEST(ProductVersion, OfTheBuiltProgramIsTheProjectVersion) {
    int major = -1;
    int minor = -1;
    int build = -1;
    EXPECT_EQ(ReadProductVersion(QStringLiteral(QUARNUI_PROGRAM), major, minor, build), 0u);
    EXPECT_EQ(major, QUARN_EXPECTED_MAJOR);
    EXPECT_EQ(minor, QUARN_EXPECTED_MINOR);
    EXPECT_EQ(build, QUARN_EXPECTED_BUILD);
}

struct FileRow {
    const char* name;
    // The file's bytes; nullptr: the file does not exist.
    std::function<QByteArray()> bytes;
    uint32_t status;
    int major;
    int minor;
    int build;
};

QByteArray RecordBytes(uint32_t ms, uint32_t ls, uint32_t check) {
    ProductVersionRecord record{};
    std::memcpy(record.marker, PRODUCT_VERSION_MARKER, sizeof record.marker);
    record.productVersionMS = ms;
    record.productVersionLS = ls;
    record.check = check;
    return QByteArray(reinterpret_cast<const char*>(&record), sizeof record);
}

const FileRow kFileRows[] = {
    {"RecordAmidOtherBytes",
     [] {
         return QByteArray(1000, 'x') +
                RecordBytes((2u << 16) | 0u, (1u << 16) | 7u,
                            ProductVersionCheck((2u << 16) | 0u, (1u << 16) | 7u)) +
                QByteArray(33, '\0');
     },
     0, 2, 0, 7},
    {"MarkerWithoutAValidRecord",
     [] { return QByteArray(10, 'y') + RecordBytes(1, 2, 3) + QByteArray(10, 'y'); }, ENODATA, -1,
     -1, -1},
    {"MarkerFirstThenARecord",
     [] {
         return RecordBytes(5, 6, 7) +
                RecordBytes((3u << 16) | 1u, (9u << 16) | 2u,
                            ProductVersionCheck((3u << 16) | 1u, (9u << 16) | 2u));
     },
     0, 3, 1, 2},
    {"RecordCutShort", [] { return RecordBytes(1, 2, ProductVersionCheck(1, 2)).left(20); },
     ENODATA, -1, -1, -1},
    {"TextFile", [] { return QByteArray("[APPLICATION]\nSTATUS=1\n"); }, ENODATA, -1, -1, -1},
    {"EmptyFile", [] { return QByteArray(); }, ENODATA, -1, -1, -1},
    {"NoFile", nullptr, ENOENT, -1, -1, -1},
};

class ProductVersionFiles : public ::testing::TestWithParam<FileRow> {};

TEST_P(ProductVersionFiles, AreScannedForTheRecord) {
    const FileRow& row = GetParam();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("program"));
    if (row.bytes) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(row.bytes()), row.bytes().size());
    }
    int major = -1;
    int minor = -1;
    int build = -1;
    EXPECT_EQ(ReadProductVersion(path, major, minor, build), row.status);
    // The outputs are written only on success.
    EXPECT_EQ(major, row.major);
    EXPECT_EQ(minor, row.minor);
    EXPECT_EQ(build, row.build);
}

INSTANTIATE_TEST_SUITE_P(Files, ProductVersionFiles, ::testing::ValuesIn(kFileRows),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- The splash window ------------------------------------------------------------------

class SplashWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.IsValid());
        ASSERT_TRUE(QFile::copy(QStringLiteral(QUARN_RESOURCES_DIR "/splash.bmp"),
                                folder.Path(QStringLiteral("splash.bmp"))));
        Splash::SetSplashEnabled(true);
    }
    void TearDown() override {
        if (Splash::ActiveSplash() != nullptr) {
            Splash::ActiveSplash()->HideSplash();
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        Splash::SetSplashEnabled(false);
    }

    // A shown main-window stand-in that the splash belongs to.
    void ShowOwner() {
        owner.show();
        owner.activateWindow();
        owner.setFocus();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));
    }

    ShellFolder folder;
    RecordingPrompter prompter;
    QuarnUI program; // the application-wide input filter
    QLineEdit owner;
};

TEST_F(SplashWindow, ShowsTheVersionedTextOverThePicture) {
    ASSERT_TRUE(folder.WriteSettings({{APPLICATION, SPLASH_WAIT, QStringLiteral("5000")}}));
    ShowOwner();
    Splash::ShowSplash(&owner);
    Splash* splash = Splash::ActiveSplash();
    ASSERT_NE(splash, nullptr);
    EXPECT_TRUE(prompter.messages.empty());
    // The shipped English template, filled with this program's 1.8.0.4.
    EXPECT_EQ(Splash::SplashText(), QStringLiteral("Quarn File Loader  Version 1.8.4"));
    EXPECT_TRUE(splash->isVisible());
    EXPECT_EQ(splash->size(), QSize(440, 260));
    EXPECT_EQ(splash->WaitMs(), 5000);
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE((splash->geometry().center() - area.center()).manhattanLength(), 2);
    // At most one splash at a time.
    Splash::ShowSplash(&owner);
    EXPECT_EQ(Splash::ActiveSplash(), splash);
}

TEST_F(SplashWindow, DisabledShowsNothing) {
    Splash::SetSplashEnabled(false);
    Splash::ShowSplash(&owner);
    EXPECT_EQ(Splash::ActiveSplash(), nullptr);
    EXPECT_TRUE(prompter.messages.empty());
}

struct WaitRow {
    const char* name;
    QString value; // null: the key is absent
    int waitMs;
};

const WaitRow kWaitRows[] = {
    {"Absent", QString(), 1750},
    {"Number", QStringLiteral("5000"), 5000},
    {"Letters", QStringLiteral("abc"), 0},
    {"SpaceSignAndTail", QStringLiteral(" +42ms"), 42},
};

class SplashWait : public SplashWindow, public ::testing::WithParamInterface<WaitRow> {};

TEST_P(SplashWait, ComesFromTheSettings) {
    ASSERT_TRUE(folder.WriteSettings({{APPLICATION, SPLASH_WAIT, GetParam().value}}));
    Splash::ShowSplash(&owner);
    ASSERT_NE(Splash::ActiveSplash(), nullptr);
    EXPECT_EQ(Splash::ActiveSplash()->WaitMs(), GetParam().waitMs);
}

INSTANTIATE_TEST_SUITE_P(Values, SplashWait, ::testing::ValuesIn(kWaitRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SplashWindow, GoesWhenItsTimeIsUp) {
    ASSERT_TRUE(folder.WriteSettings({{APPLICATION, SPLASH_WAIT, QStringLiteral("abc")}}));
    Splash::ShowSplash(&owner);
    QPointer<Splash> splash = Splash::ActiveSplash();
    ASSERT_FALSE(splash.isNull());
    EXPECT_TRUE(QTest::qWaitFor([&] { return splash.isNull(); }, 2000));
    EXPECT_EQ(Splash::ActiveSplash(), nullptr);
}

TEST_F(SplashWindow, MissingSettingsAndPicture) {
    ASSERT_TRUE(folder.Remove(QStringLiteral("quarnloader.ini")));
    ASSERT_TRUE(folder.Remove(QStringLiteral("splash.bmp")));
    Splash::ShowSplash(&owner);
    ASSERT_NE(Splash::ActiveSplash(), nullptr);
    ASSERT_EQ(prompter.messages.size(), 2u);
    EXPECT_EQ(prompter.messages[0].text, QStringLiteral("Startup Screen Not Found"));
    EXPECT_EQ(prompter.messages[1].text, QStringLiteral("Settings-File not found"));
    for (const auto& shown : prompter.messages) {
        EXPECT_EQ(shown.caption, QStringLiteral("Error.."));
        EXPECT_EQ(shown.buttons, Prompter::Buttons::Ok);
        EXPECT_EQ(shown.icon, Prompter::Icon::None);
    }
    // No language file could be named: the text is the key itself.
    EXPECT_EQ(Splash::SplashText(), QStringLiteral("SPLASH_TEXT"));
    EXPECT_EQ(Splash::ActiveSplash()->WaitMs(), 0);
    EXPECT_TRUE(Splash::ActiveSplash()->Picture().isNull());
}

// The real message box in a real event loop: the key that dismisses
// "Startup Screen Not Found" reaches the box, and the splash is still whole
// afterwards (the splash's input filter once took the key and deleted the
// splash under the running ShowSplash).
TEST_F(SplashWindow, ItsMessageBoxGetsTheKeyThatDismissesIt) {
    ASSERT_TRUE(folder.Remove(QStringLiteral("splash.bmp")));
    QtPrompter real;
    Prompter::Install(&real);
    int keysSent = 0;
    QTimer presser;
    presser.setInterval(50);
    QObject::connect(&presser, &QTimer::timeout, [&] {
        if (QWidget* box = QApplication::activeModalWidget()) {
            ++keysSent;
            QTest::keyClick(box, Qt::Key_Return);
        }
    });
    presser.start();
    Splash::ShowSplash(&owner);
    presser.stop();
    Prompter::Install(&prompter);

    EXPECT_EQ(keysSent, 1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_NE(Splash::ActiveSplash(), nullptr);
    EXPECT_TRUE(Splash::ActiveSplash()->isVisible());
    EXPECT_TRUE(Splash::ActiveSplash()->Picture().isNull());
}

TEST_F(SplashWindow, AKeyHidesItAndIsConsumed) {
    ASSERT_TRUE(folder.WriteSettings({{APPLICATION, SPLASH_WAIT, QStringLiteral("60000")}}));
    ShowOwner();
    Splash::ShowSplash(&owner);
    ASSERT_NE(Splash::ActiveSplash(), nullptr);
    QTest::keyClick(&owner, Qt::Key_X);
    EXPECT_EQ(Splash::ActiveSplash(), nullptr);
    EXPECT_EQ(owner.text(), QString());
    // The next key is the owner's again.
    QTest::keyClick(&owner, Qt::Key_Y);
    EXPECT_EQ(owner.text(), QStringLiteral("y"));
}

struct ButtonRow {
    const char* name;
    Qt::MouseButton button;
};

const ButtonRow kButtonRows[] = {
    {"Left", Qt::LeftButton},
    {"Right", Qt::RightButton},
    {"Middle", Qt::MiddleButton},
};

class SplashClick : public SplashWindow, public ::testing::WithParamInterface<ButtonRow> {};

TEST_P(SplashClick, HidesItAndIsConsumed) {
    ASSERT_TRUE(folder.WriteSettings({{APPLICATION, SPLASH_WAIT, QStringLiteral("60000")}}));
    QPushButton button(QStringLiteral("press"));
    int clicks = 0;
    QObject::connect(&button, &QPushButton::pressed, [&] { ++clicks; });
    button.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&button));
    Splash::ShowSplash(&button);
    ASSERT_NE(Splash::ActiveSplash(), nullptr);

    QTest::mousePress(&button, GetParam().button);
    EXPECT_EQ(Splash::ActiveSplash(), nullptr);
    QTest::mouseRelease(&button, GetParam().button);
    EXPECT_EQ(clicks, 0);
    // The splash is gone: a further press reaches the button.
    QTest::mousePress(&button, Qt::LeftButton);
    QTest::mouseRelease(&button, Qt::LeftButton);
    EXPECT_EQ(clicks, 1);
}

INSTANTIATE_TEST_SUITE_P(Buttons, SplashClick, ::testing::ValuesIn(kButtonRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SplashWindow, InputGoesOnWhenNoSplashIsShown) {
    ShowOwner();
    QTest::keyClick(&owner, Qt::Key_Z);
    EXPECT_EQ(owner.text(), QStringLiteral("z"));
}

} // namespace
