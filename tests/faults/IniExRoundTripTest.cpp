// The settings store keeps every key through a save and a new load, even a
// first key that begins with U+FEFF: loading takes a leading EF BB BF for
// the byte order mark and drops it, so the store writes a mark of its own in
// front of such a text. (Found by the settings store's fuzz target.)
#include "IniEx.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QString kMarkedKey = QString(QChar(0xFEFF)) + QStringLiteral("first");

struct RoundTripCase {
    const char* name;
    QByteArray fileBefore; // what the file holds before the first load
    bool removeLoose;      // remove the key "loose" before writing
};

class IniExRoundTrip : public ::testing::TestWithParam<RoundTripCase> {
protected:
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("settings.ini"));

    void WriteFile(const QByteArray& bytes) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
};

TEST_P(IniExRoundTrip, AFirstKeyStartingWithTheMarkCharacterSurvives) {
    ASSERT_TRUE(dir.isValid());
    WriteFile(GetParam().fileBefore);
    {
        IniEx store;
        ASSERT_TRUE(store.Load(path, false, false, false, false));
        if (GetParam().removeLoose) {
            ASSERT_TRUE(store.RemoveValue(QString(), QStringLiteral("loose")));
        }
        store.WriteValue(QString(), kMarkedKey, QStringLiteral("changed"));
        store.WriteValue(QStringLiteral("other"), QStringLiteral("kept"), QStringLiteral("yes"));
        store.Save(false);
    }
    IniEx reloaded;
    ASSERT_TRUE(reloaded.Load(path, false, false, false, false));
    EXPECT_EQ(reloaded.ReadValue(QString(), kMarkedKey, QStringLiteral("<lost>")),
              QStringLiteral("changed"));
    EXPECT_EQ(reloaded.ReadValue(QString(), QStringLiteral("first"), QStringLiteral("<none>")),
              QStringLiteral("<none>"));
    EXPECT_EQ(reloaded.ReadValue(QStringLiteral("other"), QStringLiteral("kept"), QString()),
              QStringLiteral("yes"));
}

INSTANTIATE_TEST_SUITE_P(
    Files, IniExRoundTrip,
    ::testing::Values(
        // A file with two marks: the first is dropped, the second starts the key.
        RoundTripCase{"TwoMarksInFront",
                      QByteArray("\xEF\xBB\xBF\xEF\xBB\xBF"
                                 "first=1\n"),
                      false},
        // Keys before the first header: the key written through the store
        // becomes the first line once the other one is removed.
        RoundTripCase{"WrittenFirstBeforeAnyHeader", QByteArray("loose=1\n[other]\nkept=no\n"),
                      true}),
    [](const ::testing::TestParamInfo<RoundTripCase>& info) { return info.param.name; });

TEST(IniExRoundTripPlain, AnOrdinaryFileGetsNoMark) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("plain.ini"));
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[APPLICATION]\nSTATUS=0\n");
    }
    {
        IniEx store;
        ASSERT_TRUE(store.Load(path, false, false, true, false));
        store.WriteValue(QStringLiteral("APPLICATION"), QStringLiteral("STATUS"),
                         QStringLiteral("1"));
        store.Save(false);
    }
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("[APPLICATION]\nSTATUS=1\n"));
}

} // namespace
