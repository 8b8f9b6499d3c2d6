// Key lookups of the settings store go through an index per section. These
// tests hold the store's reads to a plain model of the pairs (the last pair
// whose key compares equal wins) through long mixed sequences of writes and
// removals, in both letter-case modes, with keys that differ only in case,
// non-ASCII letters and characters outside the basic plane.
#include "IniEx.h"

#include <QFile>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdint>

namespace {

// The store's pairs of one section as a list, searched from the end.
class PairModel {
public:
    explicit PairModel(bool caseInsensitive)
        : m_cs(caseInsensitive ? Qt::CaseInsensitive : Qt::CaseSensitive) {}

    qsizetype Find(const QString& key) const {
        for (qsizetype i = m_pairs.size() - 1; i >= 0; --i) {
            if (m_pairs.at(i).first.compare(key, m_cs) == 0) {
                return i;
            }
        }
        return -1;
    }
    // A pair as a load reads it: appended, duplicates included.
    void Append(const QString& key, const QString& value) { m_pairs.append({key, value}); }
    void Write(const QString& key, const QString& value) {
        const qsizetype at = Find(key);
        if (at < 0) {
            m_pairs.append({key, value});
        } else {
            m_pairs[at].second = value;
        }
    }
    bool Remove(const QString& key) {
        const qsizetype at = Find(key);
        if (at >= 0) {
            m_pairs.removeAt(at);
        }
        return at >= 0;
    }
    QString Read(const QString& key) const {
        const qsizetype at = Find(key);
        return at < 0 ? QStringLiteral("<none>") : m_pairs.at(at).second;
    }
    QStringList Keys() const {
        QStringList keys;
        for (const auto& pair : m_pairs) {
            keys.append(pair.first);
        }
        return keys;
    }

private:
    Qt::CaseSensitivity m_cs;
    QList<QPair<QString, QString>> m_pairs;
};

const QStringList& KeyPool() {
    static const QStringList pool = {
        QStringLiteral("readme.txt"), QStringLiteral("README.TXT"), QStringLiteral("ReadMe.txt"),
        QStringLiteral("boot.cfg"), QStringLiteral("BOOT.CFG"), QStringLiteral("\u00c4rger.dat"),
        QStringLiteral("\u00e4RGER.DAT"), QStringLiteral("gr\u00f6\u00dfe.txt"),
        QStringLiteral("GR\u00d6SSE.TXT"), QStringLiteral("GR\u00d6\u00dfE.TXT"),
        // U+10400 and U+10428: a capital and a small letter outside the
        // basic plane, each a surrogate pair.
        QString::fromUcs4(U"\U00010400x"), QString::fromUcs4(U"\U00010428X"),
        // Letters whose case folding is not their small letter: the long s
        // folds to "s", the final sigma to the medial one.
        QStringLiteral("\u017f.txt"), QStringLiteral("S.TXT"), QStringLiteral("\u03c2"),
        QStringLiteral("\u03a3"), QStringLiteral("k"), QStringLiteral("K"), QString()};
    return pool;
}

struct LookupCase {
    const char* name;
    bool caseInsensitive;
    uint32_t seed;
};

class IniExLookup : public ::testing::TestWithParam<LookupCase> {};

TEST_P(IniExLookup, ReadsAgreeWithThePlainModel) {
    const LookupCase& c = GetParam();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("lib.ini"));
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[/data/]\nreadme.txt=1\nREADME.TXT=2\n");
    }
    IniEx store;
    ASSERT_TRUE(store.Load(path, false, false, c.caseInsensitive, false));
    PairModel model(c.caseInsensitive);
    model.Append(QStringLiteral("readme.txt"), QStringLiteral("1"));
    model.Append(QStringLiteral("README.TXT"), QStringLiteral("2"));
    const QString section = QStringLiteral("/data/");

    uint32_t state = c.seed;
    const auto next = [&state] {
        state = state * 1103515245u + 12345u;
        return state >> 8;
    };
    const QStringList& pool = KeyPool();
    for (int step = 0; step < 3000; ++step) {
        const QString key = pool.at(static_cast<qsizetype>(next() % pool.size()));
        switch (next() % 3) {
        case 0:
        case 1: {
            const QString value = QString::number(step);
            store.WriteValue(section, key, value);
            model.Write(key, value);
            break;
        }
        default:
            ASSERT_EQ(store.RemoveValue(section, key), model.Remove(key)) << "step " << step;
            break;
        }
        for (int probe = 0; probe < 3; ++probe) {
            const QString asked = pool.at(static_cast<qsizetype>(next() % pool.size()));
            ASSERT_EQ(store.ReadValue(section, asked, QStringLiteral("<none>")), model.Read(asked))
                << "step " << step << ", key " << qPrintable(asked);
        }
        if (step % 100 == 0) {
            QStringList keys;
            store.ListKeys(section, keys);
            ASSERT_EQ(keys, model.Keys()) << "step " << step;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, IniExLookup,
                         ::testing::Values(LookupCase{"CaseInsensitive", true, 7},
                                           LookupCase{"CaseInsensitiveOtherSequence", true, 1234},
                                           LookupCase{"CaseSensitive", false, 7}),
                         [](const ::testing::TestParamInfo<LookupCase>& info) {
                             return info.param.name;
                         });

} // namespace
