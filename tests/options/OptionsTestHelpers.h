// Helpers shared by the tests of the option dialogs.
#pragma once

#include "PortDescriptions.h"
#include "PtyPair.h"

#include <QByteArray>
#include <QComboBox>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <stdexcept>
#include <vector>

namespace options_test {

// The entry texts of a drop-down list, top to bottom.
inline QStringList Texts(const QComboBox& list) {
    QStringList texts;
    for (int i = 0; i < list.count(); ++i) {
        texts << list.itemText(i);
    }
    return texts;
}

// What names a port in its entry: the text before the device
// ("COM 7" of "COM 7 — /dev/pts/3"); other texts as they stand.
inline QString Label(const QString& text) {
    return text.section(QStringLiteral(" \u2014 "), 0, 0);
}

// The labels of the entries of a drop-down list, top to bottom.
inline QStringList Labels(const QComboBox& list) {
    QStringList labels;
    for (int i = 0; i < list.count(); ++i) {
        labels << Label(list.itemText(i));
    }
    return labels;
}

// The label of the selected entry, or "<none>".
inline QString Selected(const QComboBox& list) {
    return list.currentIndex() < 0 ? QStringLiteral("<none>") : Label(list.currentText());
}

// Chooses the entry `text` as the user does (selection plus activation); a
// port entry may be named by its label ("COM 2").
inline void Choose(QComboBox& list, const QString& text) {
    int index = list.findText(text);
    for (int i = 0; index < 0 && i < list.count(); ++i) {
        if (Label(list.itemText(i)) == text) {
            index = i;
        }
    }
    if (index < 0) {
        throw std::runtime_error("no such entry: " + text.toStdString());
    }
    list.setCurrentIndex(index);
    emit list.activated(index);
}

// Sets (or, with a null value, removes) an environment variable for the
// lifetime of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QByteArray& value)
        : name(name), hadValue(qEnvironmentVariableIsSet(name)), saved(qgetenv(name)) {
        if (value.isNull()) {
            qunsetenv(name);
        } else {
            qputenv(name, value);
        }
    }
    ~ScopedEnv() {
        if (hadValue) {
            qputenv(name, saved);
        } else {
            qunsetenv(name);
        }
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name;
    bool hadValue;
    QByteArray saved;
};

// What the system tells of its serial ports, as the test says, for the
// lifetime of the object (then Qt's own again).
class FakePortDescriptions {
public:
    explicit FakePortDescriptions(QList<PortDescriptions::Record> records) {
        PortDescriptions::Install([records] { return records; });
    }
    ~FakePortDescriptions() { PortDescriptions::Install(nullptr); }
    FakePortDescriptions(const FakePortDescriptions&) = delete;
    FakePortDescriptions& operator=(const FakePortDescriptions&) = delete;
};

// A port map folder named by TRELM_PORTS for the lifetime of the object;
// AddPort links a fresh pseudo-terminal as "comN".
class PortFolder {
public:
    PortFolder() : env("TRELM_PORTS", dir.path().toLocal8Bit()) {}

    void AddPort(unsigned number) { AddPortAs("com" + std::to_string(number)); }
    // Links a fresh pseudo-terminal under the entry name `name`.
    void AddPortAs(const std::string& name) {
        ptys.push_back(std::make_unique<trelm::test::PtyPair>());
        std::filesystem::create_symlink(ptys.back()->SlavePath(),
                                        std::filesystem::path(dir.path().toStdString()) / name);
    }
    QString Path() const { return dir.path(); }
    // The pseudo-terminal behind the `index`th port added ("/dev/pts/3").
    QString DevicePath(size_t index) const {
        return QString::fromStdString(ptys.at(index)->SlavePath());
    }

private:
    QTemporaryDir dir;
    ScopedEnv env;
    std::vector<std::unique_ptr<trelm::test::PtyPair>> ptys;
};

} // namespace options_test
