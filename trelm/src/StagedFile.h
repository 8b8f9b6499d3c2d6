// A local file that takes the place of its destination only when it is
// complete and on the disk, so that a failed copy, a killed process or a
// power loss never leaves the destination's name on an empty or partial
// file.
//
// Normally the data is written to a temporary file beside the destination,
// synced, and renamed over the destination, and then the folder is synced.
// The temporary's name is ".trelm-HOST-PID-RANDOM.part"; temporaries of this
// library that a killed process left behind (same host, process gone, older
// than this copy) are removed before a new one is created.
//
// A destination with more than one hard link cannot be replaced by rename
// without splitting it from its other names; it is rewritten in place
// instead, and only at Commit, when all the data is there.
#pragma once

#include "LocalFile.h"

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace trelm {

class StagedFile {
public:
    explicit StagedFile(std::string destination);
    // Removes the temporary file unless it was committed.
    ~StagedFile();
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    // Prepares the copy. A destination that is a symbolic link stands for
    // the file it points to; one that points nowhere (dangling, or a loop)
    // is refused. Otherwise a new, uniquely named temporary file is made in
    // the destination's folder (O_CREAT | O_EXCL, so no existing file is
    // ever opened). An existing destination lends its permission bits and,
    // where the process may set them, its owner and group to the new file.
    bool Create();
    bool Write(const uint8_t* data, std::size_t count);
    // Syncs and closes the temporary file; false when either failed.
    bool Close();
    // Sets the modification time of the written file and leaves its access
    // time alone.
    bool SetModificationTime(std::time_t when);
    // Puts the data in place: renames the temporary file over the
    // destination and syncs the folder, or rewrites a hard-linked
    // destination in place.
    bool Commit();
    // Removes the temporary file (if any); the destination is not touched.
    void Discard();

    const std::string& TemporaryPath() const { return m_temporary; }
    // Whether the destination is rewritten in place (it has other hard links).
    bool InPlace() const { return m_inPlace; }

    // Replaces fsync(2) for every sync of this class (tests use it to see
    // the order of syncs and renames, and to make a sync fail); null
    // restores fsync.
    using SyncFunction = int (*)(int fd);
    static void SetSyncFunction(SyncFunction sync);

    // The prefix and suffix of every temporary file name.
    static constexpr const char* kTemporaryPrefix = ".trelm-";
    static constexpr const char* kTemporarySuffix = ".part";

private:
    bool CreateTemporary(const struct stat* existing);
    bool CommitInPlace();
    void RemoveStaleTemporaries(const std::string& folder) const;

    std::string m_destination;
    std::string m_temporary;
    LocalFile m_file;
    bool m_inPlace = false;
    // In-place mode: the data and the time waiting for Commit.
    std::vector<uint8_t> m_pending;
    std::optional<std::time_t> m_modificationTime;
    // When this copy began; only temporaries older than that are stale.
    struct timespec m_started {};
};

} // namespace trelm
