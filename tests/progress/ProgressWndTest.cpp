#include "ProgressWnd.h"

#include <QApplication>
#include <QDialog>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

const QString kTitle = QStringLiteral("Transfer");
const QString kCancel = QStringLiteral("Cancel");

// A plain main window (a dialog, as the program's is) with a progress window
// over it.
class ProgressWndTest : public ::testing::Test {
protected:
    void SetUp() override {
        mainWindow = std::make_unique<QDialog>();
        mainWindow->setWindowTitle(QStringLiteral("Loader"));
        mainWindow->setGeometry(100, 100, 640, 480);
        mainWindow->show();
        QCoreApplication::processEvents();
    }

    void TearDown() override {
        progress.reset();
        mainWindow.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    ProgressWnd& Open(bool modal) {
        progress = std::make_unique<ProgressWnd>(mainWindow.get(), kTitle, kCancel, false);
        if (modal) {
            EXPECT_TRUE(progress->BeginModal());
        }
        return *progress;
    }

    template <typename T> T* Control(const char* name) const {
        return progress->Window() ? progress->Window()->findChild<T*>(QString::fromLatin1(name))
                                  : nullptr;
    }
    QPushButton* CancelButton() const { return Control<QPushButton>("ctl10"); }
    QLabel* TextLine() const { return Control<QLabel>("ctl11"); }
    QProgressBar* Bar() const { return Control<QProgressBar>("ctl12"); }

    QString Title() const { return progress->Window()->windowTitle(); }

    std::unique_ptr<QDialog> mainWindow;
    std::unique_ptr<ProgressWnd> progress;
};

// Posts a mouse event at the centre of `widget`, so that it waits in the
// queue as real input does until ProcessPending handles it.
void PostMouse(QWidget* widget, QEvent::Type type, Qt::MouseButton button) {
    const QPointF local = QRectF(widget->rect()).center();
    const QPointF global = widget->mapToGlobal(local);
    const Qt::MouseButtons held =
        type == QEvent::MouseButtonPress ? Qt::MouseButtons(button) : Qt::MouseButtons();
    QCoreApplication::postEvent(widget,
                                new QMouseEvent(type, local, global, button, held, Qt::NoModifier));
}

void PostKey(QWidget* widget, Qt::Key key) {
    QCoreApplication::postEvent(widget, new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier));
}

// ---------------------------------------------------------------- title

struct TitleCase {
    const char* name;
    int lower;
    int upper;
    int position;
    const char* title;
};

class ProgressTitleTest : public ProgressWndTest,
                          public ::testing::WithParamInterface<TitleCase> {};

TEST_P(ProgressTitleTest, ShowsWholePercentOfPosition) {
    const TitleCase& row = GetParam();
    ProgressWnd& wnd = Open(false);
    // Start from a percentage that no row expects, so each row must rewrite
    // the title.
    wnd.SetBounds(0, 1000, 1);
    wnd.SetProgress(777);
    ASSERT_EQ(Title(), QStringLiteral("Transfer [77%]"));

    wnd.SetBounds(row.lower, row.upper, 1);
    wnd.SetProgress(row.position);
    EXPECT_EQ(Title(), QString::fromLatin1(row.title));
}

INSTANTIATE_TEST_SUITE_P(
    , ProgressTitleTest,
    ::testing::Values(TitleCase{"EmptyRangeIsZero", 0, 0, 5, "Transfer [0%]"},
                      TitleCase{"InvertedRangeIsZero", 10, 0, 5, "Transfer [0%]"},
                      TitleCase{"Plain", 0, 100, 42, "Transfer [42%]"},
                      TitleCase{"OneThirdTruncates", 0, 3, 1, "Transfer [33%]"},
                      TitleCase{"TwoThirdsTruncates", 0, 3, 2, "Transfer [66%]"},
                      TitleCase{"AboveUpperEndNotClamped", 0, 100, 250, "Transfer [250%]"},
                      TitleCase{"NegativeTruncatesTowardZero", 0, 3, -1, "Transfer [-33%]"},
                      TitleCase{"LowerEndNotSubtracted", 50, 150, 100, "Transfer [100%]"},
                      TitleCase{"HugePositionDoesNotOverflow", 0, 1, 2000000000,
                                "Transfer [200000000000%]"}),
    [](const ::testing::TestParamInfo<TitleCase>& info) { return std::string(info.param.name); });

