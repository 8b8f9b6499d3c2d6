#include "CopyWindow.h"

void CopyWindow::RefreshLocalList() {
    ++rebuilds;
    pendingAtRebuild = LocalList()->pendingAttributes;
    TestMainWindow::RefreshLocalList();
}

int CopyWindow::LocalListState(int fileCount, int value) {
    ++localLoads;
    return TestMainWindow::LocalListState(fileCount, value);
}

void CopyWindow::ResetCounts() {
    rebuilds = 0;
    localLoads = 0;
    pendingAtRebuild.clear();
}
