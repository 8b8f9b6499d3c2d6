// The local file a device file is copied to. Without --force an existing
// file is never replaced, not even one that appears while the copy runs: the
// library writes into a private staging folder beside the destination, and
// the finished file is moved into place only if the name is still free.
// With --force the library writes the destination itself (it, too, replaces
// the old file only once the new one is complete), unless the copy is to be
// checked before it takes the old file's place: then it is staged as well.
#pragma once

#include <string>

namespace trelmctl {

class LocalDestination {
public:
    LocalDestination(std::string path, bool force, bool stageAlways = false);
    // Removes the staging folder and anything left in it.
    ~LocalDestination();
    LocalDestination(const LocalDestination&) = delete;
    LocalDestination& operator=(const LocalDestination&) = delete;

    const std::string& Path() const { return m_path; }

    // Whether something (a file, a folder, a link) already has the name.
    bool Exists() const;
    // Readies the path the library writes to. False with a reason on failure.
    bool Prepare(std::string& error);
    // The path to hand to the library.
    const std::string& WritePath() const { return m_writePath; }
    // Moves the finished file into place. False with a reason when the name
    // was taken meanwhile or the move failed; the finished file is dropped then.
    bool Commit(std::string& error);

private:
    void RemoveStaging();

    std::string m_path;
    bool m_force;
    bool m_stage;
    std::string m_stagingDir;
    std::string m_writePath;
};

} // namespace trelmctl
