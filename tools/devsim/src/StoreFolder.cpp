#include "devsim/StoreFolder.h"

#include "devsim/FileStore.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace devsim {

namespace fs = std::filesystem;

namespace {

struct ManifestEntry {
    uint16_t attributes = 0;
    Timestamp created;
    Timestamp modified;
    std::optional<uint32_t> reportedSize;
    std::optional<uint32_t> reportedValue;
};

bool fail(std::string* error, const std::string& message) {
    if (error != nullptr) {
        *error = message;
    }
    return false;
}

bool parseUnsigned(const std::string& text, uint64_t max, uint64_t& value) {
    if (text.empty()) {
        return false;
    }
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const std::string digits = hex ? text.substr(2) : text;
    if (digits.empty() || digits.size() > 10) {
        return false;
    }
    value = 0;
    for (char c : digits) {
        const int d = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                      : hex && std::isxdigit(static_cast<unsigned char>(c))
                          ? std::tolower(static_cast<unsigned char>(c)) - 'a' + 10
                          : -1;
        if (d < 0) {
            return false;
        }
        value = value * (hex ? 16 : 10) + static_cast<uint64_t>(d);
    }
    return value <= max;
}

// Attributes as a number or as letters: r read-only, h hidden.
bool parseAttributes(const std::string& text, uint16_t& attributes) {
    uint64_t value = 0;
    if (parseUnsigned(text, 0xFFFF, value)) {
        attributes = static_cast<uint16_t>(value);
        return true;
    }
    if (text.empty()) {
        return false;
    }
    attributes = 0;
    for (char c : text) {
        switch (std::tolower(static_cast<unsigned char>(c))) {
        case 'r':
            attributes |= NvFile::ReadOnly;
            break;
        case 'h':
            attributes |= NvFile::Hidden;
            break;
        default:
            return false;
        }
    }
    return true;
}

std::string hexWord(uint16_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", value);
    return text;
}

bool readWhole(const fs::path& path, std::vector<uint8_t>& data, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return fail(error, "cannot read " + path.string());
    }
    data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) {
        return fail(error, "cannot read " + path.string());
    }
    return true;
}

bool writeWhole(const fs::path& path, const std::vector<uint8_t>& data, std::string* error) {
    // Written beside the target and renamed over it, so an interrupted save
    // never leaves a half-written file under the device name.
    const fs::path temporary = path.parent_path() / ("." + path.filename().string() + ".tmp");
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data.data()),
                  static_cast<std::streamsize>(data.size()));
        out.close();
        if (!out) {
            std::error_code ec;
            fs::remove(temporary, ec);
            return fail(error, "cannot write " + path.string());
        }
    }
    std::error_code ec;
    fs::rename(temporary, path, ec);
    if (ec) {
        fs::remove(temporary, ec);
        return fail(error, "cannot write " + path.string() + ": " + ec.message());
    }
    return true;
}

std::time_t modificationTime(const fs::path& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return std::time(nullptr);
    }
    return st.st_mtime;
}

bool readManifest(const fs::path& path, std::vector<std::string>& order,
                  std::map<std::string, ManifestEntry>& entries, std::string* error) {
    std::ifstream in(path);
    if (!in) {
        return fail(error, "cannot read " + path.string());
    }
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        const auto first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#') {
            continue;
        }
        std::istringstream fields(line);
        std::string name, attr, created, modified, rsize, rvalue, more;
        fields >> name >> attr >> created >> modified >> rsize >> rvalue;
        const std::string where = path.string() + " line " + std::to_string(number);
        if (rvalue.empty() || (fields >> more)) {
            return fail(error, where + ": expected NAME ATTR CREATED MODIFIED REPORTED_SIZE "
                                       "REPORTED_VALUE");
        }
        ManifestEntry entry;
        uint64_t value = 0;
        const auto c = Timestamp::parse(created);
        const auto m = Timestamp::parse(modified);
        if (!FileStore::legalName(name) || !parseAttributes(attr, entry.attributes) || !c || !m) {
            return fail(error, where + ": bad name, attributes or time stamp");
        }
        entry.created = *c;
        entry.modified = *m;
        if (rsize != "-") {
            if (!parseUnsigned(rsize, 0xFFFFFFFF, value)) {
                return fail(error, where + ": bad reported size");
            }
            entry.reportedSize = static_cast<uint32_t>(value);
        }
        if (rvalue != "-") {
            if (!parseUnsigned(rvalue, 0xFFFFFFFF, value)) {
                return fail(error, where + ": bad reported value");
            }
            entry.reportedValue = static_cast<uint32_t>(value);
        }
        name = FileStore::lowered(name);
        if (entries.count(name) == 0) {
            order.push_back(name);
        }
        entries[name] = entry;
    }
    return true;
}

} // namespace

StoreFolder::StoreFolder(std::string dir) : dir_(std::move(dir)) {}

