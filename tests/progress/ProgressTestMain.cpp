#include <QApplication>
#include <QtGlobal>

#include <gtest/gtest.h>

// The widgets need an application object for the whole run. Listing the tests
// at build time happens without a display, so the offscreen platform is the
// default here too.
int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
