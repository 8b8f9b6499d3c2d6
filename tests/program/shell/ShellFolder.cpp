#include "ShellFolder.h"

#include "IniEx.h"
#include "SettingsKeys.h"

#include <QDir>
#include <QFile>

namespace {

const char* const kShippedFiles[] = {"quarnloader.ini", "LANG_ENGLISH.txt", "ERR_ENGLISH.txt",
                                     "LANG_DEUTSCH.txt", "ERR_DEUTSCH.txt"};

} // namespace

ShellFolder::ShellFolder() : previous(QDir::currentPath()) {
    if (!dir.isValid()) {
        return;
    }
    const QString resources = QStringLiteral(QUARN_RESOURCES_DIR) + u'/';
    bool copied = true;
    for (const char* name : kShippedFiles) {
        copied = QFile::copy(resources + QLatin1String(name), Path(QLatin1String(name))) && copied;
        QFile::setPermissions(Path(QLatin1String(name)),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
    }
    valid = copied && QDir(dir.path()).mkdir(QStringLiteral("local")) &&
            QDir::setCurrent(dir.path()) && WriteSettings();
}

ShellFolder::~ShellFolder() {
    QDir::setCurrent(previous);
}

QString ShellFolder::Path(const QString& name) const {
    return dir.path() + u'/' + name;
}

QString ShellFolder::LocalFolder() const {
    return dir.path() + QStringLiteral("/local");
}

bool ShellFolder::WriteSettings(std::initializer_list<Setting> changes) {
    using namespace SettingsKeys;
    const QString path = Path(QLatin1String(SETTINGS_FILE_NAME));
    QFile::remove(path);
    if (!QFile::copy(QStringLiteral(QUARN_RESOURCES_DIR "/quarnloader.ini"), path)) {
        return false;
    }
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
    IniEx settings(4);
    if (!settings.Load(path, false, false, true, false)) {
        return false;
    }
    settings.WriteValue(QLatin1String(APPLICATION), QLatin1String(STATUS),
                        QLatin1String(STATUS_DONE));
    settings.WriteValue(QLatin1String(APPLICATION), QLatin1String(LOCAL_PATH), LocalFolder());
    for (const Setting& change : changes) {
        if (change.value.isNull()) {
            settings.RemoveValue(QLatin1String(change.section), QLatin1String(change.key));
        } else {
            settings.WriteValue(QLatin1String(change.section), QLatin1String(change.key),
                                change.value);
        }
    }
    settings.Save(false);
    // The store keeps no record of a successful write: read the file back.
    IniEx written(4);
    return written.Load(path, false, false, true, false) &&
           written.ReadValue(QLatin1String(APPLICATION), QLatin1String(LOCAL_PATH), QString()) ==
               settings.ReadValue(QLatin1String(APPLICATION), QLatin1String(LOCAL_PATH), QString());
}

QString ShellFolder::SettingOnDisk(const char* section, const char* key,
                                   const QString& absent) const {
    IniEx settings(4);
    if (!settings.Load(Path(QLatin1String(SettingsKeys::SETTINGS_FILE_NAME)), false, false, true,
                       false)) {
        return absent;
    }
    return settings.ReadValue(QLatin1String(section), QLatin1String(key), absent);
}

QByteArray ShellFolder::Bytes(const QString& name) const {
    QFile file(Path(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool ShellFolder::Remove(const QString& name) {
    return QFile::remove(Path(name));
}
