#include "DeviceShell.h"

#include "FileList.h"
#include "SettingsKeys.h"
#include "TestFiles.h"

#include "devsim/CommandTable.h"

#include <QPushButton>

#include <algorithm>
#include <cstdlib>

void DeviceShell::SetUp() {
    ASSERT_TRUE(folder.IsValid());
    ASSERT_TRUE(ports.isValid());
    std::string error;
    ASSERT_TRUE(server.start(&error)) << error;
    if (linkDevice) {
        LinkDevice();
    }
    setenv("TRELM_PORTS", ports.path().toLocal8Bit().constData(), 1);
    ASSERT_TRUE(folder.WriteSettings(
        {{SettingsKeys::COM_SETUP, SettingsKeys::COM_PORT, QString::number(kCom)}}));
}

void DeviceShell::TearDown() {
    // The window goes first. A request still waiting on a silent line is
    // ended by unplugging the line, so the window's end does not wait for
    // the library's time-outs.
    if (window && window->Link().IsBusy()) {
        server.stop();
    }
    window.reset();
    server.stop();
    unsetenv("TRELM_PORTS");
}

devsim::NvFile DeviceShell::File(const char* name, std::size_t size, std::uint16_t attributes) {
    devsim::NvFile file;
    file.name = name;
    file.data.assign(size, 0x5A);
    file.created.year = 2024;
    file.created.month = 3;
    file.created.day = 7;
    file.created.hour = 9;
    file.created.minute = 5;
    file.created.second = 3;
    file.created.weekday = 4;
    file.modified = file.created;
    file.attributes = attributes;
    return file;
}

void DeviceShell::Put(const devsim::NvFile& file) {
    std::string error;
    ASSERT_TRUE(device.putFile(file, &error)) << error;
}

void DeviceShell::LinkDevice() {
    std::string error;
    ASSERT_TRUE(server.linkInto(ports.path().toStdString(), kCom, &error)) << error;
}

void DeviceShell::PutLocal(const char* name, qint64 size) {
    ASSERT_TRUE(TestFiles::Write(folder.LocalFolder() + u'/' + QLatin1String(name), size));
}

TestMainWindow& DeviceShell::StartWindow() {
    window = std::make_unique<TestMainWindow>();
    EXPECT_TRUE(window->Start());
    return *window;
}

std::vector<std::string> DeviceShell::Column(const FileList& list, int column) {
    std::vector<std::string> texts;
    for (int row = 0; row < list.RowCount(); ++row) {
        texts.push_back(list.RowText(row, column).toStdString());
    }
    return texts;
}

bool DeviceShell::ButtonEnabled(const char* name) const {
    const auto* button = window->findChild<QPushButton*>(QLatin1String(name));
    return button != nullptr && button->isEnabled();
}

std::vector<std::uint16_t> DeviceShell::Commands() const {
    std::vector<std::uint16_t> codes;
    for (const std::vector<std::uint8_t>& frame : device.requestLog()) {
        if (frame.size() >= 2) {
            codes.push_back(static_cast<std::uint16_t>(frame[0] | (frame[1] << 8)));
        }
    }
    return codes;
}

std::set<std::string> DeviceShell::CommandsBetweenCreateAndStore() const {
    const std::vector<std::uint16_t> codes = Commands();
    const auto create = std::find(codes.begin(), codes.end(), devsim::cmd::CreateNvFile);
    const auto store = std::find(codes.begin(), codes.end(), devsim::cmd::CreateNvFileStoreFile);
    std::set<std::string> between;
    if (create == codes.end() || store == codes.end() || store < create) {
        return between;
    }
    for (auto code = create + 1; code != store; ++code) {
        between.insert(devsim::CommandTable::label(*code));
    }
    return between;
}
