#include "StderrCapture.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

StderrCapture::StderrCapture() {
    char name[] = "/tmp/settings-stderr-XXXXXX";
    captureFd = mkstemp(name);
    if (captureFd < 0) {
        std::abort();
    }
    unlink(name);
    std::fflush(stderr);
    savedFd = dup(2);
    dup2(captureFd, 2);
}

StderrCapture::~StderrCapture() {
    Finish();
}

std::string StderrCapture::Finish() {
    if (savedFd < 0) {
        return std::string();
    }
    std::fflush(stderr);
    dup2(savedFd, 2);
    close(savedFd);
    savedFd = -1;
    std::string text;
    lseek(captureFd, 0, SEEK_SET);
    char buffer[4096];
    ssize_t got = 0;
    while ((got = read(captureFd, buffer, sizeof buffer)) > 0) {
        text.append(buffer, static_cast<size_t>(got));
    }
    close(captureFd);
    captureFd = -1;
    return text;
}
