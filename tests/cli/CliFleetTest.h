// Fixture for trelmctl on several devices: besides the emulator of
// CliEmulatorTest on COM4, emulators on COM5 and COM6 share its TRELM_PORTS
// folder. Each has a device and a pseudo-terminal of its own.
#pragma once

#include "CliEmulatorTest.h"

#include <QJsonArray>

#include <map>
#include <memory>

class CliFleetTest : public CliEmulatorTest {
protected:
    struct Emulator {
        devsim::Device device;
        devsim::PtyServer server{device};
    };

    void SetUp() override {
        CliEmulatorTest::SetUp();
        for (unsigned number : {5u, 6u}) {
            AddEmulator(number);
        }
    }

    void TearDown() override {
        for (auto& [number, emulator] : extra) {
            emulator->server.stop();
        }
        CliEmulatorTest::TearDown();
    }

    // Starts an emulator and links it as COM `number`.
    Emulator& AddEmulator(unsigned number) {
        auto emulator = std::make_unique<Emulator>();
        std::string error;
        EXPECT_TRUE(emulator->server.start(&error)) << error;
        EXPECT_TRUE(emulator->server.linkInto(ports.Path().string(), number, &error)) << error;
        Emulator& added = *emulator;
        extra[number] = std::move(emulator);
        return added;
    }

    // The device on COM `number` (4 is the fixture's own).
    devsim::Device& DeviceOn(unsigned number) {
        return number == kComPort ? device : extra.at(number)->device;
    }

    std::string ContentOn(unsigned number, const std::string& name) {
        const auto file = DeviceOn(number).file(name);
        return file ? std::string(file->data.begin(), file->data.end()) : std::string();
    }

    void PutOn(unsigned number, const std::string& name, const std::string& content) {
        devsim::NvFile file;
        file.name = name;
        file.data.assign(content.begin(), content.end());
        std::string error;
        ASSERT_TRUE(DeviceOn(number).putFile(std::move(file), &error)) << error;
    }

    void FaultOn(unsigned number, const std::string& rule) {
        std::string error;
        ASSERT_TRUE(DeviceOn(number).addFault(rule, &error)) << error;
    }

    // The one summary object of a --json run.
    static QJsonObject Summary(const std::vector<QJsonObject>& lines) {
        const auto summaries = OfType(lines, "summary");
        EXPECT_EQ(summaries.size(), 1u);
        EXPECT_FALSE(lines.empty());
        if (!lines.empty()) {
            EXPECT_EQ(lines.back().value("type").toString(), "summary") << "the summary comes last";
        }
        return summaries.empty() ? QJsonObject() : summaries.front();
    }

    // The ports of the summary's failures, with their result codes.
    static std::map<int, int> Failures(const QJsonObject& summary) {
        std::map<int, int> failures;
        for (const auto& entry : summary.value("failures").toArray()) {
            failures[entry.toObject().value("port").toInt()] =
                entry.toObject().value("result").toInt();
        }
        return failures;
    }

    std::map<unsigned, std::unique_ptr<Emulator>> extra;
};
