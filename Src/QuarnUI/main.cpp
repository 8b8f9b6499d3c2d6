#include "QuarnUI.h"
#include "ReadProductVersion.h"

#include <QApplication>

// The version record of this program file, read by the splash and the about
// box; the four numbers come from the project's version in the build.
QUARN_PRODUCT_VERSION_RECORD(QUARN_VERSION_MAJOR, QUARN_VERSION_MINOR, QUARN_VERSION_PATCH,
                             QUARN_VERSION_TWEAK);

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QuarnUI program;
    program.InitInstance(QApplication::arguments());
    return 0;
}
