// The main window as tests drive it: its fatal exits are recorded instead of
// ending the process, the pause after the splash is left out, and the
// first-run setup answers what the test sets.
#pragma once

#include "QuarnUIDlg.h"

#include <vector>

class TestMainWindow : public QuarnUIDlg {
public:
    TestMainWindow();

    // Creation and initialisation, then waits until the start-up query has
    // ended and its refresh has run. False when start-up ended the program
    // or the query did not end in time.
    bool Start();
    // Waits until the start-up query has ended and the events it posted
    // have run.
    bool WaitForQuery();
    // Waits until no device operation runs and nothing is held back.
    bool WaitForIdle();

    std::vector<int> fatalExits;
    int firstRunCalls = 0;
    FirstRunChoice firstRunChoice;
    // Runs the program's own first-run dialog instead of answering with
    // `firstRunChoice` (a test answers the dialog itself).
    bool realFirstRun = false;

protected:
    FirstRunChoice RunFirstRunSetup() override;
};