TEST_F(ProgressWndTest, TitleIsWrittenOnlyWhenThePercentChanges) {
    ProgressWnd& wnd = Open(false);
    EXPECT_EQ(Title(), kTitle);

    // 0 percent is where a new window starts: the plain title stays.
    wnd.SetProgress(0);
    EXPECT_EQ(Title(), kTitle);

    wnd.SetBounds(0, 1000, 1);
    wnd.SetProgress(420);
    EXPECT_EQ(Title(), QStringLiteral("Transfer [42%]"));

    // A title put there by someone else survives positions of the same
    // percentage and is replaced at the next one.
    progress->Window()->setWindowTitle(QStringLiteral("marker"));
    wnd.SetProgress(429);
    EXPECT_EQ(Title(), QStringLiteral("marker"));
    wnd.SetProgress(430);
    EXPECT_EQ(Title(), QStringLiteral("Transfer [43%]"));
}

// ---------------------------------------------------------------- position

TEST_F(ProgressWndTest, SetProgressReturnsThePreviousBarPosition) {
    ProgressWnd& wnd = Open(false);
    struct Step {
        const char* name;
        std::function<void()> before;
        int position;
        int previous;
        int barValue;
    };
    const std::vector<Step> steps = {
        {"FirstPositionFollowsZero", [] {}, 10, 0, 10},
        {"Forward", [] {}, 60, 10, 60},
        {"AboveUpperEndShowsFull", [] {}, 250, 60, 100},
        {"BarKeptTheUpperEnd", [] {}, 5, 100, 5},
        {"NewRangeKeepsBarInside", [&] { wnd.SetBounds(0, 3, 1); }, 1, 3, 1},
        {"BelowLowerEnd", [&] { wnd.SetBounds(2, 9, 1); }, -4, 2, 2},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        step.before();
        EXPECT_EQ(wnd.SetProgress(step.position), step.previous);
        EXPECT_EQ(Bar()->value(), step.barValue);
    }
}

TEST_F(ProgressWndTest, EmptyRangeShowsAnEmptyBarNotABusyOne) {
    ProgressWnd& wnd = Open(false);
    wnd.SetBounds(0, 0, 1);
    wnd.SetProgress(5);
    EXPECT_LT(Bar()->minimum(), Bar()->maximum());
    EXPECT_EQ(Bar()->value(), Bar()->minimum());
}

// ---------------------------------------------------------------- window

TEST_F(ProgressWndTest, WindowIsShownCentredOverItsOwner) {
    Open(false);
    QWidget* window = progress->Window();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->isWindow());
    EXPECT_EQ(window->parentWidget(), mainWindow.get());
    EXPECT_EQ(window->windowTitle(), kTitle);
    EXPECT_FALSE(window->windowFlags() & Qt::WindowCloseButtonHint);
    const QPoint offset = window->frameGeometry().center() - mainWindow->frameGeometry().center();
    EXPECT_LE(offset.manhattanLength(), 4) << offset.x() << "," << offset.y();
}

TEST_F(ProgressWndTest, LayoutHasTextAboveBarBesideButton) {
    Open(false);
    QWidget* window = progress->Window();
    const QRect text = TextLine()->geometry();
    const QRect button = CancelButton()->geometry();
    const QRect bar = Bar()->geometry();
    const QFontMetrics metrics(TextLine()->font());

    EXPECT_EQ(text.topLeft(), QPoint(10, 10));
    EXPECT_EQ(text.width(), 390);
    EXPECT_GE(text.height(), 4 * metrics.height());
    EXPECT_LT(text.height(), 5 * metrics.height());

    EXPECT_EQ(CancelButton()->text(), kCancel);
    EXPECT_GT(button.width(), metrics.horizontalAdvance(QStringLiteral("  ") + kCancel));
    EXPECT_EQ(button.x() + button.width(), 400);
    EXPECT_EQ(button.y(), text.y() + text.height() + 10);

    EXPECT_EQ(bar.x(), 10);
    EXPECT_EQ(bar.x() + bar.width(), button.x() - 10);
    EXPECT_GT(bar.y(), button.y());
    EXPECT_LT(bar.y() + bar.height(), button.y() + button.height());
    EXPECT_FALSE(Bar()->isTextVisible());

    EXPECT_EQ(window->width(), 410);
    EXPECT_EQ(window->height(), text.height() + button.height() + 30);
}

