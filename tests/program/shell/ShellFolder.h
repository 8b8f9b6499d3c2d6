// A start-up folder for tests of the program shell: a temporary folder that
// becomes the current working directory, with the shipped settings file, the
// English and German language and error-message files, and a local folder
// "local" for the right-hand list. The previous working directory is back
// when the object goes.
#pragma once

#include <QString>
#include <QTemporaryDir>

#include <initializer_list>

class ShellFolder {
public:
    // One setting of "quarnloader.ini"; a null value removes the key.
    struct Setting {
        const char* section;
        const char* key;
        QString value;
    };

    ShellFolder();
    ~ShellFolder();
    ShellFolder(const ShellFolder&) = delete;
    ShellFolder& operator=(const ShellFolder&) = delete;

    bool IsValid() const { return valid; }
    // The folder, ending with "/", or `name` inside it.
    QString Path(const QString& name = QString()) const;
    // The local folder (exists, empty at first), without a final "/".
    QString LocalFolder() const;

    // Rewrites "quarnloader.ini" as the shipped one with `changes` applied.
    // The shipped defaults are completed to a set-up installation: STATUS
    // "1" and LOCAL_PATH the local folder (changes may override them).
    bool WriteSettings(std::initializer_list<Setting> changes = {});
    // A value of the settings file as it is on disk; `absent` when missing.
    QString SettingOnDisk(const char* section, const char* key,
                          const QString& absent = QStringLiteral("<absent>")) const;
    // The bytes of a file of the folder.
    QByteArray Bytes(const QString& name) const;
    bool Remove(const QString& name);

private:
    QTemporaryDir dir;
    QString previous;
    bool valid = false;
};
