#pragma once

#include <string>

// Sends everything written to file descriptor 2 into a temporary file until
// Finish, which restores stderr and returns what was written.
class StderrCapture {
public:
    StderrCapture();
    ~StderrCapture();
    StderrCapture(const StderrCapture&) = delete;
    StderrCapture& operator=(const StderrCapture&) = delete;

    std::string Finish();

private:
    int savedFd = -1;
    int captureFd = -1;
};
