#include "FakeMainWindow.h"

FakeMainWindow::FakeMainWindow() {
    const QString resources = QStringLiteral(QUARN_RESOURCES_DIR) + u'/';
    startupFolder = resources;
    textsLoaded = langReader.Load(resources + QStringLiteral("LANG_ENGLISH.txt")) &&
                  errReader.Load(resources + QStringLiteral("ERR_ENGLISH.txt"));
}

int FakeMainWindow::ChangeLanguage(const QString& languageName) {
    calls.push_back({UM_CHANGE_LANGUAGE, 0, 0, languageName});
    return 1;
}

int FakeMainWindow::ProgramError(int code) {
    calls.push_back({UM_PROGRAM_ERROR, code, 0, {}});
    return 0;
}

int FakeMainWindow::Reconnect() {
    calls.push_back({UM_RECONNECT, 0, 0, {}});
    return 1;
}

int FakeMainWindow::ShowHidden() {
    calls.push_back({UM_SHOW_HIDDEN, 0, 0, {}});
    serviceMode = true;
    return 1;
}

int FakeMainWindow::FlushFileLibrary() {
    calls.push_back({UM_FLUSH_FILE_LIBRARY, 0, 0, {}});
    return flushFileLibraryAnswer;
}

int FakeMainWindow::LibraryError(int code) {
    calls.push_back({UM_LIBRARY_ERROR, code, 0, {}});
    return 0;
}

int FakeMainWindow::PortAccessDenied(const QStringList& devicePaths) {
    calls.push_back({PORT_ACCESS_DENIED, 0, 0, devicePaths.join(u',')});
    return 0;
}

int FakeMainWindow::Refresh() {
    calls.push_back({UM_REFRESH, 0, 0, {}});
    return 0;
}

int FakeMainWindow::DeviceListState(int fileCount, int deviceAnswered) {
    calls.push_back({UM_DEVICE_LIST_STATE, fileCount, deviceAnswered, {}});
    return 1;
}

int FakeMainWindow::LocalListState(int fileCount, int value) {
    calls.push_back({UM_LOCAL_LIST_STATE, fileCount, value, {}});
    return 1;
}

bool FakeMainWindow::UpdateFileLibrary() {
    return updateFileLibraryAnswer;
}

void FakeMainWindow::RefreshLocalList() {
    ++refreshLocalListCalls;
}

std::vector<FakeMainWindow::Call> FakeMainWindow::CallsOf(Message message) const {
    std::vector<Call> found;
    for (const Call& call : calls) {
        if (call.message == message) {
            found.push_back(call);
        }
    }
    return found;
}

std::vector<int> FakeMainWindow::ProgramErrors() const {
    std::vector<int> codes;
    for (const Call& call : CallsOf(UM_PROGRAM_ERROR)) {
        codes.push_back(call.first);
    }
    return codes;
}

std::vector<int> FakeMainWindow::LibraryErrors() const {
    std::vector<int> codes;
    for (const Call& call : CallsOf(UM_LIBRARY_ERROR)) {
        codes.push_back(call.first);
    }
    return codes;
}
