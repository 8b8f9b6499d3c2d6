// A main window for the option dialogs to talk to: a real settings store and
// real language readers in a writable temporary start-up folder (the dialogs
// list its language files and save its settings file), a language change
// that really loads the new language, and one log, in order, of every
// message and local-list request the dialogs send.
#pragma once

#include "IniEx.h"
#include "LanguageReader.h"
#include "MainWindowMessages.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

class OptionsMainWindow : public MainWindowMessages {
public:
    // Creates the start-up folder with "quarnloader.ini" holding
    // `settingsText`, copies the shipped English language and error-message
    // files into it and loads them.
    explicit OptionsMainWindow(const QString& settingsText = QString());
    ~OptionsMainWindow() override;

    // The start-up folder, ending with "/".
    QString Folder() const;
    // Writes a file into the start-up folder (relative name).
    void WriteFile(const QString& name, const QByteArray& content = QByteArray()) const;
    // Copies a shipped resource file ("LANG_DEUTSCH.txt") into the folder.
    void CopyResource(const QString& name) const;
    // The settings file as it is on disk.
    QString SettingsFileText() const;
    QString Setting(const char* section, const char* key) const;

    // Log entries such as "ProgramError 1130", "Reconnect",
    // "ChangeLanguage DEUTSCH".
    QStringList log;
    int Count(const QString& entry) const { return static_cast<int>(log.count(entry)); }

    // How the fake answers.
    bool flushSucceeds = true;
    bool updateLibrarySucceeds = true;
    bool serviceMode = false;

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
    QString GetStartupFolder() const override { return Folder(); }

    bool UpdateFileLibrary() override;
    void RefreshLocalList() override;
    bool IsServiceMode() const override { return serviceMode; }

    void CopyToDevice() override;
    void CopyFromDevice() override;

private:
    QTemporaryDir dir;
    IniEx settings;
    LanguageReader langReader;
    LanguageReader errReader;
};
