// Fixture for trelmctl end to end: the device emulator serves a real
// pseudo-terminal in this process, a temporary TRELM_PORTS folder offers it
// as COM4, and trelmctl runs as a child process in a temporary working folder.
#pragma once

#include "CliRunner.h"
#include "TempDir.h"

#include "devsim/CommandTable.h"
#include "devsim/Device.h"
#include "devsim/PtyServer.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <utility>
#include <vector>

class CliEmulatorTest : public ::testing::Test {
protected:
    static constexpr unsigned kComPort = 4;

    void SetUp() override {
        // The folders are looked at by other users in the permission test.
        ::chmod(ports.Path().c_str(), 0755);
        ::chmod(work.Path().c_str(), 0777);
        std::string error;
        ASSERT_TRUE(server.start(&error)) << error;
        ASSERT_TRUE(server.linkInto(ports.Path().string(), kComPort, &error)) << error;
    }

    void TearDown() override { server.stop(); }

    // trelmctl with these arguments, TRELM_PORTS set, in the working folder.
    cli::test::CliResult Run(const std::vector<std::string>& args) {
        cli::test::CliRunner runner;
        Prepare(runner);
        return runner.Run(args);
    }

    void Prepare(cli::test::CliRunner& runner) const {
        runner.SetWorkingDirectory(work.Path().string());
        runner.SetEnv("TRELM_PORTS", ports.Path().string());
    }

    void PutDeviceFile(const std::string& name, const std::string& content,
                       uint16_t attributes = 0) {
        devsim::NvFile file;
        file.name = name;
        file.data.assign(content.begin(), content.end());
        file.attributes = attributes;
        std::string error;
        ASSERT_TRUE(device.putFile(std::move(file), &error)) << error;
    }

    std::string DeviceContent(const std::string& name) const {
        const auto file = device.file(name);
        return file ? std::string(file->data.begin(), file->data.end()) : std::string();
    }

    std::filesystem::path WriteLocal(const std::string& name, const std::string& content) const {
        const std::filesystem::path path = work.Path() / name;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }

    static std::string ReadFile(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    // Every byte value, then a repeatable pseudo-random tail: content that
    // shows any lost, repeated or altered byte.
    static std::string Pattern(std::size_t size, uint32_t seed) {
        std::string data(size, '\0');
        uint32_t state = seed;
        for (std::size_t i = 0; i < size; ++i) {
            state = state * 1664525u + 1013904223u;
            data[i] = static_cast<char>(i < 256 ? i : state >> 24);
        }
        return data;
    }

    // The JSON objects of a --json run, one per output line; a line that does
    // not parse fails the test.
    static std::vector<QJsonObject> JsonLines(const cli::test::CliResult& result) {
        std::vector<QJsonObject> objects;
        for (const std::string& line : result.OutLines()) {
            QJsonParseError error{};
            const QJsonDocument document =
                QJsonDocument::fromJson(QByteArray::fromStdString(line), &error);
            EXPECT_EQ(error.error, QJsonParseError::NoError) << "not JSON: " << line;
            EXPECT_TRUE(document.isObject()) << line;
            objects.push_back(document.object());
        }
        return objects;
    }

    static std::vector<QJsonObject> OfType(const std::vector<QJsonObject>& objects,
                                           const char* type) {
        std::vector<QJsonObject> matching;
        for (const QJsonObject& object : objects) {
            if (object.value("type").toString() == QLatin1String(type)) {
                matching.push_back(object);
            }
        }
        return matching;
    }

    // Names of the files and folders in the working folder, sorted.
    std::vector<std::string> WorkEntries() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(work.Path())) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    std::string Port() const { return std::to_string(kComPort); }

    trelm::test::TempDir ports;
    trelm::test::TempDir work;
    devsim::Device device;
    devsim::PtyServer server{device};
};
