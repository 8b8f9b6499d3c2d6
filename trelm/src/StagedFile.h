// A local file written under a temporary name beside its destination and
// renamed over the destination only when it is complete, so that a failed
// copy never destroys or truncates a file that was there before.
#pragma once

#include "LocalFile.h"

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>

namespace trelm {

class StagedFile {
public:
    explicit StagedFile(std::string destination);
    // Removes the temporary file unless it was committed.
    ~StagedFile();
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    // Creates a new, uniquely named hidden file in the destination's folder
    // (O_CREAT | O_EXCL, so no existing file is ever opened). A destination
    // that exists lends its permission bits to the new file; one that is a
    // symbolic link stands for the file it points to.
    bool Create();
    bool Write(const uint8_t* data, std::size_t count);
    // Closes the temporary file; false when the close reported an error.
    bool Close();
    // Sets the modification time of the closed temporary file and leaves its
    // access time alone.
    bool SetModificationTime(std::time_t when);
    // Renames the temporary file over the destination.
    bool Commit();
    // Removes the temporary file (if any); the destination is not touched.
    void Discard();

    const std::string& TemporaryPath() const { return m_temporary; }

private:
    std::string m_destination;
    std::string m_temporary;
    LocalFile m_file;
};

} // namespace trelm
