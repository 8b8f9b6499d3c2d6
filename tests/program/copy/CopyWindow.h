// The main window of the copy tests: a started TestMainWindow that also
// counts how often the local list is rebuilt and loaded, and keeps the marks
// that were waiting in the local list at each rebuild.
#pragma once

#include "LocalFileList.h"
#include "TestMainWindow.h"

#include <QList>

class CopyWindow : public TestMainWindow {
public:
    void RefreshLocalList() override;
    int LocalListState(int fileCount, int value) override;

    // Forgets what was counted so far (the start-up loads).
    void ResetCounts();

    // RefreshLocalList calls.
    int rebuilds = 0;
    // Loads the local list reported.
    int localLoads = 0;
    // The list's pendingAttributes as they were when the last rebuild began.
    QList<LocalFileList::PendingAttribute> pendingAtRebuild;
};
