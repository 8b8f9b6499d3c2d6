// main() of the program's test executables: a QApplication on Qt's offscreen
// platform (unless a display is named) around GoogleTest, started with the
// program's folder in a temporary folder (see ProgramFolder.h).
#include "ProgramFolder.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    ProgramFolder::RelaunchInTemporaryFolder(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    if (std::getenv("QT_QPA_PLATFORM") == nullptr && std::getenv("DISPLAY") == nullptr &&
        std::getenv("WAYLAND_DISPLAY") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QApplication application(argc, argv);
    const int result = RUN_ALL_TESTS();
    ProgramFolder::CleanUp();
    return result;
}
