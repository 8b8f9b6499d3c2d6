// The COM port list: where ports are looked for, which names count, the
// probe of each port, and the order and texts of the entries.
#include "ComPortSelector.h"
#include "OptionsMainWindow.h"
#include "OptionsTestHelpers.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>

#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

using options_test::FakePortDescriptions;
using options_test::Labels;
using options_test::PortFolder;
using options_test::ScopedEnv;
using options_test::Texts;

namespace {

QList<int> Numbers(const QList<ComPortSelector::Candidate>& candidates) {
    QList<int> numbers;
    for (const auto& candidate : candidates) {
        numbers << candidate.number;
    }
    return numbers;
}

TEST(OptionsComPortSelector, PortFolderEntriesAreListedAsComTextsSortedByText) {
    PortFolder ports;
    ports.AddPort(2);
    ports.AddPort(10);
    ports.AddPort(1);
    OptionsMainWindow main;
    ComPortSelector selector(main);

    EXPECT_TRUE(selector.FillPorts());

    // Each entry names the pseudo-terminal behind its map entry.
    EXPECT_EQ(Texts(selector), (QStringList{"COM 1 \u2014 " + ports.DevicePath(2),
                                            "COM 10 \u2014 " + ports.DevicePath(1),
                                            "COM 2 \u2014 " + ports.DevicePath(0)}));
    EXPECT_EQ(selector.itemData(1).toInt(), 10);
    EXPECT_EQ(selector.itemData(1, Qt::ToolTipRole).toString(), ports.Path() + "/com10");
    EXPECT_EQ(selector.currentIndex(), -1);
    EXPECT_TRUE(main.log.isEmpty());
}

TEST(OptionsComPortSelector, OnlyComFollowedByDigitsAndAboveZeroNamesAPort) {
    struct Row {
        const char* entry;
        QList<int> numbers;
    };
    const Row rows[] = {
        {"com3", {3}},  {"COM4", {4}}, {"com07", {7}}, {"com255", {255}},
        {"com3A", {}},  {"com0", {}},  {"com00", {}},  {"com", {}},
        {"com256", {}}, {"com-1", {}}, {"ttyS0", {}},  {"xcom5", {}},
    };
    for (const Row& row : rows) {
        PortFolder ports;
        QFile(ports.Path() + "/" + row.entry).open(QIODevice::WriteOnly);
        OptionsMainWindow main;
        ComPortSelector selector(main);
        EXPECT_EQ(Numbers(selector.FindCandidates()), row.numbers) << row.entry;
    }
}

// The probe opens the port by its number, so an entry whose name merely
// reads as a number is a port only when that number's own entry answers.
TEST(OptionsComPortSelector, AnEntryIsListedOnlyWhenItsPortAnswersTheProbe) {
    PortFolder ports;
    ports.AddPort(5);
    ports.AddPortAs("com06");
    QFile(ports.Path() + "/com7").open(QIODevice::WriteOnly);
    QDir(ports.Path()).mkdir("com8");
    QFile::link(ports.Path() + "/nowhere", ports.Path() + "/com9");
    OptionsMainWindow main;
    ComPortSelector selector(main);

    EXPECT_EQ(Numbers(selector.FindCandidates()), (QList<int>{5, 6, 7, 8, 9}));
    EXPECT_TRUE(selector.FillPorts());
    EXPECT_EQ(Labels(selector), (QStringList{"COM 5"}));
}

TEST(OptionsComPortSelector, NoPortSendsProgramError1130) {
    PortFolder ports;
    QFile(ports.Path() + "/com3").open(QIODevice::WriteOnly);
    OptionsMainWindow main;
    ComPortSelector selector(main);

    EXPECT_FALSE(selector.FillPorts());

    EXPECT_EQ(selector.count(), 0);
    EXPECT_EQ(main.log, (QStringList{"ProgramError 1130"}));
}

TEST(OptionsComPortSelector, SelectPortSelectsByNumberOrNothing) {
    PortFolder ports;
    ports.AddPort(1);
    ports.AddPort(2);
    OptionsMainWindow main;
    ComPortSelector selector(main);
    selector.FillPorts();
    selector.AddSorted("AUTO", 0);

    selector.SelectPort(2);
    EXPECT_EQ(options_test::Selected(selector), "COM 2");
    EXPECT_EQ(selector.GetSelectedPort(), 2);
    selector.SelectPort(0);
    EXPECT_EQ(options_test::Selected(selector), "AUTO");
    EXPECT_EQ(selector.GetSelectedPort(), 0);
    selector.SelectPort(7);
    EXPECT_EQ(selector.currentIndex(), -1);
    EXPECT_EQ(selector.GetSelectedPort(), -1);
}

// Without a port folder the fixed table is walked; a node counts only when
// sysfs shows hardware behind it and the port answers the probe.
TEST(OptionsComPortSelector, FixedTableNeedsHardwareInSysfsAndAnAnsweringPort) {
    ScopedEnv noPortFolder("TRELM_PORTS", QByteArray());
    QTemporaryDir dev;
    QTemporaryDir sys;
    trelm::test::PtyPair s0, s1, s2, usb0, acm31;
    struct Node {
        const char* name;
        QString target;   // what the node is: a pty or a plain file
        bool device;      // sysfs has a "device" link
        const char* type; // sysfs "type" of a ttyS port, or nullptr
    };
    const QString plainFile = dev.path() + "/plain";
    QFile(plainFile).open(QIODevice::WriteOnly);
    const Node nodes[] = {
        {"ttyS0", QString::fromStdString(s0.SlavePath()), true, "4"},
        {"ttyS1", QString::fromStdString(s1.SlavePath()), true, "0"},
        {"ttyS2", QString::fromStdString(s2.SlavePath()), false, nullptr},
        {"ttyUSB0", QString::fromStdString(usb0.SlavePath()), true, nullptr},
        {"ttyACM3", plainFile, true, nullptr},
        {"ttyACM31", QString::fromStdString(acm31.SlavePath()), true, nullptr},
    };
    for (const Node& node : nodes) {
        QFile::link(node.target, dev.path() + "/" + node.name);
        const QString base = sys.path() + "/class/tty/" + node.name;
        QDir().mkpath(node.device ? base + "/device" : base);
        if (node.type != nullptr) {
            QFile type(base + "/type");
            type.open(QIODevice::WriteOnly);
            type.write(node.type);
        }
    }
    OptionsMainWindow main;
    ComPortSelector selector(main);
    selector.SetSystemRoots(sys.path(), dev.path());

    EXPECT_EQ(Numbers(selector.FindCandidates()), (QList<int>{1, 33, 68, 96}));
    EXPECT_TRUE(selector.FillPorts());
    EXPECT_EQ(Labels(selector), (QStringList{"COM 1", "COM 33", "COM 96"}));
}

TEST(OptionsComPortSelector, ProbeOfThingsThatAreNoPort) {
    QTemporaryDir dir;
    const QString plainFile = dir.path() + "/plain";
    QFile(plainFile).open(QIODevice::WriteOnly);
    struct Row {
        const char* name;
        QString path;
    };
    const Row rows[] = {
        {"plain file", plainFile},
        {"folder", dir.path()},
        {"missing node", dir.path() + "/missing"},
    };
    for (const Row& row : rows) {
        EXPECT_FALSE(ComPortSelector::ProbePort(row.path)) << row.name;
    }
    trelm::test::PtyPair pty;
    EXPECT_TRUE(ComPortSelector::ProbePort(QString::fromStdString(pty.SlavePath())));
}

// A port held by another program refuses the open; it is listed all the
// same. The probe runs in a helper without root's privileges.
TEST(OptionsComPortSelector, ProbeCountsARefusedOpenAsPresent) {
    struct Row {
        const char* name;
        mode_t mode;
        bool exclusive;
        int expected; // helper exit code: 1 present, 0 absent
    };
    const Row rows[] = {
        {"free port", 0666, false, 1},
        {"held exclusively (EBUSY)", 0666, true, 1},
        {"no permission (EACCES)", 0000, false, 1},
    };
    for (const Row& row : rows) {
        trelm::test::PtyPair pty;
        ASSERT_EQ(::chmod(pty.SlavePath().c_str(), row.mode), 0) << row.name;
        if (row.exclusive) {
            ASSERT_EQ(::ioctl(pty.Slave(), TIOCEXCL), 0) << row.name;
        }
        const int exitCode = QProcess::execute(QStringLiteral(PROBE_HELPER),
                                               {QString::fromStdString(pty.SlavePath())});
        EXPECT_EQ(exitCode, row.expected) << row.name;
    }
    // The same helper finds nothing where there is nothing.
    EXPECT_EQ(QProcess::execute(QStringLiteral(PROBE_HELPER), {"/nonexistent/ttyX"}), 0);
}

// ---- What an entry tells of its port -----------------------------------------------

const QString kDash = QStringLiteral(" \u2014 ");

// Puts the language file `file` of the start-up folder in place of the one
// the main window loaded.
bool UseLanguageFile(OptionsMainWindow& main, const QString& file) {
    main.LangReader().Clear();
    return main.LangReader().Load(main.Folder() + file);
}

// A USB adapter behind COM 33, as the system describes it; the entry keeps
// the number as its data and the tool tip as the port map's path.
TEST(OptionsComPortSelector, UsbAdapterIsNamedAfterItsDevice) {
    struct Row {
        const char* name;
        PortDescriptions::Record record; // path "" stands for the port's own device
        QString details;                 // what follows the device, "" for nothing
    };
    const Row rows[] = {
        {"description and maker",
         {"", "FT232R USB UART", "FTDI", "A1B2C3"},
         " (FTDI FT232R USB UART, serial A1B2C3)"},
        {"description naming the maker",
         {"", "FTDI FT232R USB UART", "FTDI", "A1B2C3"},
         " (FTDI FT232R USB UART, serial A1B2C3)"},
        {"no serial number", {"", "FT232R USB UART", "FTDI", ""}, " (FTDI FT232R USB UART)"},
        {"no description", {"", "", "Prolific", "X9"}, " (Prolific, serial X9)"},
        {"serial number alone", {"", "", "", "X9"}, " (serial X9)"},
        {"nothing known", {"", "", "", ""}, ""},
        {"another device", {"/dev/ttyUSB9", "FT232R USB UART", "FTDI", "A1B2C3"}, ""},
    };
    for (const Row& row : rows) {
        PortFolder ports;
        ports.AddPort(33);
        PortDescriptions::Record record = row.record;
        if (record.path.isEmpty()) {
            record.path = ports.DevicePath(0);
        }
        FakePortDescriptions system({record});
        OptionsMainWindow main;
        ComPortSelector selector(main);

        ASSERT_TRUE(selector.FillPorts()) << row.name;
        EXPECT_EQ(Texts(selector),
                  QStringList{"COM 33" + kDash + ports.DevicePath(0) + row.details})
            << row.name;
        EXPECT_EQ(selector.itemData(0).toInt(), 33) << row.name;
        EXPECT_EQ(selector.itemData(0, Qt::ToolTipRole).toString(), ports.Path() + "/com33")
            << row.name;
    }
}

// The system names devices as it knows them; a record reached through a
// link describes the device behind it. The port texts still sort by their
// numbers' text, and choosing goes by number.
TEST(OptionsComPortSelector, RecordsMatchByDeviceAndEntriesSortAndSelectAsBefore) {
    PortFolder ports;
    ports.AddPort(2);
    ports.AddPort(10);
    ports.AddPort(1);
    QTemporaryDir links;
    const QString link = links.path() + "/ttyUSB0";
    ASSERT_TRUE(QFile::link(ports.DevicePath(1), link));
    FakePortDescriptions system(
        {{link, "CP2102 USB to UART Bridge Controller", "Silicon Labs", "0001"}});
    OptionsMainWindow main;
    ComPortSelector selector(main);
    ASSERT_TRUE(selector.FillPorts());
    selector.AddSorted("AUTO", 0);

    EXPECT_EQ(Labels(selector), (QStringList{"AUTO", "COM 1", "COM 10", "COM 2"}));
    EXPECT_EQ(selector.itemText(2), "COM 10" + kDash + ports.DevicePath(1) +
                                        " (Silicon Labs CP2102 USB to UART Bridge Controller, "
                                        "serial 0001)");
    selector.SelectPort(10);
    EXPECT_EQ(selector.currentIndex(), 2);
    EXPECT_EQ(selector.GetSelectedPort(), 10);
    EXPECT_TRUE(main.log.isEmpty());
}

TEST(OptionsComPortSelector, GermanTextsWhenTheGermanFileIsLoaded) {
    PortFolder ports;
    ports.AddPort(33);
    ports.AddPort(7);
    FakePortDescriptions system({{ports.DevicePath(0), "FT232R USB UART", "FTDI", "A1B2C3"}});
    OptionsMainWindow main;
    main.CopyResource("LANG_DEUTSCH.txt");
    ASSERT_TRUE(UseLanguageFile(main, "LANG_DEUTSCH.txt"));
    ComPortSelector selector(main);

    ASSERT_TRUE(selector.FillPorts());

    EXPECT_EQ(Texts(selector), (QStringList{"COM 33" + kDash + ports.DevicePath(0) +
                                                " (FTDI FT232R USB UART, Seriennummer A1B2C3)",
                                            "COM 7" + kDash + ports.DevicePath(1)}));
}

// A language file from before these texts: the English forms stand in.
TEST(OptionsComPortSelector, LanguageFileWithoutTheEntryTextsGetsTheEnglishForms) {
    PortFolder ports;
    ports.AddPort(33);
    FakePortDescriptions system({{ports.DevicePath(0), "FT232R USB UART", "FTDI", "A1B2C3"}});
    OptionsMainWindow main;
    main.WriteFile("LANG_OLD.txt", "APPNAME=Old\nLBL_SELECT_COMPORT=Port\n");
    ASSERT_TRUE(UseLanguageFile(main, "LANG_OLD.txt"));
    ComPortSelector selector(main);

    ASSERT_TRUE(selector.FillPorts());

    EXPECT_EQ(Texts(selector), QStringList{"COM 33" + kDash + ports.DevicePath(0) +
                                           " (FTDI FT232R USB UART, serial A1B2C3)"});
}

// ---- Ports this user may not open -----------------------------------------------------

// Root may open every node, so these cases need an ordinary user.
bool RunsAsRoot() {
    return ::geteuid() == 0;
}

TEST(OptionsComPortSelector, PortWithoutPermissionIsMarkedAndTheMainWindowIsTold) {
    if (RunsAsRoot()) {
        GTEST_SKIP() << "root may open any device node; run as an ordinary user";
    }
    PortFolder ports;
    ports.AddPort(1);
    ASSERT_EQ(::chmod(ports.DevicePath(0).toLocal8Bit().constData(), 0), 0);
    OptionsMainWindow main;
    ComPortSelector selector(main);

    ASSERT_TRUE(selector.FillPorts());

    EXPECT_EQ(Texts(selector),
              QStringList{"COM 1" + kDash + ports.DevicePath(0) + " (no permission)"});
    EXPECT_EQ(selector.itemData(0).toInt(), 1);
    EXPECT_EQ(main.log, QStringList{"PortAccessDenied " + ports.DevicePath(0)});
}

// The hint is for a user who cannot use any port; one usable port is
// enough to go on with, and the other port's entry says why it will fail.
TEST(OptionsComPortSelector, NoHintWhileAnotherPortCanBeOpened) {
    if (RunsAsRoot()) {
        GTEST_SKIP() << "root may open any device node; run as an ordinary user";
    }
    PortFolder ports;
    ports.AddPort(1);
    ports.AddPort(2);
    ASSERT_EQ(::chmod(ports.DevicePath(0).toLocal8Bit().constData(), 0), 0);
    FakePortDescriptions system({{ports.DevicePath(0), "FT232R USB UART", "FTDI", ""}});
    OptionsMainWindow main;
    main.CopyResource("LANG_DEUTSCH.txt");
    ASSERT_TRUE(UseLanguageFile(main, "LANG_DEUTSCH.txt"));
    ComPortSelector selector(main);

    ASSERT_TRUE(selector.FillPorts());

    EXPECT_EQ(Texts(selector), (QStringList{"COM 1" + kDash + ports.DevicePath(0) +
                                                " (FTDI FT232R USB UART, keine Berechtigung)",
                                            "COM 2" + kDash + ports.DevicePath(1)}));
    EXPECT_TRUE(main.log.isEmpty());
}

} // namespace
