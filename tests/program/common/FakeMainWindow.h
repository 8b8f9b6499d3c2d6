// A main window for tests of the program's windows: it answers what the
// windows ask (settings, texts, start-up folder) and records every message
// they send, in order, so a test can read what would have been shown or
// started.
#pragma once

#include "IniEx.h"
#include "LanguageReader.h"
#include "MainWindowMessages.h"

#include <QString>

#include <vector>

class FakeMainWindow : public MainWindowMessages {
public:
    // One message as it arrived; parameters a message does not have are 0
    // (the language name of UM_CHANGE_LANGUAGE and the device paths of
    // PORT_ACCESS_DENIED, joined by ",", go to `text`). The copy
    // operations are counted apart.
    struct Call {
        Message message;
        int first = 0;
        int second = 0;
        QString text;
    };

    // Loads the shipped English language and error-message files, so texts
    // read through the fake are the program's real texts.
    FakeMainWindow();

    int ChangeLanguage(const QString& languageName) override;
    int ProgramError(int code) override;
    int Reconnect() override;
    int ShowHidden() override;
    int FlushFileLibrary() override;
    int LibraryError(int code) override;
    int PortAccessDenied(const QStringList& devicePaths) override;
    int Refresh() override;
    int DeviceListState(int fileCount, int deviceAnswered) override;
    int LocalListState(int fileCount, int value) override;

    IniEx& Settings() override { return settings; }
    LanguageReader& LangReader() override { return langReader; }
    LanguageReader& ErrReader() override { return errReader; }
    QString GetStartupFolder() const override { return startupFolder; }

    bool UpdateFileLibrary() override;
    void RefreshLocalList() override;
    bool IsServiceMode() const override { return serviceMode; }

    void CopyToDevice() override { ++copyToDeviceCalls; }
    void CopyFromDevice() override { ++copyFromDeviceCalls; }

    // The calls of one message, in order.
    std::vector<Call> CallsOf(Message message) const;
    // The codes of all program errors (or library errors), in order.
    std::vector<int> ProgramErrors() const;
    std::vector<int> LibraryErrors() const;
    void ClearCalls() { calls.clear(); }

    std::vector<Call> calls;
    int copyToDeviceCalls = 0;
    int copyFromDeviceCalls = 0;
    int refreshLocalListCalls = 0;
    // Answers of the calls that answer something.
    int flushFileLibraryAnswer = 1;
    bool updateFileLibraryAnswer = true;
    bool serviceMode = false;

    IniEx settings{4};
    LanguageReader langReader;
    LanguageReader errReader;
    QString startupFolder;
    bool textsLoaded = false;
};
