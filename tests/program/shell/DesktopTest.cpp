// The main window as a desktop program: a window that is resized and
// remembered, panes that take drops with the rules of the copy buttons, a
// drag out to a file manager that delivers whole files only, F5 and Ctrl+A,
// and a status bar that says what is connected and what each pane holds.
#include "DeviceDragData.h"
#include "DeviceShell.h"
#include "LanguageReader.h"
#include "LocalFileList.h"
#include "ModalDialogs.h"
#include "ProgressWnd.h"
#include "SettingsKeys.h"
#include "TargetFileList.h"
#include "TestFiles.h"
#include "TextKeys.h"

#include "devsim/CommandTable.h"

#include <QApplication>
#include <QDataStream>
#include <QDialog>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QIODevice>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using namespace SettingsKeys;

class Desktop : public DeviceShell {
protected:
    QString English(const char* key) const {
        const LanguageReader& texts = window->LangReader();
        return texts.GetText(QLatin1String(key));
    }
    // Selects the rows named, and only those.
    static void Select(FileList* list, const QStringList& names) {
        list->clearSelection();
        for (const QString& name : names) {
            const int row = list->FindRow(name);
            ASSERT_GE(row, 0) << name.toStdString();
            list->topLevelItem(row)->setSelected(true);
        }
    }
    // A drop as the window system delivers it: enter, then drop, on the
    // list's viewport. Answers whether the drop was taken.
    static bool DropOnto(FileList* list, const QMimeData* data) {
        const QPointF where(list->viewport()->width() / 2.0, list->viewport()->height() / 2.0);
        QDragEnterEvent enter(where.toPoint(), Qt::CopyAction, data, Qt::LeftButton,
                              Qt::NoModifier);
        QCoreApplication::sendEvent(list->viewport(), &enter);
        // The pane is framed exactly while it would take the data.
        EXPECT_EQ(list->DropHighlighted(), enter.isAccepted());
        if (!enter.isAccepted()) {
            return false;
        }
        QDropEvent drop(where, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(list->viewport(), &drop);
        EXPECT_FALSE(list->DropHighlighted());
        return drop.isAccepted();
    }
    static std::unique_ptr<QMimeData> Urls(const QStringList& paths) {
        auto data = std::make_unique<QMimeData>();
        QList<QUrl> urls;
        for (const QString& path : paths) {
            urls.append(QUrl::fromLocalFile(path));
        }
        data->setUrls(urls);
        return data;
    }
    std::vector<std::string> DeviceFiles() const {
        std::vector<std::string> names;
        for (const devsim::NvFile& file : device.files()) {
            names.push_back(file.name);
        }
        std::sort(names.begin(), names.end());
        return names;
    }
};

// ---- Size, place and splitter ------------------------------------------------------------

TEST_F(Desktop, FirstStartFitsTheScreenAndTheWindowCanBeResized) {
    TestMainWindow& w = StartWindow();
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    // The classic layout is wider than the offscreen screen (800 pixels):
    // the window is made narrower, not pushed off the screen.
    EXPECT_LE(w.width(), available.width());
    EXPECT_TRUE(available.contains(w.geometry().topLeft()));
    EXPECT_LT(w.minimumSize().width(), w.maximumSize().width());
    EXPECT_LT(w.minimumSize().height(), w.maximumSize().height());

    const int deviceWidth = w.TargetList()->width();
    const int localWidth = w.LocalList()->width();
    const int buttonWidth = w.findChild<QPushButton*>(QStringLiteral("ctl1007"))->width();
    w.resize(w.width() + 200, w.height() + 100);
    QCoreApplication::processEvents();
    EXPECT_GT(w.TargetList()->width(), deviceWidth);
    EXPECT_GT(w.LocalList()->width(), localWidth);
    EXPECT_EQ(w.findChild<QPushButton*>(QStringLiteral("ctl1007"))->width(), buttonWidth);
}

TEST_F(Desktop, SizeSplitterAndColumnWidthsSurviveARestart) {
    Put(File("a.txt", 10));
    PutLocal("b.txt", 10);
    QList<int> sizes;
    {
        TestMainWindow& w = StartWindow();
        w.resize(760, 470);
        QCoreApplication::processEvents();
        const QList<int> before = w.Splitter()->sizes();
        ASSERT_EQ(before.size(), 3);
        const int panes = before[0] + before[2];
        w.Splitter()->setSizes({panes / 3, before[1], panes - panes / 3});
        QCoreApplication::processEvents();
        sizes = w.Splitter()->sizes();
        w.TargetList()->setColumnWidth(0, 177);
        w.LocalList()->setColumnWidth(1, 66);
        ModalDialogs::AnswerNext([](QDialog* d) { ModalDialogs::Press(d, "ctl1"); });
        w.close();
        ASSERT_EQ(w.result(), QDialog::Rejected);
        window.reset();
    }
    // The local list's widths stay where they always were; the rest has a
    // section of its own.
    EXPECT_EQ(folder.SettingOnDisk(APPLICATION, COL2), QStringLiteral("66"));
    EXPECT_TRUE(folder.SettingOnDisk(WINDOW, DEVICE_COLUMNS).startsWith(QStringLiteral("177,")))
        << folder.SettingOnDisk(WINDOW, DEVICE_COLUMNS).toStdString();
    EXPECT_NE(folder.SettingOnDisk(WINDOW, GEOMETRY), QStringLiteral("<absent>"));
    EXPECT_NE(folder.SettingOnDisk(WINDOW, SPLITTER), QStringLiteral("<absent>"));

    TestMainWindow& again = StartWindow();
    EXPECT_EQ(again.size(), QSize(760, 470));
    EXPECT_EQ(again.Splitter()->sizes(), sizes);
    EXPECT_EQ(again.TargetList()->columnWidth(0), 177);
    EXPECT_EQ(again.LocalList()->columnWidth(1), 66);
}

TEST_F(Desktop, DamagedWindowSettingsAreIgnored) {
    ASSERT_TRUE(folder.WriteSettings({{COM_SETUP, COM_PORT, QString::number(kCom)},
                                      {WINDOW, GEOMETRY, QStringLiteral("not base64 !")},
                                      {WINDOW, SPLITTER, QStringLiteral("AAAA")},
                                      {WINDOW, DEVICE_COLUMNS, QStringLiteral("x,-5,99999999")}}));
    Put(File("a.txt", 10));
    TestMainWindow& w = StartWindow();
    EXPECT_TRUE(w.isVisible());
    EXPECT_GT(w.width(), 300);
    EXPECT_EQ(w.Splitter()->sizes().size(), 3);
    EXPECT_GT(w.Splitter()->sizes()[0], 0);
    EXPECT_GT(w.TargetList()->columnWidth(0), 0);
    EXPECT_EQ(w.TargetList()->columnWidth(0), w.LocalList()->columnWidth(0));
}

// ---- Keys ----------------------------------------------------------------------------

TEST_F(Desktop, F5RefreshesBothPanes) {
    Put(File("a.txt", 10));
    TestMainWindow& w = StartWindow();
    // The key works in the active window, whichever pane has the focus.
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    ASSERT_TRUE(w.WaitForIdle());
    ASSERT_EQ(w.TargetList()->RowCount(), 1);
    Put(File("later.txt", 5));
    PutLocal("new.txt", 5);
    device.resetCounters();
    w.LocalList()->setFocus();
    QTest::keyClick(w.LocalList(), Qt::Key_F5);
    ASSERT_TRUE(w.WaitForIdle());
    EXPECT_EQ(device.requestCount(devsim::cmd::GetNvFileInfoList), 1u);
    EXPECT_EQ(w.TargetList()->RowCount(), 2);
    EXPECT_GE(w.LocalList()->FindRow(QStringLiteral("new.txt")), 0);
}

TEST_F(Desktop, CtrlASelectsEveryRowOfTheFocusedPaneOnly) {
    Put(File("a.txt", 10));
    Put(File("b.txt", 10));
    PutLocal("c.txt", 10);
    PutLocal("d.txt", 10);
    PutLocal("e.txt", 10);
    TestMainWindow& w = StartWindow();
    for (FileList* list :
         {static_cast<FileList*>(w.LocalList()), static_cast<FileList*>(w.TargetList())}) {
        w.LocalList()->clearSelection();
        w.TargetList()->clearSelection();
        list->setFocus();
        QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
        EXPECT_EQ(list->SelectedRows().size(), list->RowCount())
            << list->objectName().toStdString();
        FileList* other = list == w.LocalList() ? static_cast<FileList*>(w.TargetList())
                                                : static_cast<FileList*>(w.LocalList());
        EXPECT_TRUE(other->SelectedRows().isEmpty());
    }
}

// ---- Status bar ------------------------------------------------------------------------

TEST_F(Desktop, StatusBarNamesTheConnectionAndWhatEachPaneHolds) {
    Put(File("a.txt", 1000));
    Put(File("b.txt", 1048));
    PutLocal("c.txt", 900);
    TestMainWindow& w = StartWindow();
    EXPECT_EQ(w.StatusDeviceFiles(), QStringLiteral("Device files: 2, 2.00 KB"));
    EXPECT_EQ(w.StatusLocalFiles(), QStringLiteral("Local files: 1, 900 bytes"));
    const QString port = w.PortDescription();
    ASSERT_TRUE(port.startsWith(QStringLiteral("COM 7 (/dev/pts/"))) << port.toStdString();
    EXPECT_EQ(w.StatusConnection(), port + QStringLiteral(" \u00b7 device information %1, %2")
                                               .arg(device.config().infoValue1)
                                               .arg(device.config().infoValue2));

    // Unplugged: the next refresh finds no device, and the bar says so.
    server.stop();
    w.OnCommand(QuarnUIDlg::ID_REFRESH);
    ASSERT_TRUE(w.WaitForIdle());
    // (The port's link went with the line, so only the number is left.)
    EXPECT_TRUE(w.StatusConnection().startsWith(QStringLiteral("Not connected \u00b7 COM 7")))
        << w.StatusConnection().toStdString();
    EXPECT_TRUE(w.StatusDeviceFiles().isEmpty());
}

// ---- Drops onto the device pane ---------------------------------------------------------

TEST_F(Desktop, LocalRowsDroppedOnTheDeviceCopyWhatFitsAndNameTheRest) {
    PutLocal("good.txt", 300);
    PutLocal("abcdefghi.txt", 10); // a base name of 9 characters
    PutLocal("big.bin", 65536);
    PutLocal("max.bin", 65535);
    TestMainWindow& w = StartWindow();
    Select(w.LocalList(), {QStringLiteral("good.txt"), QStringLiteral("abcdefghi.txt"),
                           QStringLiteral("big.bin"), QStringLiteral("max.bin")});
    const std::unique_ptr<QMimeData> data(w.LocalList()->DragData());
    ASSERT_NE(data, nullptr);
    EXPECT_TRUE(data->hasFormat(FileList::LocalRowsFormat()));
    // A drag of local rows offers the files to a file manager as well.
    EXPECT_EQ(data->urls().size(), 4);
    // Not back onto its own pane.
    EXPECT_FALSE(w.DropOnLocal(data.get(), false));
    // Held over the device pane, the status bar says what a drop would do.
    EXPECT_TRUE(w.DropOnDevice(data.get(), false));
    EXPECT_EQ(w.StatusBar()->currentMessage(),
              QStringLiteral("Drop to copy 2 to the device; 2 refused"));

    ASSERT_TRUE(DropOnto(w.TargetList(), data.get()));
    ASSERT_TRUE(w.WaitForIdle());
    ASSERT_EQ(prompter.messages.size(), 1u);
    const RecordingPrompter::Shown& notice = prompter.messages[0];
    EXPECT_EQ(notice.caption, English(TextKeys::APPNAME));
    EXPECT_EQ(notice.text,
              English(TextKeys::MSG_DROP_REFUSED).replace(QStringLiteral("%s"), QString()) +
                  QStringLiteral("\nabcdefghi.txt \u2014 ") + English(TextKeys::DROP_BAD_NAME) +
                  QStringLiteral("\nbig.bin \u2014 ") + English(TextKeys::DROP_TOO_LARGE));
    EXPECT_EQ(DeviceFiles(), (std::vector<std::string>{"good.txt", "max.bin"}));
    EXPECT_EQ(device.file("max.bin")->data.size(), 65535u);
    // The device pane was read again, as after the copy button.
    EXPECT_EQ(w.TargetList()->RowCount(), 2);
}

TEST_F(Desktop, FilesFromAFileManagerAreCopiedFromWhereverTheyAre) {
    QTemporaryDir elsewhere;
    ASSERT_TRUE(elsewhere.isValid());
    const QString outside = elsewhere.path() + QStringLiteral("/ext.cfg");
    ASSERT_TRUE(TestFiles::Write(outside, 250));
    ASSERT_TRUE(QDir(elsewhere.path()).mkdir(QStringLiteral("sub")));
    ASSERT_TRUE(TestFiles::Write(elsewhere.path() + QStringLiteral("/huge.dat"), 70000));
    Put(File("dup.txt", 4));
    ASSERT_TRUE(TestFiles::Write(elsewhere.path() + QStringLiteral("/dup.txt"), 8));
    TestMainWindow& w = StartWindow();

    const std::unique_ptr<QMimeData> data =
        Urls({outside, elsewhere.path() + QStringLiteral("/sub"),
              elsewhere.path() + QStringLiteral("/huge.dat"),
              elsewhere.path() + QStringLiteral("/dup.txt")});
    ASSERT_TRUE(DropOnto(w.TargetList(), data.get()));
    ASSERT_TRUE(w.WaitForIdle());
    // One notice for what the device cannot take, then the copy button's
    // own notice for a name the device already has (it is never replaced).
    ASSERT_EQ(prompter.messages.size(), 2u);
    EXPECT_TRUE(prompter.messages[0].text.contains(QStringLiteral("sub \u2014 ") +
                                                   English(TextKeys::DROP_FOLDER)));
    EXPECT_TRUE(prompter.messages[0].text.contains(QStringLiteral("huge.dat \u2014 ") +
                                                   English(TextKeys::DROP_TOO_LARGE)));
    EXPECT_FALSE(prompter.messages[0].text.contains(QStringLiteral("ext.cfg")));
    EXPECT_EQ(prompter.messages[1].text, elsewhere.path() + QStringLiteral("/dup.txt ") +
                                             English(TextKeys::ERR_FILE_EXISTS) + u'\n');
    EXPECT_EQ(prompter.messages[1].caption, English(TextKeys::ERR_CONFIRM));
    EXPECT_EQ(DeviceFiles(), (std::vector<std::string>{"dup.txt", "ext.cfg"}));
    EXPECT_EQ(device.file("ext.cfg")->data.size(), 250u);
    EXPECT_EQ(device.file("dup.txt")->data.size(), 4u);
}

TEST_F(Desktop, NoDropWhileTheDeviceIsBusyOrAbsent) {
    PutLocal("a.txt", 10);
    TestMainWindow& w = StartWindow();
    Select(w.LocalList(), {QStringLiteral("a.txt")});
    const std::unique_ptr<QMimeData> rows(w.LocalList()->DragData());
    EXPECT_TRUE(w.DropOnDevice(rows.get(), false));

    // A refresh that waits for a silent device: nothing may start meanwhile.
    ASSERT_TRUE(device.addFault("*=silent"));
    w.OnCommand(QuarnUIDlg::ID_REFRESH);
    ASSERT_TRUE(w.Link().IsBusy());
    EXPECT_FALSE(w.DropOnDevice(rows.get(), false));
    EXPECT_FALSE(DropOnto(w.TargetList(), rows.get()));
    server.stop();
    ASSERT_TRUE(w.WaitForIdle());
    // No device answers now.
    EXPECT_FALSE(w.IsConnected());
    EXPECT_FALSE(w.DropOnDevice(rows.get(), false));
    EXPECT_FALSE(
        w.DropOnDevice(Urls({folder.LocalFolder() + QStringLiteral("/a.txt")}).get(), false));
}

// ---- Drops onto the local pane ---------------------------------------------------------

TEST_F(Desktop, DeviceRowsDroppedOnTheLocalPaneAskBeforeReplacing) {
    Put(File("a.txt", 120));
    Put(File("b.txt", 130));
    Put(File("c.txt", 140));
    PutLocal("a.txt", 3);
    TestMainWindow& w = StartWindow();
    Select(w.TargetList(), {QStringLiteral("a.txt"), QStringLiteral("b.txt")});
    const std::unique_ptr<QMimeData> data(w.TargetList()->DragData());
    ASSERT_NE(data, nullptr);
    EXPECT_FALSE(w.DropOnDevice(data.get(), false));
    device.resetCounters();

    prompter.answers = {Prompter::Yes};
    ASSERT_TRUE(DropOnto(w.LocalList(), data.get()));
    ASSERT_TRUE(w.WaitForIdle());
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].text, QStringLiteral("a.txt ") +
                                             English(TextKeys::ERR_FILE_EXISTS) + u'\n' +
                                             English(TextKeys::ERR_OWERWRITE));
    EXPECT_EQ(prompter.messages[0].buttons, Prompter::Buttons::YesNo);
    EXPECT_EQ(QFileInfo(folder.LocalFolder() + QStringLiteral("/a.txt")).size(), 120);
    EXPECT_EQ(QFileInfo(folder.LocalFolder() + QStringLiteral("/b.txt")).size(), 130);
    EXPECT_FALSE(QFileInfo::exists(folder.LocalFolder() + QStringLiteral("/c.txt")));
    // The drag carried no files of its own: nothing was exported.
    EXPECT_FALSE(static_cast<DeviceDragData*>(data.get())->Exported());
    EXPECT_EQ(device.requestCount(devsim::cmd::ReadNvFileDataPacket), 4u);

    // Answered No: nothing is replaced, the run ends.
    prompter.messages.clear();
    prompter.answers = {Prompter::No};
    ASSERT_TRUE(DropOnto(w.LocalList(), data.get()));
    ASSERT_TRUE(w.WaitForIdle());
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(QFileInfo(folder.LocalFolder() + QStringLiteral("/a.txt")).size(), 120);
}

