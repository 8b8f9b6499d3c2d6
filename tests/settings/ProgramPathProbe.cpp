// Loads a store beside this program, as started, and prints what it found:
// the load result, the file name and the value of [S] k. Run by the tests with
// a chosen argv[0] and working directory.
#include "IniEx.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 2) {
        return 2;
    }
    IniEx store(4);
    const bool ok =
        store.LoadBesideProgram(QString::fromLocal8Bit(argv[1]), false, false, true, false);
    std::printf("%s\n%s\n%s\n", ok ? "loaded" : "failed", qPrintable(store.GetFileName()),
                qPrintable(store.ReadValue(QStringLiteral("S"), QStringLiteral("k"),
                                           QStringLiteral("<none>"))));
    return 0;
}