bool StoreFolder::load(std::vector<NvFile>& files, std::string* error) {
    files.clear();
    warnings_.clear();
    known_.clear();
    std::error_code ec;
    const fs::path dir(dir_);
    if (!fs::exists(dir, ec)) {
        return true; // a new store
    }
    if (!fs::is_directory(dir, ec)) {
        return fail(error, dir_ + " is not a folder");
    }

    std::vector<std::string> order;
    std::map<std::string, ManifestEntry> manifest;
    const fs::path manifestPath = dir / ManifestName;
    if (fs::exists(manifestPath, ec) && !readManifest(manifestPath, order, manifest, error)) {
        return false;
    }
    for (const std::string& name : order) {
        known_.insert(name);
    }

    // Host names by device name; files sorted by name for a stable order.
    std::map<std::string, std::string> hostNames;
    std::vector<std::string> entries;
    for (const auto& entry : fs::directory_iterator(dir, ec)) {
        entries.push_back(entry.path().filename().string());
    }
    if (ec) {
        return fail(error, "cannot list " + dir_ + ": " + ec.message());
    }
    std::sort(entries.begin(), entries.end());
    for (const std::string& host : entries) {
        if (host == ManifestName || (!host.empty() && host[0] == '.')) {
            continue;
        }
        const fs::path path = dir / host;
        if (!fs::is_regular_file(path, ec)) {
            continue;
        }
        const std::string name = FileStore::lowered(host);
        if (!FileStore::legalName(name)) {
            warnings_.push_back(host + ": not a device file name (8.3, at most 12 characters); "
                                       "skipped");
            continue;
        }
        if (hostNames.count(name) != 0) {
            warnings_.push_back(host + ": same device name as " + hostNames[name] + "; skipped");
            continue;
        }
        if (fs::file_size(path, ec) > NvFile::MaxSize) {
            warnings_.push_back(host + ": larger than 65535 bytes; skipped");
            continue;
        }
        hostNames[name] = host;
    }

    // The manifest's order is the device's order; files it does not list follow.
    std::vector<std::string> names;
    for (const std::string& name : order) {
        if (hostNames.count(name) != 0) {
            names.push_back(name);
        } else {
            warnings_.push_back(name + ": listed in the manifest but has no data file");
        }
    }
    for (const auto& [name, host] : hostNames) {
        if (manifest.count(name) == 0) {
            names.push_back(name);
        }
    }

    for (const std::string& name : names) {
        const std::string& host = hostNames[name];
        NvFile file;
        file.name = name;
        if (!readWhole(dir / host, file.data, error)) {
            return false;
        }
        if (const auto it = manifest.find(name); it != manifest.end()) {
            file.attributes = it->second.attributes;
            file.created = it->second.created;
            file.modified = it->second.modified;
            file.reportedSize = it->second.reportedSize;
            file.reportedValue = it->second.reportedValue;
        } else {
            file.created = Timestamp::fromTime(modificationTime(dir / host));
            file.modified = file.created;
        }
        known_.insert(host);
        files.push_back(std::move(file));
    }
    return true;
}

bool StoreFolder::save(const std::vector<NvFile>& files, std::string* error) {
    std::error_code ec;
    const fs::path dir(dir_);
    fs::create_directories(dir, ec);
    if (ec) {
        return fail(error, "cannot create " + dir_ + ": " + ec.message());
    }
    std::set<std::string> written;
    std::ostringstream manifest;
    manifest << "# trelm-devsim store: one line per device file, in the device's order.\n"
             << "# NAME ATTR CREATED MODIFIED REPORTED_SIZE REPORTED_VALUE\n"
             << "# ATTR bit 0 read-only, bit 1 hidden; time stamps YYYY-MM-DDThh:mm:ss/W\n"
             << "# (W day of week, 0 = Sunday); REPORTED_SIZE - = the file size.\n";
    for (const NvFile& file : files) {
        const fs::path path = dir / file.name;
        if (!writeWhole(path, file.data, error)) {
            return false;
        }
        if (const auto t = file.modified.toTime()) {
            const timespec times[2] = {{0, UTIME_OMIT}, {*t, 0}};
            ::utimensat(AT_FDCWD, path.c_str(), times, 0);
        }
        written.insert(file.name);
        manifest << file.name << ' ' << hexWord(file.attributes) << ' ' << file.created.toText()
                 << ' ' << file.modified.toText() << ' '
                 << (file.reportedSize ? std::to_string(*file.reportedSize) : std::string("-"))
                 << ' '
                 << (file.reportedValue ? std::to_string(*file.reportedValue) : std::string("-"))
                 << '\n';
    }
    const std::string text = manifest.str();
    if (!writeWhole(dir / ManifestName, std::vector<uint8_t>(text.begin(), text.end()), error)) {
        return false;
    }
    // Device files deleted since: remove their data files, but only those
    // this folder loaded or listed.
    for (const std::string& host : known_) {
        if (written.count(host) == 0 && fs::is_regular_file(dir / host, ec)) {
            fs::remove(dir / host, ec);
        }
    }
    known_ = written;
    return true;
}

bool StoreFolder::readSeed(std::string_view seedText, NvFile& file, std::string* error) {
    std::string path(seedText);
    uint16_t attributes = 0;
    if (const auto colon = path.rfind(':'); colon != std::string::npos) {
        uint16_t parsed = 0;
        if (parseAttributes(path.substr(colon + 1), parsed)) {
            attributes = parsed;
            path.erase(colon);
        }
    }
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) {
        return fail(error, path + ": no such file");
    }
    if (fs::file_size(path, ec) > NvFile::MaxSize) {
        return fail(error, path + ": larger than 65535 bytes");
    }
    file = NvFile{};
    file.name = FileStore::lowered(fs::path(path).filename().string());
    if (!FileStore::legalName(file.name)) {
        return fail(error, path + ": \"" + file.name +
                               "\" is not a device file name (8.3, at most 12 characters)");
    }
    if (!readWhole(path, file.data, error)) {
        return false;
    }
    file.attributes = attributes;
    file.created = Timestamp::fromTime(modificationTime(path));
    file.modified = file.created;
    return true;
}

} // namespace devsim
