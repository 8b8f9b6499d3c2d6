// Runs the program's real start-up (application object, main window, the
// default fatal exit) in the current working directory, with a prompter that
// prints what would be shown. Arguments: folder answers for the folder
// picker, in order. The splash is switched off as by "-Embedding".
#include "PrintingPrompter.h"
#include "QuarnUI.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QStringList folders = QApplication::arguments().mid(1);
    PrintingPrompter prompter(folders);
    Prompter::Install(&prompter);
    QuarnUI program;
    program.InitInstance({QApplication::arguments().value(0), QStringLiteral("-Embedding")});
    // Reached only when the main window closed normally.
    Prompter::Install(nullptr);
    return 0;
}
