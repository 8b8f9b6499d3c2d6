// The about box, the quit question, the statistics dialog and the wait
// window. This program carries version record 1.8.0.4 (VersionRecord.cpp).
#include "About.h"
#include "DlgQuit.h"
#include "FileInfo.h"
#include "LanguageReader.h"
#include "ModalDialogs.h"
#include "ShellFolder.h"
#include "TestFiles.h"
#include "TextKeys.h"
#include "WaitAny.h"

#include <QFile>
#include <QImage>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

LanguageReader English(const ShellFolder& folder) {
    LanguageReader reader;
    reader.Load(folder.Path(QStringLiteral("LANG_ENGLISH.txt")));
    return reader;
}

QString Label(const QWidget& dialog, const char* name) {
    const auto* label = dialog.findChild<QLabel*>(QLatin1String(name));
    return label != nullptr ? label->text() : QStringLiteral("<no label>");
}

class Dialogs : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(folder.IsValid()); }

    bool WriteLogo(int width, int height) {
        QImage logo(width, height, QImage::Format_RGB32);
        logo.fill(Qt::darkBlue);
        return logo.save(folder.Path(QStringLiteral("OemLogo.bmp")), "BMP");
    }

    ShellFolder folder;
    QWidget mainWindow;
};

// ---- About ---------------------------------------------------------------------------

TEST_F(Dialogs, AboutShowsNameVersionAndTheCentredLogo) {
    ASSERT_TRUE(QFile::copy(QStringLiteral(QUARN_RESOURCES_DIR "/OemLogo.bmp"),
                            folder.Path(QStringLiteral("OemLogo.bmp"))));
    const LanguageReader english = English(folder);
    About about(english, &mainWindow);
    about.OnInitDialog();
    EXPECT_EQ(about.windowTitle(), english.GetText(QLatin1String(TextKeys::APP_ABOUT_NAME)));
    EXPECT_EQ(Label(about, "ctl1034"),
              english.GetText(QLatin1String(TextKeys::APPNAME)) + QStringLiteral("  (1.8.4)"));
    const auto* logo = about.findChild<QLabel*>(QStringLiteral("ctl1036"));
    ASSERT_NE(logo, nullptr);
    EXPECT_EQ(logo->pixmap().size(), QSize(180, 44));
    EXPECT_EQ(logo->size(), QSize(180, 44));
    EXPECT_EQ(logo->x(), (about.width() - 180) / 2);
    EXPECT_EQ(about.findChild<QPushButton*>(QStringLiteral("ctl1"))->text(), QStringLiteral("OK"));
}

struct LogoRow {
    const char* name;
    int width; // 0: no logo file
};

const LogoRow kLogoRows[] = {{"NoLogo", 0}, {"WiderThanTheDialog", 2001}, {"Narrow", 31}};

class AboutLogo : public Dialogs, public ::testing::WithParamInterface<LogoRow> {};