// ---- Dragged out to a file manager -------------------------------------------------------

TEST_F(Desktop, DeviceRowsDraggedOutAreCopiedWhenTheFileManagerAsks) {
    devsim::NvFile file = File("a.txt", 250);
    for (std::size_t i = 0; i < file.data.size(); ++i) {
        file.data[i] = static_cast<std::uint8_t>(i * 7);
    }
    Put(file);
    Put(File("b.txt", 20));
    TestMainWindow& w = StartWindow();
    Select(w.TargetList(), {QStringLiteral("a.txt"), QStringLiteral("b.txt")});
    const std::unique_ptr<QMimeData> data(w.TargetList()->DragData());
    ASSERT_NE(data, nullptr);
    EXPECT_TRUE(data->formats().contains(QStringLiteral("text/uri-list")));
    device.resetCounters();
    // Offering the format copies nothing yet.
    EXPECT_TRUE(data->hasUrls());
    EXPECT_EQ(device.requestCount(devsim::cmd::ReadNvFileDataPacket), 0u);

    const QList<QUrl> urls = data->urls();
    ASSERT_EQ(urls.size(), 2);
    const int first =
        QFileInfo(urls[0].toLocalFile()).fileName() == QStringLiteral("a.txt") ? 0 : 1;
    const QString a = urls[first].toLocalFile();
    EXPECT_EQ(QFileInfo(a).fileName(), QStringLiteral("a.txt"));
    QFile copied(a);
    ASSERT_TRUE(copied.open(QIODevice::ReadOnly));
    const QByteArray bytes = copied.readAll();
    EXPECT_EQ(bytes, QByteArray(reinterpret_cast<const char*>(file.data.data()),
                                static_cast<qsizetype>(file.data.size())));
    EXPECT_EQ(QFileInfo(urls[1 - first].toLocalFile()).fileName(), QStringLiteral("b.txt"));
    EXPECT_EQ(QFileInfo(urls[1 - first].toLocalFile()).size(), 20);
    // Outside the local folder, and asked for again it is not copied again.
    EXPECT_FALSE(a.startsWith(folder.LocalFolder()));
    const auto packets = device.requestCount(devsim::cmd::ReadNvFileDataPacket);
    EXPECT_EQ(data->data(QStringLiteral("text/uri-list")),
              urls[0].toEncoded() + "\r\n" + urls[1].toEncoded() + "\r\n");
    EXPECT_EQ(device.requestCount(devsim::cmd::ReadNvFileDataPacket), packets);
    EXPECT_TRUE(prompter.messages.empty());
    EXPECT_TRUE(w.isEnabled());
}