TEST_F(ProgressWndTest, HideWindowHidesUntilTheNextPosition) {
    ProgressWnd& wnd = Open(false);
    wnd.HideWindow();
    EXPECT_FALSE(progress->Window()->isVisible());
    wnd.SetProgress(3);
    EXPECT_TRUE(progress->Window()->isVisible());
}

// ---------------------------------------------------------------- status text

struct StatusCase {
    const char* name;
    std::function<void(ProgressWnd&)> apply;
    QString expected;
};

class ProgressStatusTextTest : public ProgressWndTest,
                               public ::testing::WithParamInterface<StatusCase> {};

TEST_P(ProgressStatusTextTest, SetsTheTextLine) {
    ProgressWnd& wnd = Open(false);
    GetParam().apply(wnd);
    EXPECT_EQ(TextLine()->text(), GetParam().expected);
}

const std::string kLongA(600, 'a');
const std::string kLongB(400, 'b');

INSTANTIATE_TEST_SUITE_P(
    , ProgressStatusTextTest,
    ::testing::Values(
        StatusCase{"CopyLine",
                   [](ProgressWnd& w) {
                       w.SetStatusText("%s%s%s%s%s", "Copying", " ", "/data/TOOLS.CFG", " ",
                                       "to device");
                   },
                   QStringLiteral("Copying /data/TOOLS.CFG to device")},
        StatusCase{"Numbers",
                   [](ProgressWnd& w) { w.SetStatusText("%d of %u, %05.1f", -3, 7u, 2.5); },
                   QStringLiteral("-3 of 7, 002.5")},
        StatusCase{"PercentSign", [](ProgressWnd& w) { w.SetStatusText("%d%%", 42); },
                   QStringLiteral("42%")},
        StatusCase{"Utf8Argument",
                   [](ProgressWnd& w) {
                       w.SetStatusText("%s", "Gr\xc3\xb6\xc3\x9f"
                                             "e");
                   },
                   QString::fromUtf8("Gr\xc3\xb6\xc3\x9f"
                                     "e")},
        StatusCase{"LongerThanFiveHundredElevenKeptWhole",
                   [](ProgressWnd& w) { w.SetStatusText("%s|%s", kLongA.c_str(), kLongB.c_str()); },
                   QString::fromStdString(kLongA + "|" + kLongB)},
        StatusCase{"QStringIsNotAFormat",
                   [](ProgressWnd& w) { w.SetStatusText(QStringLiteral("100% of %s done")); },
                   QStringLiteral("100% of %s done")}),
    [](const ::testing::TestParamInfo<StatusCase>& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- modal mode

TEST_F(ProgressWndTest, BeginModalDisablesMainWindowUntilDeleted) {
    Open(true);
    EXPECT_FALSE(mainWindow->isEnabled());
    EXPECT_TRUE(progress->Window()->isEnabled());
    EXPECT_TRUE(CancelButton()->isEnabled());
    progress.reset();
    EXPECT_TRUE(mainWindow->isEnabled());
}

TEST_F(ProgressWndTest, CancelInModalModeKeepsMainWindowDisabledUntilDeleted) {
    ProgressWnd& wnd = Open(true);
    wnd.SetProgress(12);
    QPointer<QWidget> window = wnd.Window();

    PostKey(CancelButton(), Qt::Key_Escape);
    wnd.ProcessPending(true);

    EXPECT_TRUE(wnd.IsCancelled());
    EXPECT_EQ(wnd.Window(), nullptr);
    EXPECT_TRUE(window.isNull()) << "the window is destroyed at once";
    EXPECT_FALSE(mainWindow->isEnabled());

    // The object lives on: everything else returns at once.
    EXPECT_EQ(wnd.SetProgress(30), 12);
    wnd.SetBounds(0, 5, 1);
    wnd.SetStatusText("%s", "ignored");
    wnd.HideWindow();
    wnd.ProcessPending(true);
    EXPECT_TRUE(wnd.IsCancelled());
    EXPECT_FALSE(mainWindow->isEnabled());

    progress.reset();
    EXPECT_TRUE(mainWindow->isEnabled());
}

TEST_F(ProgressWndTest, MainWindowDeletedFirstLeavesAnInertObject) {
    ProgressWnd& wnd = Open(true);
    wnd.SetProgress(7);
    mainWindow.reset();
    EXPECT_EQ(wnd.Window(), nullptr);
    EXPECT_EQ(wnd.MainWindow(), nullptr);
    EXPECT_EQ(wnd.SetProgress(8), 7);
    wnd.ProcessPending(true);
    EXPECT_FALSE(wnd.IsCancelled());
}

// ---------------------------------------------------------------- escape

enum class KeyTarget { MainWindow, ProgressButton };

struct EscapeCase {
    const char* name;
    bool modal;
    KeyTarget target;
    Qt::Key key;
    bool cancelOnEscape;
    bool cancelled;
    // Whether the main dialog read the key as its own Escape (rows that send
    // the key to the main window only).
    std::optional<bool> mainRejected;
};

class ProgressEscapeTest : public ProgressWndTest,
                           public ::testing::WithParamInterface<EscapeCase> {};

TEST_P(ProgressEscapeTest, CancelsOnlyWhenAsked) {
    const EscapeCase& row = GetParam();
    ProgressWnd& wnd = Open(row.modal);
    QSignalSpy rejected(mainWindow.get(), &QDialog::rejected);

    PostKey(row.target == KeyTarget::MainWindow ? static_cast<QWidget*>(mainWindow.get())
                                                : CancelButton(),
            row.key);
    wnd.ProcessPending(row.cancelOnEscape);

    EXPECT_EQ(wnd.IsCancelled(), row.cancelled);
    if (row.mainRejected) {
        EXPECT_EQ(rejected.count() == 1, *row.mainRejected);
    }
    if (!row.modal) {
        EXPECT_EQ(wnd.Window() && wnd.Window()->isVisible(), !row.cancelled);
    }
}

INSTANTIATE_TEST_SUITE_P(
    , ProgressEscapeTest,
    ::testing::Values(EscapeCase{"ModalEscapeCancels", true, KeyTarget::ProgressButton,
                                 Qt::Key_Escape, true, true, std::nullopt},
                      EscapeCase{"ModalEscapeIgnoredWithoutFlag", true, KeyTarget::ProgressButton,
                                 Qt::Key_Escape, false, false, std::nullopt},
                      EscapeCase{"ModalOtherKeyIgnored", true, KeyTarget::ProgressButton, Qt::Key_A,
                                 true, false, std::nullopt},
                      EscapeCase{"EscapeOnMainWindowCancelsAndIsTaken", false,
                                 KeyTarget::MainWindow, Qt::Key_Escape, true, true, false},
                      EscapeCase{"EscapeOnMainWindowReachesItWithoutFlag", false,
                                 KeyTarget::MainWindow, Qt::Key_Escape, false, false, true}),
    [](const ::testing::TestParamInfo<EscapeCase>& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- mouse

enum class MouseTarget { CancelButton, TextLine };

struct ReleaseCase {
    const char* name;
    bool modal;
    MouseTarget target;
    Qt::MouseButton button;
    bool pressFirst;
    bool cancelled;
    int clicks;
};

class ProgressReleaseTest : public ProgressWndTest,
                            public ::testing::WithParamInterface<ReleaseCase> {};

TEST_P(ProgressReleaseTest, LeftReleaseOverCancelButtonCancelsInModalMode) {
    const ReleaseCase& row = GetParam();
    ProgressWnd& wnd = Open(row.modal);
    QSignalSpy clicked(CancelButton(), &QPushButton::clicked);
    QWidget* target = row.target == MouseTarget::CancelButton
                          ? static_cast<QWidget*>(CancelButton())
                          : TextLine();

    if (row.pressFirst) {
        PostMouse(target, QEvent::MouseButtonPress, row.button);
    }
    PostMouse(target, QEvent::MouseButtonRelease, row.button);
    wnd.ProcessPending(false);

    EXPECT_EQ(wnd.IsCancelled(), row.cancelled);
    EXPECT_EQ(clicked.count(), row.clicks);
}

INSTANTIATE_TEST_SUITE_P(
    , ProgressReleaseTest,
    ::testing::Values(ReleaseCase{"ModalReleaseOverButton", true, MouseTarget::CancelButton,
                                  Qt::LeftButton, false, true, 0},
                      ReleaseCase{"ModalClickTakenBeforeTheButtonReacts", true,
                                  MouseTarget::CancelButton, Qt::LeftButton, true, true, 0},
                      ReleaseCase{"ModalReleaseOverTextLine", true, MouseTarget::TextLine,
                                  Qt::LeftButton, false, false, 0},
                      ReleaseCase{"ModalRightButtonRelease", true, MouseTarget::CancelButton,
                                  Qt::RightButton, true, false, 0},
                      ReleaseCase{"NonModalBareReleaseIgnored", false, MouseTarget::CancelButton,
                                  Qt::LeftButton, false, false, 0},
                      ReleaseCase{"NonModalClickGoesThroughTheButton", false,
                                  MouseTarget::CancelButton, Qt::LeftButton, true, true, 1}),
    [](const ::testing::TestParamInfo<ReleaseCase>& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- button

struct ClickCase {
    const char* name;
    bool modal;
};

class ProgressCancelButtonTest : public ProgressWndTest,
                                 public ::testing::WithParamInterface<ClickCase> {};

TEST_P(ProgressCancelButtonTest, ClickCancels) {
    const bool modal = GetParam().modal;
    ProgressWnd& wnd = Open(modal);
    QPointer<QWidget> window = wnd.Window();

    QTest::mouseClick(CancelButton(), Qt::LeftButton);

    EXPECT_TRUE(wnd.IsCancelled());
    ASSERT_FALSE(window.isNull()) << "not deleted inside the button's own click";
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(wnd.Window() != nullptr, !modal);
    EXPECT_EQ(mainWindow->isEnabled(), !modal);

    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(window.isNull(), modal);
}

INSTANTIATE_TEST_SUITE_P(, ProgressCancelButtonTest,
                         ::testing::Values(ClickCase{"NonModalHides", false},
                                           ClickCase{"ModalDestroysWindow", true}),
                         [](const ::testing::TestParamInfo<ClickCase>& info) {
                             return std::string(info.param.name);
                         });

class ProgressCloseTest : public ProgressWndTest,
                          public ::testing::WithParamInterface<ClickCase> {};

// A close request from the window manager or from a quitting application.
TEST_P(ProgressCloseTest, CloseRequestCancelsAndIsAccepted) {
    const bool modal = GetParam().modal;
    ProgressWnd& wnd = Open(modal);
    QPointer<QWidget> window = wnd.Window();

    EXPECT_TRUE(window->close()) << "a refused close would hold up the application's quit";

    EXPECT_TRUE(wnd.IsCancelled());
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(wnd.Window() != nullptr, !modal);
    EXPECT_EQ(mainWindow->isEnabled(), !modal);
}

INSTANTIATE_TEST_SUITE_P(, ProgressCloseTest,
                         ::testing::Values(ClickCase{"NonModalHides", false},
                                           ClickCase{"ModalDestroysWindow", true}),
                         [](const ::testing::TestParamInfo<ClickCase>& info) {
                             return std::string(info.param.name);
                         });

// A copy reports many packets a second: handling its input must not take the
// focus from the window the user works in.
TEST(ProgressWndFocus, ProcessPendingLeavesTheActiveWindowAlone) {
    QWidget mainWindow;
    mainWindow.resize(300, 200);
    mainWindow.show();
    QWidget other;
    other.resize(200, 100);
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));

    ProgressWnd wnd(&mainWindow, QStringLiteral("Copy"), QStringLiteral("Cancel"), false);
    ASSERT_TRUE(wnd.BeginModal());
    // The user goes on working in the other window.
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    wnd.SetBounds(0, 10, 1);
    for (int packet = 1; packet <= 10; ++packet) {
        wnd.SetProgress(packet);
        wnd.ProcessPending(true);
    }
    EXPECT_EQ(QApplication::activeWindow(), &other);
    EXPECT_FALSE(wnd.IsCancelled());
}

// Watching the input from the normal event loop: Escape cancels once and
// says so; while a question of the copy is open, its keys are its own.
TEST(ProgressWndWatch, EscapeCancelsFromTheEventLoopButNotInsideAQuestion) {
    QWidget mainWindow;
    mainWindow.show();
    ProgressWnd wnd(&mainWindow, QStringLiteral("Copy"), QStringLiteral("Cancel"), false);
    ASSERT_TRUE(wnd.BeginModal());
    wnd.WatchInput(true);
    QSignalSpy cancelled(&wnd, &ProgressWnd::Cancelled);

    bool questionGotEscape = false;
    QDialog question;
    QObject::connect(&question, &QDialog::rejected, [&] { questionGotEscape = true; });
    QTimer::singleShot(0, &question, [&] { QTest::keyClick(&question, Qt::Key_Escape); });
    question.exec();
    EXPECT_TRUE(questionGotEscape);
    EXPECT_FALSE(wnd.IsCancelled());

    QTest::keyClick(wnd.Window(), Qt::Key_Escape);
    EXPECT_TRUE(wnd.IsCancelled());
    EXPECT_EQ(cancelled.count(), 1);
}

} // namespace
