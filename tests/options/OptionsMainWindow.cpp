#include "OptionsMainWindow.h"

#include <QFile>
#include <stdexcept>

OptionsMainWindow::OptionsMainWindow(const QString& settingsText) {
    if (!dir.isValid()) {
        throw std::runtime_error("no temporary folder");
    }
    WriteFile(QStringLiteral("quarnloader.ini"), settingsText.toUtf8());
    CopyResource(QStringLiteral("LANG_ENGLISH.txt"));
    CopyResource(QStringLiteral("ERR_ENGLISH.txt"));
    if (!settings.Load(Folder() + QStringLiteral("quarnloader.ini"), false, false, true, false) ||
        !langReader.Load(Folder() + QStringLiteral("LANG_ENGLISH.txt")) ||
        !errReader.Load(Folder() + QStringLiteral("ERR_ENGLISH.txt"))) {
        throw std::runtime_error("cannot load the start-up files");
    }
}

OptionsMainWindow::~OptionsMainWindow() = default;

QString OptionsMainWindow::Folder() const {
    return dir.path() + QLatin1Char('/');
}

void OptionsMainWindow::WriteFile(const QString& name, const QByteArray& content) const {
    QFile file(Folder() + name);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(content) < 0) {
        throw std::runtime_error("cannot write a test file");
    }
}

void OptionsMainWindow::CopyResource(const QString& name) const {
    QFile source(QStringLiteral(QUARN_RESOURCES_DIR "/") + name);
    if (!source.open(QIODevice::ReadOnly)) {
        throw std::runtime_error("missing shipped file");
    }
    WriteFile(name, source.readAll());
}

QString OptionsMainWindow::SettingsFileText() const {
    QFile file(Folder() + QStringLiteral("quarnloader.ini"));
    if (!file.open(QIODevice::ReadOnly)) {
        return QString();
    }
    return QString::fromUtf8(file.readAll());
}

QString OptionsMainWindow::Setting(const char* section, const char* key) const {
    return settings.ReadValue(QLatin1String(section), QLatin1String(key),
                              QStringLiteral("<absent>"));
}

// As the main window does: load "LANG_" + name + ".txt" from the start-up
// folder into the cleared language reader; 1 when that worked.
int OptionsMainWindow::ChangeLanguage(const QString& languageName) {
    log << QStringLiteral("ChangeLanguage ") + languageName;
    langReader.Clear();
    return langReader.Load(Folder() + QStringLiteral("LANG_") + languageName +
                           QStringLiteral(".txt"))
               ? 1
               : 0;
}

int OptionsMainWindow::ProgramError(int code) {
    log << QStringLiteral("ProgramError %1").arg(code);
    return 0;
}

int OptionsMainWindow::Reconnect() {
    log << QStringLiteral("Reconnect");
    return 1;
}

int OptionsMainWindow::ShowHidden() {
    log << QStringLiteral("ShowHidden");
    serviceMode = true;
    return 1;
}

// As the main window does: a failed flush is reported as program error 1125.
int OptionsMainWindow::FlushFileLibrary() {
    log << QStringLiteral("FlushFileLibrary");
    if (!flushSucceeds) {
        ProgramError(1125);
        return 0;
    }
    return 1;
}

int OptionsMainWindow::PortAccessDenied(const QStringList& devicePaths) {
    log << QStringLiteral("PortAccessDenied ") + devicePaths.join(u',');
    return 0;
}

int OptionsMainWindow::LibraryError(int code) {
    log << QStringLiteral("LibraryError %1").arg(code);
    return 0;
}

int OptionsMainWindow::Refresh() {
    log << QStringLiteral("Refresh");
    return 0;
}

int OptionsMainWindow::DeviceListState(int, int) {
    log << QStringLiteral("DeviceListState");
    return 1;
}

int OptionsMainWindow::LocalListState(int, int) {
    log << QStringLiteral("LocalListState");
    return 1;
}

bool OptionsMainWindow::UpdateFileLibrary() {
    log << QStringLiteral("UpdateFileLibrary");
    return updateLibrarySucceeds;
}

void OptionsMainWindow::RefreshLocalList() {
    log << QStringLiteral("RefreshLocalList");
}

void OptionsMainWindow::CopyToDevice() {
    log << QStringLiteral("CopyToDevice");
}

void OptionsMainWindow::CopyFromDevice() {
    log << QStringLiteral("CopyFromDevice");
}
