// Saving a device store into a folder and loading it back.
#include "devsim/StoreFolder.h"
#include "devsim/Device.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using devsim::NvFile;
using devsim::StoreFolder;
using devsim::Timestamp;
namespace fs = std::filesystem;

namespace {

void writeFile(const fs::path& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary);
    out << content;
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

NvFile file(const std::string& name, const std::string& content, uint16_t attributes,
            const char* created, const char* modified) {
    NvFile f;
    f.name = name;
    f.data.assign(content.begin(), content.end());
    f.attributes = attributes;
    f.created = *Timestamp::parse(created);
    f.modified = *Timestamp::parse(modified);
    return f;
}

class DevsimStoreFolder : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("devsim-store-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    fs::path dir;
};

TEST_F(DevsimStoreFolder, SaveAndLoadKeepEverything) {
    std::vector<NvFile> files;
    files.push_back(file("zeta.txt", "last by name, first on the device", NvFile::ReadOnly,
                         "2023-12-24T08:15:42/0", "2024-01-02T17:05:09/2"));
    files.push_back(file("boot.cfg", std::string("\0\x01\xff binary", 10), NvFile::Hidden | 4,
                         "2024-02-29T23:59:59/4", "2024-03-01T00:00:00/5"));
    // Odd stamps a device may hold survive unchanged.
    files.push_back(file("odd.bin", "", 0, "1969-13-32T24:60:61/7", "0-0-0T0:0:0/0"));
    files[0].reportedSize = 4096;
    files[0].reportedValue = 11;
    files[1].reportedValue = 0xFFFFFFFF;

    StoreFolder out(dir.string());
    std::string error;
    ASSERT_TRUE(out.save(files, &error)) << error;
    EXPECT_EQ(readFile(dir / "zeta.txt"), "last by name, first on the device");
    EXPECT_TRUE(fs::exists(dir / StoreFolder::ManifestName));

    StoreFolder in(dir.string());
    std::vector<NvFile> loaded;
    ASSERT_TRUE(in.load(loaded, &error)) << error;
    EXPECT_TRUE(in.warnings().empty());
    ASSERT_EQ(loaded.size(), 3u);
    for (std::size_t i = 0; i < files.size(); ++i) {
        EXPECT_EQ(loaded[i].name, files[i].name) << "the device's order is kept";
        EXPECT_EQ(loaded[i].data, files[i].data) << files[i].name;
        EXPECT_EQ(loaded[i].attributes, files[i].attributes) << files[i].name;
        EXPECT_EQ(loaded[i].created, files[i].created) << files[i].name;
        EXPECT_EQ(loaded[i].modified, files[i].modified) << files[i].name;
        EXPECT_EQ(loaded[i].reportedSize, files[i].reportedSize) << files[i].name;
        EXPECT_EQ(loaded[i].reportedValue, files[i].reportedValue) << files[i].name;
    }
}

TEST_F(DevsimStoreFolder, SavedDataFileCarriesTheSecondTimeStamp) {
    const auto f = file("a.txt", "x", 0, "2020-01-01T00:00:00/3", "2021-06-15T12:30:00/2");
    ASSERT_TRUE(StoreFolder(dir.string()).save({f}));
    struct stat st {};
    ASSERT_EQ(::stat((dir / "a.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, *f.modified.toTime());
}

TEST_F(DevsimStoreFolder, DeletedDeviceFilesLeaveTheFolderForeignFilesStay) {
    fs::create_directories(dir);
    writeFile(dir / "keep.txt", "kept");
    writeFile(dir / "gone.txt", "to be deleted on the device");
    writeFile(dir / "README.markdown", "not a device name");
    writeFile(dir / "huge.bin", std::string(70000, 'h'));

    StoreFolder folder(dir.string());
    std::vector<NvFile> files;
    std::string error;
    ASSERT_TRUE(folder.load(files, &error)) << error;
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(folder.warnings().size(), 2u) << "README.markdown and huge.bin are skipped";

    files.erase(std::remove_if(files.begin(), files.end(),
                               [](const NvFile& f) { return f.name == "gone.txt"; }),
                files.end());
    ASSERT_TRUE(folder.save(files, &error)) << error;
    EXPECT_TRUE(fs::exists(dir / "keep.txt"));
    EXPECT_FALSE(fs::exists(dir / "gone.txt"));
    EXPECT_TRUE(fs::exists(dir / "README.markdown"));
    EXPECT_EQ(fs::file_size(dir / "huge.bin"), 70000u);
}

TEST_F(DevsimStoreFolder, FileWithoutManifestLineTakesItsModificationTime) {
    fs::create_directories(dir);
    writeFile(dir / "Plain.TXT", "abc");
    const std::time_t when = 1700000000; // 14 November 2023
    const timespec times[2] = {{when, 0}, {when, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (dir / "Plain.TXT").c_str(), times, 0), 0);

    StoreFolder folder(dir.string());
    std::vector<NvFile> files;
    ASSERT_TRUE(folder.load(files));
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].name, "plain.txt");
    EXPECT_EQ(files[0].attributes, 0);
    EXPECT_EQ(files[0].created, Timestamp::fromTime(when));
    EXPECT_EQ(files[0].modified, Timestamp::fromTime(when));

    // Saved back under the device's name; the old spelling goes.
    ASSERT_TRUE(folder.save(files));
    EXPECT_TRUE(fs::exists(dir / "plain.txt"));
    EXPECT_FALSE(fs::exists(dir / "Plain.TXT"));
}

TEST_F(DevsimStoreFolder, MalformedManifestIsReported) {
    fs::create_directories(dir);
    writeFile(dir / "a.txt", "a");
    struct Row {
        const char* label;
        const char* line;
    };
    const Row rows[] = {
        {"too few fields", "a.txt 0x0000 2024-01-01T00:00:00/1\n"},
        {"bad attributes", "a.txt rx 2024-01-01T00:00:00/1 2024-01-01T00:00:00/1 - 1\n"},
        {"bad stamp", "a.txt 0 2024-01-01 2024-01-01T00:00:00/1 - 1\n"},
        {"bad name", "toolongname.txt 0 2024-01-01T00:00:00/1 2024-01-01T00:00:00/1 - 1\n"},
    };
    for (const Row& row : rows) {
        writeFile(dir / StoreFolder::ManifestName, std::string("# comment\n") + row.line);
        std::vector<NvFile> files;
        std::string error;
        EXPECT_FALSE(StoreFolder(dir.string()).load(files, &error)) << row.label;
        EXPECT_NE(error.find("line 2"), std::string::npos) << row.label << ": " << error;
    }
}

TEST_F(DevsimStoreFolder, MissingFolderIsAnEmptyStore) {
    std::vector<NvFile> files{NvFile{}};
    EXPECT_TRUE(StoreFolder((dir / "none").string()).load(files));
    EXPECT_TRUE(files.empty());
}

TEST_F(DevsimStoreFolder, SeedsTakeNameAndAttributes) {
    fs::create_directories(dir);
    writeFile(dir / "Boot.CFG", "seed");
    struct Row {
        std::string seed;
        uint16_t attributes;
    };
    const Row rows[] = {
        {(dir / "Boot.CFG").string(), 0},
        {(dir / "Boot.CFG").string() + ":r", NvFile::ReadOnly},
        {(dir / "Boot.CFG").string() + ":h", NvFile::Hidden},
        {(dir / "Boot.CFG").string() + ":RH", NvFile::ReadOnly | NvFile::Hidden},
        {(dir / "Boot.CFG").string() + ":0x12", 0x12},
    };
    for (const Row& row : rows) {
        NvFile f;
        std::string error;
        ASSERT_TRUE(StoreFolder::readSeed(row.seed, f, &error)) << row.seed << ": " << error;
        EXPECT_EQ(f.name, "boot.cfg");
        EXPECT_EQ(std::string(f.data.begin(), f.data.end()), "seed");
        EXPECT_EQ(f.attributes, row.attributes) << row.seed;
    }
    writeFile(dir / "much-too-long.txt", "x");
    NvFile f;
    std::string error;
    EXPECT_FALSE(StoreFolder::readSeed((dir / "much-too-long.txt").string(), f, &error));
    EXPECT_NE(error.find("not a device file name"), std::string::npos) << error;
    EXPECT_FALSE(StoreFolder::readSeed((dir / "missing.txt").string() + ":r", f, &error));
}

TEST_F(DevsimStoreFolder, DeviceStoreRoundTrip) {
    // A file created on the device over the wire is saved and comes back.
    devsim::Device device;
    NvFile f = file("hello.txt", "hello", NvFile::Hidden, "2024-05-06T07:08:09/1",
                    "2024-05-06T07:08:09/1");
    ASSERT_TRUE(device.addFile(f));
    ASSERT_TRUE(StoreFolder(dir.string()).save(device.files()));

    devsim::Device restored;
    std::vector<NvFile> files;
    ASSERT_TRUE(StoreFolder(dir.string()).load(files));
    for (NvFile& loaded : files) {
        ASSERT_TRUE(restored.putFile(loaded));
    }
    const auto back = restored.file("hello.txt");
    ASSERT_TRUE(back.has_value());
    EXPECT_TRUE(back->hidden());
    EXPECT_EQ(back->reportedValue, device.file("hello.txt")->reportedValue);
}

} // namespace
