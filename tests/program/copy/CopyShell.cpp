#include "CopyShell.h"

#include "FileList.h"
#include "LanguageReader.h"
#include "ProgramFolder.h"
#include "QuarnUIDlg.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTest>

#include <gtest/gtest.h>

void CopyShell::SetUp() {
    DeviceShell::SetUp();
    // Every test starts without a file library beside the program.
    const QString program = ProgramFolder::Path();
    ASSERT_FALSE(program.isEmpty()) << "the test program runs without its own folder";
    QDir folderOfProgram(program);
    for (const QString& name :
         folderOfProgram.entryList({QStringLiteral("filelib*")}, QDir::Files | QDir::Hidden)) {
        ASSERT_TRUE(QFile::remove(folderOfProgram.filePath(name))) << name.toStdString();
    }
}

CopyWindow& CopyShell::StartCopyWindow() {
    auto* started = new CopyWindow;
    window.reset(started);
    EXPECT_TRUE(started->Start());
    started->ResetCounts();
    return *started;
}

QByteArray CopyShell::Content(qint64 size, int seed) {
    QByteArray bytes(size, '\0');
    for (qint64 i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>((i * 7 + seed * 31 + i / 251) & 0xFF);
    }
    return bytes;
}

void CopyShell::PutDevice(const char* name, const QByteArray& data, std::uint16_t attributes) {
    devsim::NvFile file = File(name, 0, attributes);
    file.data.assign(data.begin(), data.end());
    Put(file);
}

void CopyShell::PutLocalBytes(const QString& name, const QByteArray& data) {
    QFile file(folder.LocalFolder() + u'/' + name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << name.toStdString();
    ASSERT_EQ(file.write(data), data.size());
}

QByteArray CopyShell::LocalBytes(const QString& name) const {
    QFile file(folder.LocalFolder() + u'/' + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool CopyShell::LocalExists(const QString& name) const {
    return QFileInfo::exists(folder.LocalFolder() + u'/' + name);
}

QByteArray CopyShell::DeviceBytes(const char* name) const {
    const auto file = device.file(name);
    if (!file) {
        return QByteArray();
    }
    return QByteArray(reinterpret_cast<const char*>(file->data.data()),
                      static_cast<qsizetype>(file->data.size()));
}

void CopyShell::Select(FileList& list, std::initializer_list<const char*> names) {
    list.clearSelection();
    for (const char* name : names) {
        const int row = RowOf(list, QString::fromLatin1(name));
        ASSERT_GE(row, 0) << "no row " << name;
        list.topLevelItem(row)->setSelected(true);
    }
}

void CopyShell::SelectAll(FileList& list) {
    list.clearSelection();
    for (int row = 0; row < list.RowCount(); ++row) {
        list.topLevelItem(row)->setSelected(true);
    }
}

int CopyShell::RowOf(const FileList& list, const QString& name) {
    for (int row = 0; row < list.RowCount(); ++row) {
        if (list.RowText(row, 0) == name) {
            return row;
        }
    }
    return -1;
}

QString CopyShell::LangText(const char* key) const {
    return window->LangReader().GetText(QLatin1String(key));
}

QString CopyShell::LocalPrefix() const {
    return folder.LocalFolder() + u'/';
}

void CopyShell::ExpectSettled() const {
    EXPECT_TRUE(window->isEnabled());
    EXPECT_TRUE(window->updatesEnabled());
    EXPECT_FALSE(window->HoldRefresh());
    EXPECT_FALSE(window->HoldDeviceList());
    EXPECT_EQ(window->m_progress, nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

void CopyShell::Settle() {
    ASSERT_TRUE(QTest::qWaitFor([this] { return !window->IsDeviceBusy(); }, 30000));
}

DeviceLink::Listing CopyShell::ReadListing() {
    DeviceLink::Listing listing;
    bool answered = false;
    window->Link().ReadListing(false, window.get(), [&](const DeviceLink::Listing& answer) {
        listing = answer;
        answered = true;
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return answered; }, 20000));
    return listing;
}