TEST_P(AboutLogo, IsPlacedByItsOwnSize) {
    const int width = GetParam().width;
    if (width > 0) {
        ASSERT_TRUE(WriteLogo(width, 20));
    }
    const LanguageReader english = English(folder);
    About about(english, &mainWindow);
    const int top = about.findChild<QLabel*>(QStringLiteral("ctl1036"))->y();
    const QSize dialogSize = about.size();
    about.OnInitDialog();
    const auto* logo = about.findChild<QLabel*>(QStringLiteral("ctl1036"));
    EXPECT_EQ(about.size(), dialogSize) << "the dialog keeps its size";
    EXPECT_EQ(logo->y(), top);
    if (width == 0) {
        EXPECT_TRUE(logo->pixmap().isNull());
    } else {
        EXPECT_EQ(logo->width(), width);
        // Division toward zero: a negative left edge for a wide logo.
        EXPECT_EQ(logo->x(), (about.width() - width) / 2);
    }
    EXPECT_FALSE(Label(about, "ctl1034").isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Logos, AboutLogo, ::testing::ValuesIn(kLogoRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Dialogs, AboutNameFromTheLanguageFile) {
    ASSERT_TRUE(TestFiles::WriteText(folder.Path(QStringLiteral("LANG_X.txt")),
                                     QStringLiteral("APPNAME=Loader\n")));
    LanguageReader texts;
    ASSERT_TRUE(texts.Load(folder.Path(QStringLiteral("LANG_X.txt"))));
    About about(texts, &mainWindow);
    about.OnInitDialog();
    EXPECT_EQ(Label(about, "ctl1034"), QStringLiteral("Loader  (1.8.4)"));
    EXPECT_EQ(about.windowTitle(), QStringLiteral("APP_ABOUT_NAME"));
}

// ---- Quit question ---------------------------------------------------------------------

struct QuitRow {
    const char* name;
    std::function<void(QDialog*)> answer;
    int result;
};

const QuitRow kQuitRows[] = {
    {"YesButton", [](QDialog* d) { ModalDialogs::Press(d, "ctl1"); }, QDialog::Accepted},
    {"NoButton", [](QDialog* d) { ModalDialogs::Press(d, "ctl2"); }, QDialog::Rejected},
    {"Escape", [](QDialog* d) { QTest::keyClick(d, Qt::Key_Escape); }, QDialog::Rejected},
    {"CloseButton", [](QDialog* d) { d->close(); }, QDialog::Rejected},
};

class QuitQuestion : public Dialogs, public ::testing::WithParamInterface<QuitRow> {};

TEST_P(QuitQuestion, AnswersYesOnlyForItsYesButton) {
    const LanguageReader english = English(folder);
    DlgQuit question(english, &mainWindow);
    QString text;
    ModalDialogs::AnswerNext([&](QDialog* d) {
        ASSERT_NE(d, nullptr);
        text = ModalDialogs::LabelText(d, "ctl1037");
        GetParam().answer(d);
    });
    EXPECT_EQ(question.exec(), GetParam().result);
    EXPECT_EQ(text, english.GetText(QLatin1String(TextKeys::Q_REALLY_QUIT)));
    EXPECT_EQ(question.windowTitle(), QStringLiteral("Quarn File Loader"));
}

INSTANTIATE_TEST_SUITE_P(Answers, QuitQuestion, ::testing::ValuesIn(kQuitRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Dialogs, QuitQuestionWithoutTextsShowsTheKeys) {
    const LanguageReader empty;
    DlgQuit question(empty, &mainWindow);
    question.OnInitDialog();
    EXPECT_EQ(question.findChild<QPushButton*>(QStringLiteral("ctl1"))->text(),
              QStringLiteral("Q_YES"));
    EXPECT_EQ(question.findChild<QPushButton*>(QStringLiteral("ctl2"))->text(),
              QStringLiteral("Q_NO"));
    EXPECT_EQ(Label(question, "ctl1037"), QStringLiteral("Q_REALLY_QUIT"));
}

// ---- Statistics dialog -------------------------------------------------------------------

TEST_F(Dialogs, StatisticsShowTheFourStringsAndTheChip) {
    const LanguageReader english = English(folder);
    FileInfo info(english);
    info.m_totalText = QStringLiteral("1024 bytes");
    info.m_usedText = QStringLiteral("-5 bytes");
    info.m_totalLabel = QStringLiteral("Total:");
    info.m_usedLabel = QStringLiteral("Used:");
    QString shown[4];
    ModalDialogs::AnswerNext([&](QDialog* d) {
        ASSERT_NE(d, nullptr);
        shown[0] = ModalDialogs::LabelText(d, "ctl1034");
        shown[1] = ModalDialogs::LabelText(d, "ctl1032");
        shown[2] = ModalDialogs::LabelText(d, "ctl1035");
        shown[3] = ModalDialogs::LabelText(d, "ctl1033");
        ModalDialogs::Press(d, "ctl1");
    });
    EXPECT_EQ(info.exec(), QDialog::Accepted);
    EXPECT_EQ(shown[0], QStringLiteral("Total:"));
    EXPECT_EQ(shown[1], QStringLiteral("1024 bytes"));
    EXPECT_EQ(shown[2], QStringLiteral("Used:"));
    EXPECT_EQ(shown[3], QStringLiteral("-5 bytes"));
    EXPECT_EQ(info.windowTitle(), english.GetText(QLatin1String(TextKeys::LBL_FILEINFO)));
    EXPECT_FALSE(info.windowIcon().isNull());
    EXPECT_FALSE(info.windowIcon().pixmap(16, 16).isNull());
}

// ---- Wait window -------------------------------------------------------------------------

TEST_F(Dialogs, WaitWindowStandsOverTheDeviceList) {
    mainWindow.setGeometry(100, 100, 600, 400);
    auto* deviceList = new QWidget(&mainWindow);
    deviceList->setObjectName(QStringLiteral("ctl1005"));
    deviceList->setGeometry(10, 30, 200, 300);
    mainWindow.show();

    WaitAny wait;
    EXPECT_TRUE(wait.Create(&mainWindow, QStringLiteral("Connecting")));
    EXPECT_TRUE(wait.isVisible());
    EXPECT_EQ(wait.windowTitle(), QStringLiteral("Connecting"));
    EXPECT_EQ(wait.size(), QSize(200, 25));
    EXPECT_TRUE(wait.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    const QPoint listCentre = deviceList->mapToGlobal(deviceList->rect().center());
    EXPECT_LE((wait.geometry().center() - listCentre).manhattanLength(), 4);
    EXPECT_EQ(wait.Bar()->minimum(), 0);
    EXPECT_EQ(wait.Bar()->maximum(), 100);
    EXPECT_EQ(wait.Bar()->value(), 0);
}

TEST_F(Dialogs, WaitBarStepsAndStartsAgainAfterItsEnd) {
    WaitAny wait;
    ASSERT_TRUE(wait.Create(nullptr, QStringLiteral("Wait")));
    std::vector<int> values;
    for (int i = 0; i < 12; ++i) {
        wait.OnTimer();
        values.push_back(wait.Bar()->value());
    }
    EXPECT_EQ(values, (std::vector<int>{10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 0, 10}));
}

TEST_F(Dialogs, WaitBarAdvancesOneStepPerTickOfA700MillisecondTimer) {
    WaitAny wait;
    ASSERT_TRUE(wait.Create(nullptr, QStringLiteral("Wait")));
    const QTimer& timer = wait.Timer();
    EXPECT_TRUE(timer.isActive());
    EXPECT_FALSE(timer.isSingleShot());
    EXPECT_EQ(timer.interval(), WaitAny::TIMER_PERIOD_MS);
    EXPECT_EQ(WaitAny::TIMER_PERIOD_MS, 700);
    // Counted in ticks, not in wall-clock time: every tick is one step.
    QSignalSpy ticks(&timer, &QTimer::timeout);
    const int generous = 20 * WaitAny::TIMER_PERIOD_MS;
    ASSERT_TRUE(ticks.wait(generous));
    if (ticks.count() < 2) {
        ASSERT_TRUE(ticks.wait(generous));
    }
    EXPECT_EQ(wait.Bar()->value(), static_cast<int>(ticks.count()) * WaitAny::BAR_STEP);
}

} // namespace
