#include "QuarnUI.h"
#include "ReadProductVersion.h"
#include "WindowShownExit.h"

#include <QApplication>

#include <memory>

// The version record of this program file, read by the splash and the about
// box; the four numbers come from the project's version in the build.
QUARN_PRODUCT_VERSION_RECORD(QUARN_VERSION_MAJOR, QUARN_VERSION_MINOR, QUARN_VERSION_PATCH,
                             QUARN_VERSION_TWEAK);

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    // Smoke tests of an installed program end it once a given window shows.
    std::unique_ptr<WindowShownExit> exitOnWindow;
    if (const QString window = qEnvironmentVariable("QUARN_EXIT_ON_WINDOW"); !window.isEmpty()) {
        exitOnWindow = std::make_unique<WindowShownExit>(window);
    }
    QuarnUI program;
    program.InitInstance(QApplication::arguments());
    return 0;
}
