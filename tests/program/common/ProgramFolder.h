// The program's own folder in tests. The file library lives beside the
// program (the folder of argv[0]), so the test programs start themselves
// once more with an argv[0] inside a fresh temporary folder; tests find that
// folder here and may create and inspect files in it.
#pragma once

#include <QString>

namespace ProgramFolder {

// Called first thing in main(): starts the program again with argv[0] in a
// new temporary folder, unless that has happened already (or the program only
// lists its tests). Returns only when no new start was made or it failed.
void RelaunchInTemporaryFolder(int argc, char** argv);
// The folder of argv[0]; empty when the program was not relaunched.
QString Path();
// Removes the temporary folder if this process made it for itself.
void CleanUp();

} // namespace ProgramFolder
