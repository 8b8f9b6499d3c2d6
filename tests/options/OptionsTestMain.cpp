// Runs the tests of the option dialogs inside a QApplication on Qt's
// offscreen platform (also when CTest lists the tests).
#include <QApplication>
#include <gtest/gtest.h>

namespace {

// The offscreen platform reports that it cannot follow fixed-size layouts;
// the tests do not depend on window sizes, so that notice is dropped.
QtMessageHandler standardHandler = nullptr;

void FilterMessages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (!message.contains(QLatin1String("does not support propagateSizeHints"))) {
        standardHandler(type, context, message);
    }
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    standardHandler = qInstallMessageHandler(FilterMessages);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
