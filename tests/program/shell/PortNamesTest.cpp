// The COM port names and the permission hint as the main window shows them,
// against the device emulator on a real pseudo-terminal: the options' COM
// page names the device behind COM 7, and a port that this user may not open
// brings the hint both in the COM page's list and when the window connects.
#include "ComPortSelector.h"
#include "DeviceShell.h"
#include "ModalDialogs.h"
#include "Options.h"
#include "PropPageCom.h"
#include "SettingsKeys.h"

#include "trelm.h"

#include <QDialog>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <grp.h>
#include <ostream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace SettingsKeys;

const QString kAppName = QStringLiteral("Quarn File Loader");
const QString kDash = QStringLiteral(" \u2014 ");

// Root may open every node, so the permission cases need an ordinary user.
bool RunsAsRoot() {
    return ::geteuid() == 0;
}

// The name of the group that owns `path`, found here on its own.
QString GroupOf(const QString& path) {
    struct stat node {};
    if (::stat(path.toLocal8Bit().constData(), &node) != 0) {
        return QString();
    }
    const group* entry = ::getgrgid(node.st_gid);
    return entry != nullptr ? QString::fromLocal8Bit(entry->gr_name) : QString::number(node.st_gid);
}

class PortNames : public DeviceShell {
protected:
    QString Device() const { return QString::fromStdString(server.slavePath()); }
    // Takes the permissions of the emulator's pseudo-terminal away.
    void DenyDevice() { ASSERT_EQ(::chmod(server.slavePath().c_str(), 0), 0); }

    // Opens the options sheet of the running window on its COM page, hands
    // the port list to `look` once it is filled, then cancels the sheet.
    void OnComPage(const std::function<void(ComPortSelector&)>& look) {
        bool looked = false;
        ModalDialogs::AnswerNext([&](QDialog* dialog) {
            auto* sheet = dynamic_cast<COptions*>(dialog);
            ASSERT_NE(sheet, nullptr);
            sheet->Tabs().setCurrentIndex(COptions::COM_PAGE);
            ComPortSelector& ports = sheet->ComPage().PortSelector();
            // The probes go through the device link; "AUTO" comes after them.
            if (QTest::qWaitFor([&ports] { return ports.findData(0) >= 0; }, 10000)) {
                look(ports);
                looked = true;
            }
            ModalDialogs::Press(dialog, "ctl2");
        });
        window->OnCommand(QuarnUIDlg::ID_TOOLS_OPTIONS);
        EXPECT_TRUE(looked);
    }
};

TEST_F(PortNames, ComPageNamesThePseudoTerminalBehindTheEmulatorsPort) {
    TestMainWindow& w = StartWindow();
    ASSERT_TRUE(w.IsConnected());

    OnComPage([&](ComPortSelector& ports) {
        QStringList texts;
        for (int i = 0; i < ports.count(); ++i) {
            texts << ports.itemText(i);
        }
        EXPECT_EQ(texts, (QStringList{"AUTO", "COM 7" + kDash + Device()}));
        // The stored port is selected by its number.
        EXPECT_EQ(ports.GetSelectedPort(), 7);
        EXPECT_EQ(ports.currentText(), "COM 7" + kDash + Device());
    });
    EXPECT_TRUE(prompter.messages.empty());
}

// The hint the shipped error-message files give for `device`.
struct HintRow {
    const char* language;
    QString (*hint)(const QString& device, const QString& group);
};

const HintRow kHintRows[] = {
    {"ENGLISH",
     [](const QString& device, const QString& group) {
         return "You are not allowed to use the serial port " + device +
                ". It belongs to the group \"" + group +
                "\". Add yourself to that group with the command \"sudo usermod -aG " + group +
                " $USER\", then log out and log in again.";
     }},
    {"DEUTSCH",
     [](const QString& device, const QString& group) {
         return "Sie dürfen den seriellen Anschluss " + device +
                " nicht benutzen. Er gehört der Gruppe \"" + group +
                "\". Nehmen Sie sich mit dem Befehl \"sudo usermod -aG " + group +
                " $USER\" in diese Gruppe auf, melden Sie sich dann ab und wieder an.";
     }},
};

void PrintTo(const HintRow& row, std::ostream* out) {
    *out << row.language;
}

class PortPermissionHint : public PortNames, public ::testing::WithParamInterface<HintRow> {
protected:
    void SetUp() override {
        PortNames::SetUp();
        const QString language = QLatin1String(GetParam().language);
        ASSERT_TRUE(folder.WriteSettings({{COM_SETUP, COM_PORT, QString::number(kCom)},
                                          {APPLICATION, LANGUAGE, "LANG_" + language + ".txt"},
                                          {APPLICATION, ERROR_FILE, "ERR_" + language + ".txt"}}));
    }
};

// Connecting to a configured port whose node this user may not open: the
// library's message first, then what to do about it.
TEST_P(PortPermissionHint, FollowsTheLibraryErrorWhenTheConfiguredPortCannotBeOpened) {
    if (RunsAsRoot()) {
        GTEST_SKIP() << "root may open any device node; run as an ordinary user";
    }
    DenyDevice();
    ASSERT_EQ(TRELM_Init(kCom, TRELM_DEFAULT_MODE),
              static_cast<TRELM_Result>(TRELM_ERROR_COMPORT_NOT_OPENED));

    TestMainWindow& w = StartWindow();

    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].text, w.LibraryErrorText(TRELM_ERROR_COMPORT_NOT_OPENED) +
                                             "\n\n" + GetParam().hint(Device(), GroupOf(Device())));
    EXPECT_EQ(prompter.messages[0].caption, kAppName);
    EXPECT_FALSE(w.IsConnected());
}

// The COM page lists the port all the same, marked, and as it is the only
// one, the user learns how to get the permission.
TEST_P(PortPermissionHint, IsShownWhenTheComPageOffersOnlyPortsThatCannotBeOpened) {
    if (RunsAsRoot()) {
        GTEST_SKIP() << "root may open any device node; run as an ordinary user";
    }
    TestMainWindow& w = StartWindow();
    ASSERT_TRUE(w.IsConnected());
    ASSERT_TRUE(prompter.messages.empty());
    DenyDevice();

    OnComPage([&](ComPortSelector& ports) {
        const int entry = ports.findData(7);
        ASSERT_GE(entry, 0);
        EXPECT_TRUE(ports.itemText(entry).startsWith("COM 7" + kDash + Device() + " ("));
        EXPECT_NE(ports.itemText(entry), "COM 7" + kDash + Device());
    });

    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].text, GetParam().hint(Device(), GroupOf(Device())));
    EXPECT_EQ(prompter.messages[0].caption, kAppName);
}

INSTANTIATE_TEST_SUITE_P(Languages, PortPermissionHint, ::testing::ValuesIn(kHintRows),
                         [](const auto& info) { return std::string(info.param.language); });

} // namespace
