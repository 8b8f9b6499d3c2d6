// Keeps a device store in a folder of the host: one data file per device file
// (named as on the device) and a manifest, "devsim.manifest", with the
// attributes, time stamps and reported values of each file.
//
// Manifest lines (blank lines and lines starting with # are ignored):
//   NAME ATTR CREATED MODIFIED REPORTED_SIZE REPORTED_VALUE
// ATTR is a number (0x.. allowed; bit 0 read-only, bit 1 hidden), the time
// stamps are YYYY-MM-DDThh:mm:ss/W (W the day of the week, 0 = Sunday),
// REPORTED_SIZE is a number or "-" for the file size. The manifest's own name
// is not a legal device name, so it never clashes with a device file.
#pragma once

#include "devsim/NvFile.h"

#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace devsim {

class StoreFolder {
public:
    static constexpr const char* ManifestName = "devsim.manifest";

    explicit StoreFolder(std::string dir);

    // Reads the folder: every regular file with a legal device name and at
    // most 65535 bytes becomes a device file, described by its manifest line
    // if it has one (otherwise attributes 0 and its modification time as
    // both time stamps). Other files are skipped with a warning. A missing
    // folder is an empty store. Returns false on an unreadable folder or a
    // malformed manifest.
    bool load(std::vector<NvFile>& files, std::string* error = nullptr);
    // Writes the files and the manifest, sets each data file's modification
    // time to the file's second time stamp, and removes the data files of
    // device files that no longer exist (only files this folder loaded or
    // its manifest listed; nothing else is touched).
    bool save(const std::vector<NvFile>& files, std::string* error = nullptr);

    // Warnings of the last load (skipped files).
    const std::vector<std::string>& warnings() const { return warnings_; }

    // Reads one host file as a device file: "PATH[:ATTR]", ATTR a number or
    // letters r (read-only) and h (hidden). The device name is the file's
    // name in lower case; both time stamps are its modification time.
    static bool readSeed(std::string_view seedText, NvFile& file, std::string* error = nullptr);

private:
    std::string dir_;
    std::set<std::string> known_; // device files loaded from or listed in this folder
    std::vector<std::string> warnings_;
};

} // namespace devsim