TEST_F(Desktop, ADragOutThatFailsOrIsCancelledDeliversNoFile) {
    Put(File("a.txt", 50));
    Put(File("b.txt", 400));
    TestMainWindow& w = StartWindow();
    const QString staging = QDir::tempPath();
    const QStringList before = QDir(staging).entryList({QStringLiteral("quarnloader-*")});

    // The second file fails on the device: the first, complete one is not
    // handed over either, and the failure is said afterwards.
    Select(w.TargetList(), {QStringLiteral("a.txt"), QStringLiteral("b.txt")});
    std::unique_ptr<QMimeData> data(w.TargetList()->DragData());
    ASSERT_TRUE(device.addFault("READ_NV_FILE@2=status:4"));
    EXPECT_TRUE(data->urls().isEmpty());
    EXPECT_TRUE(data->data(QStringLiteral("text/uri-list")).isEmpty());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !prompter.messages.empty(); }, 5000));
    EXPECT_TRUE(prompter.messages[0].text.contains(QStringLiteral("DeviceError was :")));
    ASSERT_TRUE(w.WaitForIdle());

    // Cancelled while the second packet is under way.
    device.clearFaults();
    device.resetCounters();
    ASSERT_TRUE(device.addFault("READ_NV_FILE_DATA_PACKET@2=delay:1500"));
    prompter.messages.clear();
    Select(w.TargetList(), {QStringLiteral("b.txt")});
    data.reset(w.TargetList()->DragData());
    QTimer cancel;
    cancel.setInterval(20);
    QObject::connect(&cancel, &QTimer::timeout, [&] {
        if (w.m_progress != nullptr && w.m_progress->Window() != nullptr) {
            auto* button = w.m_progress->Window()->findChild<QPushButton*>(QStringLiteral("ctl10"));
            if (button != nullptr) {
                QTest::mouseClick(button, Qt::LeftButton);
                cancel.stop();
            }
        }
    });
    cancel.start();
    EXPECT_TRUE(data->urls().isEmpty());
    EXPECT_FALSE(cancel.isActive()) << "the progress window never showed";
    ASSERT_TRUE(w.WaitForIdle());
    QCoreApplication::processEvents();
    EXPECT_TRUE(prompter.messages.empty());

    // No file of either drag is left in the program's folder.
    for (const QString& name : QDir(staging).entryList({QStringLiteral("quarnloader-*")})) {
        if (before.contains(name)) {
            continue;
        }
        QDir made(staging + u'/' + name);
        EXPECT_TRUE(made.entryList(QDir::Files | QDir::NoDotAndDotDot).isEmpty());
        for (const QString& drag : made.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            EXPECT_TRUE(QDir(made.filePath(drag))
                            .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
                            .isEmpty())
                << drag.toStdString();
        }
    }
    EXPECT_TRUE(w.isEnabled());
}

} // namespace
