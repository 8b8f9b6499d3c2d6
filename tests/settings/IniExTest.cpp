#include "IniEx.h"
#include "StderrCapture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <linux/fs.h>
#include <map>
#include <string>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using Files = std::map<std::string, std::string>;
using Observations = std::vector<std::string>;

void WriteFile(const QString& path, const std::string& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(file.write(bytes.data(), static_cast<qint64>(bytes.size())),
              static_cast<qint64>(bytes.size()));
}

std::string ReadFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return "<missing>";
    }
    return file.readAll().toStdString();
}

// Every regular file directly in `dir` with its content.
Files ListFiles(const QString& dir) {
    Files files;
    const QStringList names = QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : names) {
        files[name.toStdString()] = ReadFile(dir + u'/' + name);
    }
    return files;
}

// Runs the probe program with the given argv[0] in `workingDir` and returns
// its output lines.
Observations RunProbe(const std::string& argv0, const QString& workingDir,
                      const std::string& name) {
    int fds[2];
    if (pipe(fds) != 0) {
        return {"pipe failed"};
    }
    const std::string dir = workingDir.toStdString();
    const pid_t child = fork();
    if (child == 0) {
        dup2(fds[1], 1);
        close(fds[0]);
        close(fds[1]);
        if (chdir(dir.c_str()) != 0) {
            _exit(3);
        }
        std::vector<char*> args = {const_cast<char*>(argv0.c_str()),
                                   const_cast<char*>(name.c_str()), nullptr};
        execv(PROGRAM_PATH_PROBE, args.data());
        _exit(4);
    }
    close(fds[1]);
    std::string output;
    char buffer[1024];
    ssize_t got = 0;
    while ((got = read(fds[0], buffer, sizeof buffer)) > 0) {
        output.append(buffer, static_cast<size_t>(got));
    }
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    Observations lines;
    size_t start = 0;
    for (size_t end = output.find('\n'); end != std::string::npos;
         start = end + 1, end = output.find('\n', start)) {
        lines.push_back(output.substr(start, end - start));
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        lines.push_back("probe exit status " + std::to_string(status));
    }
    return lines;
}

// ---------------------------------------------------------------------------
// One table of store cases. Each row lays out files in a fresh folder, loads
// "settings.ini" from it (when the row has one), runs its steps, and compares
// what the steps observed and every file in the folder afterwards. "<dir>"
// stands for the folder in observations.

struct IniCase {
    const char* name;
    Files before;
    bool caseInsensitive;
    // Steps on the loaded store; `dir` is the folder. Returns observations.
    std::function<Observations(IniEx& store, const QString& dir)> steps;
    Observations expected;
    Files after;
};

std::string Q(const QString& text) {
    return text.toStdString();
}

// The observation of a path, relative to the case's folder.
std::string P(const QString& path, const QString& dir) {
    std::string text = path.toStdString();
    const std::string prefix = dir.toStdString();
    if (text.rfind(prefix, 0) == 0) {
        text = "<dir>" + text.substr(prefix.size());
    }
    return text;
}

const std::string kNone = "<none>";

std::string Read(const IniEx& store, const char* section, const char* key) {
    return Q(store.ReadValue(QString::fromUtf8(section), QString::fromUtf8(key),
                             QString::fromStdString(kNone)));
}

const std::vector<IniCase>& IniCases() {
    static const std::vector<IniCase> cases = {
        {"EmptyFileHasNoSectionsAndSavesOnlyAdditions",
         {{"settings.ini", ""}},
         true,
         [](IniEx& s, const QString&) {
             Observations o{Read(s, "A", "k")};
             s.WriteValue("A", "k", "v");
             o.push_back(Q(s.Save(false)));
             return o;
         },
         {kNone, ""},
         {{"settings.ini", "[A]\nk=v\n"}}},

        {"BlankLinesLoadAsEmptyStore",
         {{"settings.ini", "\n   \n\t\r\n\n"}},
         true,
         [](IniEx& s, const QString&) {
             QStringList keys;
             s.ListKeys("", keys);
             s.WriteValue("A", "k", "v");
             s.Save(false);
             return Observations{std::to_string(keys.size())};
         },
         {"0"},
         {{"settings.ini", "[A]\nk=v\n"}}},

        {"HeaderWithoutKeysIsNotKept",
         {{"settings.ini", "[Sec]\n[Other]\nk=1\n"}},
         true,
         [](IniEx& s, const QString&) {
             QStringList secKeys;
             s.ListKeys("Sec", secKeys);
             Observations o{Read(s, "Sec", "k"), Read(s, "Other", "k"),
                            std::to_string(secKeys.size())};
             s.WriteValue("Other", "n", "2");
             s.Save(false);
             return o;
         },
         {kNone, "1", "0"},
         {{"settings.ini", "[Other]\nk=1\nn=2\n"}}},

        {"TwoHeadersOfOneNameAreBothWrittenButOnlyTheFirstIsRead",
         {{"settings.ini", "[Sec]\na=1\n[Sec]\nb=2\n"}},
         true,
         [](IniEx& s, const QString&) {
             Observations o{Read(s, "Sec", "a"), Read(s, "Sec", "b")};
             s.WriteValue("Sec", "a", "9");
             s.Save(false);
             return o;
         },
         {"1", kNone},
         {{"settings.ini", "[Sec]\na=9\n[Sec]\nb=2\n"}}},

        {"DuplicateKeysActOnTheLast",
         {{"settings.ini", "[S]\nk=1\nk=2\n"}},
         true,
         [](IniEx& s, const QString&) {
             Observations o{Read(s, "S", "k")};
             s.WriteValue("S", "k", "3");
             o.push_back(Read(s, "S", "k"));
             s.Save(false);
             return o;
         },
         {"2", "3"},
         {{"settings.ini", "[S]\nk=1\nk=3\n"}}},

        {"SemicolonCutsOnlyWhatIsRead",
         {{"settings.ini", "[S]\nk=a;b;c\nm=;x\nn=value ;note\n"}},
         true,
         [](IniEx& s, const QString&) {
             Observations o{Read(s, "S", "k"), Read(s, "S", "m"), Read(s, "S", "n")};
             s.WriteValue("S", "z", "1");
             s.Save(false);
             return o;
         },
         {"a;b", "", "value "},
         {{"settings.ini", "[S]\nk=a;b;c\nm=;x\nn=value ;note\nz=1\n"}}},

        {"LineWithoutEqualsIsKeyWithEmptyValue",
         {{"settings.ini", "[S]\nk\n;comment\n"}},
         true,
         [](IniEx& s, const QString&) {
             Observations o{Read(s, "S", "k"), Read(s, "S", ";comment")};
             s.WriteValue("S", "z", "1");
             s.Save(false);
             return o;
         },
         {"", ""},
         {{"settings.ini", "[S]\nk=\n;comment=\nz=1\n"}}},

        {"SpacesAroundEqualsBelongToKeyAndValue",
         {{"settings.ini", "[S]\nkey = value \t\n  lead=1\n"}},
         true,
         [](IniEx& s, const QString&) {
             return Observations{Read(s, "S", "key"), Read(s, "S", "key "), Read(s, "S", "  lead"),
                                 Read(s, "S", "lead")};
         },
         {kNone, " value", "1", kNone},
         {{"settings.ini", "[S]\nkey = value \t\n  lead=1\n"}}},

        {"CaseInsensitiveLookupFindsOtherCase",
         {{"settings.ini", "[application]\nLANGUAGE=LANG_X.txt\n"}},
         true,
         [](IniEx& s, const QString&) { return Observations{Read(s, "APPLICATION", "language")}; },
         {"LANG_X.txt"},
         {{"settings.ini", "[application]\nLANGUAGE=LANG_X.txt\n"}}},

        {"CaseSensitiveLookupMissesOtherCase",
         {{"settings.ini", "[application]\nLANGUAGE=LANG_X.txt\n"}},
         false,
         [](IniEx& s, const QString&) {
             return Observations{Read(s, "APPLICATION", "language"),
                                 Read(s, "application", "LANGUAGE")};
         },
         {kNone, "LANG_X.txt"},
         {{"settings.ini", "[application]\nLANGUAGE=LANG_X.txt\n"}}},

        {"ChangeOfLetterCaseAloneDoesNotWrite",
         {{"settings.ini", "[S]\r\nk=abc\r\n"}},
         true,
         [](IniEx& s, const QString&) {
             s.WriteValue("s", "K", "ABC");
             return Observations{Read(s, "S", "k"), Q(s.Save(true))};
         },
         {"ABC", ""},
         {{"settings.ini", "[S]\r\nk=abc\r\n"}}},

        {"UnchangedStoreSavesNothingAndMakesNoBackup",
         {{"settings.ini", "[S]\r\nk=v \r\n\n[Empty]\n"}},
         true,
         [](IniEx& s, const QString&) {
             return Observations{Q(s.Save(true)), Q(s.Save(false))};
         },
         {"", ""},
         {{"settings.ini", "[S]\r\nk=v \r\n\n[Empty]\n"}}},

        {"CrLfIsReadAndLfIsWritten",
         {{"settings.ini", "[S]\r\nk=v\r\n"}},
         true,
         [](IniEx& s, const QString&) {
             Observations o{Read(s, "S", "k")};
             s.WriteValue("S", "m", "w");
             s.Save(false);
             return o;
         },
         {"v"},
         {{"settings.ini", "[S]\nk=v\nm=w\n"}}},

        // Character sets: each line is UTF-8 when it is valid UTF-8 and
        // Windows-1252 otherwise; a line is written back in the bytes it was
        // read in unless it changed, and a changed or new line is UTF-8.
        {"Windows1252LineIsReadAndKeptAsItWas",
         {{"settings.ini", "[APPLICATION]\nLOCAL_PATH=/srv/M\xfcll\n"}},
         true,
         [](IniEx& s, const QString&) {
             Observations o{Read(s, "APPLICATION", "LOCAL_PATH")};
             s.WriteValue("APPLICATION", "STATUS", "1");
             s.Save(false);
             return o;
         },
         {"/srv/M\xc3\xbcll"},
         {{"settings.ini", "[APPLICATION]\nLOCAL_PATH=/srv/M\xfcll\nSTATUS=1\n"}}},

        {"OneStrayByteLeavesTheUtf8LinesAlone",
         {{"settings.ini", "[S]\nutf=M\xc3\xbcll\nstray=M\xfcll\n"}},
         true,
         [](IniEx& s, const QString&) {
             Observations o{Read(s, "S", "utf"), Read(s, "S", "stray")};
             s.WriteValue("S", "added", "\xc3\xa9");
             s.Save(false);
             return o;
         },
         {"M\xc3\xbcll", "M\xc3\xbcll"},
         {{"settings.ini", "[S]\nutf=M\xc3\xbcll\nstray=M\xfcll\nadded=\xc3\xa9\n"}}},

        {"ChangedLineIsWrittenAsUtf8AndTheOthersKeepTheirBytes",
         {{"settings.ini", "[M\xfcll]\nold=\xe9t\xe9\nkept=\xe9t\xe9\n"}},
         true,
         [](IniEx& s, const QString&) {
             Observations o{Read(s, "M\xc3\xbcll", "kept")};
             s.WriteValue("M\xc3\xbcll", "old",
                          "Stra\xc3\x9f"
                          "e");
             s.Save(false);
             return o;
         },
         {"\xc3\xa9t\xc3\xa9"},
         {{"settings.ini", "[M\xfcll]\nold=Stra\xc3\x9f"
                           "e\nkept=\xe9t\xe9\n"}}},

        {"ValueChangedOnlyInLetterCaseIsWrittenAsUtf8",
         {{"settings.ini", "[S]\nk=\xe9\n"}},
         true,
         [](IniEx& s, const QString&) {
             s.WriteValue("S", "k", "\xc3\x89");
             s.WriteValue("S", "z", "1");
             s.Save(false);
             return Observations{Read(s, "S", "k")};
         },
         {"\xc3\x89"},
         {{"settings.ini", "[S]\nk=\xc3\x89\nz=1\n"}}},

        {"SequenceCutOffAtTheLineEndIsWindows1252",
         {{"settings.ini", "[S]\na=x\xc3\nb=\xc3\xa9\n"}},
         true,
         [](IniEx& s, const QString&) {
             Observations o{Read(s, "S", "a"), Read(s, "S", "b")};
             s.WriteValue("S", "c", "1");
             s.Save(false);
             return o;
         },
         {"x\xc3\x83", "\xc3\xa9"},
         {{"settings.ini", "[S]\na=x\xc3\nb=\xc3\xa9\nc=1\n"}}},

        {"Windows1252LineWithoutEqualsGetsOne",
         {{"settings.ini", "[S]\nk\xfc \r\n"}},
         true,
         [](IniEx& s, const QString&) {
             s.WriteValue("S", "z", "1");
             s.Save(false);
             return Observations{Read(s, "S", "k\xc3\xbc")};
         },
         {""},
         {{"settings.ini", "[S]\nk\xfc=\nz=1\n"}}},

        {"ByteOrderMarkIsKept",
         {{"settings.ini", "\xef\xbb\xbf[S]\nk=v\n"}},
         true,
         [](IniEx& s, const QString&) {
             Observations o{Read(s, "S", "k")};
             s.WriteValue("S", "k", "w");
             s.Save(false);
             return o;
         },
         {"v"},
         {{"settings.ini", "\xef\xbb\xbf[S]\nk=w\n"}}},

        {"KeysBeforeTheFirstHeaderStayInFront",
         {{"settings.ini", "a=1\nb\n[S]\nk=v\n"}},
         true,
         [](IniEx& s, const QString&) {
             Observations o{Read(s, "", "a"), Read(s, "S", "a")};
             s.WriteValue("S", "k", "w");
             s.Save(false);
             return o;
         },
         {"1", kNone},
         {{"settings.ini", "a=1\nb=\n[S]\nk=w\n"}}},

        {"EmptyKeyAndEmptySectionNameSurviveASave",
         {{"settings.ini", "[A]\nx=1\n[]\n=abc\n"}},
         true,
         [](IniEx& s, const QString&) {
             Observations o{Read(s, "", "")};
             s.WriteValue("A", "x", "2");
             s.Save(false);
             return o;
         },
         {"abc"},
         {{"settings.ini", "[A]\nx=2\n[]\n=abc\n"}}},

        {"RemoveValueAndListKeys",
         {{"settings.ini", "[S]\na=1\nb=2\na=3\n"}},
         true,
         [](IniEx& s, const QString&) {
             Observations o;
             o.push_back(s.RemoveValue("S", "A") ? "removed" : "kept");
             o.push_back(s.RemoveValue("S", "zz") ? "removed" : "kept");
             o.push_back(s.RemoveValue("T", "a") ? "removed" : "kept");
             QStringList keys{"first"};
             s.ListKeys("s", keys);
             s.ListKeys("missing", keys);
             o.push_back(Q(keys.join(u',')));
             s.Save(false);
             return o;
         },
         {"removed", "kept", "kept", "first,a,b"},
         {{"settings.ini", "[S]\na=1\nb=2\n"}}},

        {"BackupTakesNextNumberAndIsReusedByTheSameObject",
         {{"settings.ini", "[S]\nk=1\n"},
          {"settings.ini.007", "seven"},
          {"settings.ini.012", "twelve"}},
         true,
         [](IniEx& s, const QString& dir) {
             s.WriteValue("S", "k", "2");
             Observations o{P(s.Save(true), dir)};
             s.WriteValue("S", "k", "3");
             o.push_back(P(s.Save(true), dir));
             // Save does not reset the change mark, so a plain save writes
             // again and still names the backup.
             o.push_back(P(s.Save(false), dir));
             return o;
         },
         {"<dir>/settings.ini.013", "<dir>/settings.ini.013", "<dir>/settings.ini.013"},
         // The backup holds the file as it was before the object's first
         // save, not what an earlier save of the same object wrote.
         {{"settings.ini", "[S]\nk=3\n"},
          {"settings.ini.007", "seven"},
          {"settings.ini.012", "twelve"},
          {"settings.ini.013", "[S]\nk=1\n"}}},

        {"BackupAfterAPlainSaveHoldsTheFileBeforeIt",
         {{"settings.ini", "[S]\nk=1\n"}},
         true,
         [](IniEx& s, const QString& dir) {
             s.WriteValue("S", "k", "2");
             Observations o{P(s.Save(false), dir)};
             s.WriteValue("S", "k", "3");
             o.push_back(P(s.Save(true), dir));
             return o;
         },
         {"", "<dir>/settings.ini.001"},
         {{"settings.ini", "[S]\nk=3\n"}, {"settings.ini.001", "[S]\nk=1\n"}}},

        {"BackupAfter999Is1000AndLaterRunsReuseIt",
         {{"settings.ini", "[S]\nk=1\n"}, {"settings.ini.999", "old"}},
         true,
         [](IniEx& s, const QString& dir) {
             s.WriteValue("S", "k", "2");
             Observations o{P(s.Save(true), dir)};
             IniEx nextRun(4);
             nextRun.Load(dir + "/settings.ini", false, false, true, false);
             nextRun.WriteValue("S", "k", "3");
             o.push_back(P(nextRun.Save(true), dir));
             return o;
         },
         {"<dir>/settings.ini.1000", "<dir>/settings.ini.1000"},
         {{"settings.ini", "[S]\nk=3\n"},
          {"settings.ini.999", "old"},
          {"settings.ini.1000", "[S]\nk=2\n"}}},

        {"DestructionSavesWithBackupWhenAutoSaveIsSet",
         {{"lib.ini", "[F]\nA.TXT=22\n"}},
         true,
         [](IniEx&, const QString& dir) {
             {
                 IniEx library(4);
                 library.Load(dir + "/lib.ini", true, true, true, true);
                 library.WriteValue("F", "A.TXT", "21");
             }
             {
                 IniEx quiet(4);
                 quiet.Load(dir + "/lib.ini", false, false, true, false);
                 quiet.WriteValue("F", "A.TXT", "11");
             }
             return Observations{};
         },
         {},
         {{"lib.ini", "[F]\nA.TXT=21\n"}, {"lib.ini.001", "[F]\nA.TXT=22\n"}}},

        {"SecondLoadSavesTheFirstFile",
         {{"settings.ini", "[S]\nk=1\n"}, {"other.ini", "[O]\nm=2\n"}},
         true,
         [](IniEx& s, const QString& dir) {
             s.WriteValue("S", "k", "changed");
             Observations o{s.Load(dir + "/other.ini", false, false, true, false) ? "loaded"
                                                                                  : "failed"};
             o.push_back(Read(s, "S", "k"));
             o.push_back(Read(s, "O", "m"));
             o.push_back(P(s.GetFileName(), dir));
             return o;
         },
         {"loaded", kNone, "2", "<dir>/other.ini"},
         {{"settings.ini", "[S]\nk=changed\n"}, {"other.ini", "[O]\nm=2\n"}}},

        {"MissingFileFailsUnlessCreated",
         {},
         true,
         [](IniEx& s, const QString& dir) {
             Observations o;
             o.push_back(s.Load(dir + "/new.ini", false, false, true, false) ? "loaded" : "failed");
             o.push_back(s.IsLoaded() ? "is loaded" : "not loaded");
             o.push_back(Q(s.GetFileName()));
             o.push_back(s.Load(dir + "/new.ini", false, true, true, false) ? "loaded" : "failed");
             o.push_back(s.IsLoaded() ? "is loaded" : "not loaded");
             return o;
         },
         {"failed", "not loaded", "", "loaded", "is loaded"},
         {{"new.ini", ""}}},

        {"ClearEmptiesTheStoreAndDeleteStoreFileRemovesTheFile",
         {{"settings.ini", "[S]\nk=1\n"}},
         true,
         [](IniEx& s, const QString& dir) {
             Observations o;
             o.push_back(s.DeleteStoreFile() ? "deleted" : "kept");
             o.push_back(s.IsLoaded() ? "is loaded" : "not loaded");
             o.push_back(Read(s, "S", "k"));
             o.push_back(s.DeleteStoreFile() ? "deleted" : "kept");
             s.Load(dir + "/settings.ini", false, true, true, false);
             s.WriteValue("S", "k", "2");
             s.Clear();
             o.push_back(s.IsLoaded() ? "is loaded" : "not loaded");
             o.push_back(Q(s.GetFileName()));
             o.push_back(Read(s, "S", "k"));
             return o;
         },
         {"deleted", "not loaded", kNone, "kept", "not loaded", "", kNone},
         {{"settings.ini", ""}}},

        {"LoadBesideProgramStartedAsBareName",
         {{"probe.ini", "[S]\nk=here\n"}},
         true,
         [](IniEx&, const QString& dir) {
             Observations o = RunProbe("quarnui", dir, "probe.ini");
             for (std::string& line : o) {
                 line = P(QString::fromStdString(line), dir);
             }
             return o;
         },
         {"loaded", "<dir>/probe.ini", "here"},
         {{"probe.ini", "[S]\nk=here\n"}}},

        {"LoadBesideProgramStartedWithFolder",
         {{"probe.ini", "[S]\nk=cwd\n"}},
         true,
         [](IniEx&, const QString& dir) {
             QDir(dir).mkdir("bin");
             WriteFile(dir + "/bin/probe.ini", "[S]\nk=bin\n");
             Observations o = RunProbe(Q(dir) + "/bin/quarnui", dir, "probe.ini");
             for (std::string& line : o) {
                 line = P(QString::fromStdString(line), dir);
             }
             return o;
         },
         {"loaded", "<dir>/bin/probe.ini", "bin"},
         {{"probe.ini", "[S]\nk=cwd\n"}}},
    };
    return cases;
}

class IniExCases : public ::testing::TestWithParam<size_t> {};

TEST_P(IniExCases, BehavesAsTabled) {
    const IniCase& row = IniCases().at(GetParam());
    QTemporaryDir temp;
    ASSERT_TRUE(temp.isValid());
    const QString dir = QFileInfo(temp.path()).canonicalFilePath();
    for (const auto& [name, content] : row.before) {
        WriteFile(dir + u'/' + QString::fromStdString(name), content);
    }
    Observations observed;
    {
        IniEx store(4);
        if (row.before.count("settings.ini") != 0) {
            ASSERT_TRUE(
                store.Load(dir + "/settings.ini", false, false, row.caseInsensitive, false));
        }
        observed = row.steps(store, dir);
    }
    EXPECT_EQ(observed, row.expected);
    EXPECT_EQ(ListFiles(dir), row.after);
}

INSTANTIATE_TEST_SUITE_P(Settings, IniExCases, ::testing::Range<size_t>(0, IniCases().size()),
                         [](const ::testing::TestParamInfo<size_t>& info) {
                             return std::string(IniCases().at(info.param).name);
                         });

// ---------------------------------------------------------------------------
// Saving never leaves a truncated or half-written file.

class EnvironmentValue {
public:
    EnvironmentValue(const char* name, const char* value) : name(name) {
        const char* old = std::getenv(name);
        hadOld = old != nullptr;
        if (hadOld) {
            oldValue = old;
        }
        setenv(name, value, 1);
    }
    ~EnvironmentValue() {
        if (hadOld) {
            setenv(name, oldValue.c_str(), 1);
        } else {
            unsetenv(name);
        }
    }

private:
    const char* name;
    bool hadOld = false;
    std::string oldValue;
};

// Makes a folder immutable (no entry can be created, renamed or removed in
// it, not even by root) for the lifetime of the object.
class ImmutableFolder {
public:
    explicit ImmutableFolder(const QString& path) {
        fd = open(path.toLocal8Bit().constData(), O_RDONLY | O_DIRECTORY);
        if (fd < 0 || ioctl(fd, FS_IOC_GETFLAGS, &flags) != 0) {
            error = errno;
            return;
        }
        int immutable = flags | FS_IMMUTABLE_FL;
        if (ioctl(fd, FS_IOC_SETFLAGS, &immutable) != 0) {
            error = errno;
            return;
        }
        active = true;
    }
    ~ImmutableFolder() {
        if (active) {
            ioctl(fd, FS_IOC_SETFLAGS, &flags);
        }
        if (fd >= 0) {
            close(fd);
        }
    }
    bool IsActive() const { return active; }
    int Error() const { return error; }

private:
    int fd = -1;
    int flags = 0;
    int error = 0;
    bool active = false;
};

// Limits the size of any file this process writes, as a full disk would;
// applies to root as well.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &old);
        previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = old;
        limit.rlim_cur = bytes;
        active = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, previousHandler);
    }
    bool IsActive() const { return active; }

private:
    rlimit old{};
    void (*previousHandler)(int) = nullptr;
    bool active = false;
};

const std::string kOldContent = "[APPLICATION]\nSTATUS=1\nLOCAL_PATH=/srv/files\n";
const std::string kDiagnostic = "ERROR!!!!: The file could not open for writing\n";

class SettingsIniExSave : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(temp.isValid());
        dir = QFileInfo(temp.path()).canonicalFilePath();
        path = dir + "/settings.ini";
        WriteFile(path, kOldContent);
    }

    QTemporaryDir temp;
    QString dir;
    QString path;
};

TEST_F(SettingsIniExSave, FolderThatCannotTakeTheNewFileLeavesTheOldFileUntouched) {
    IniEx store(4);
    ASSERT_TRUE(store.Load(path, false, false, true, false));
    store.WriteValue("APPLICATION", "STATUS", "0");

    ImmutableFolder immutable(dir);
    if (!immutable.IsActive()) {
        GTEST_SKIP() << "this file system cannot mark a folder immutable, errno "
                     << immutable.Error();
    }
    // The folder really refuses new files, also to root.
    const int probe = open((dir + "/probe").toLocal8Bit().constData(), O_CREAT | O_WRONLY, 0644);
    ASSERT_LT(probe, 0) << "the immutable folder accepted a new file";

    EnvironmentValue debug("QUARN_DEBUG", "1");
    StderrCapture capture;
    const QString result = store.Save(false);
    const std::string diagnostics = capture.Finish();

    EXPECT_EQ(result, QString());
    EXPECT_EQ(ReadFile(path), kOldContent);
    EXPECT_EQ(ListFiles(dir), (Files{{"settings.ini", kOldContent}}));
    EXPECT_EQ(diagnostics, kDiagnostic);
}

TEST_F(SettingsIniExSave, WriteThatFailsPartWayLeavesTheOldFileUntouched) {
    IniEx store(4);
    ASSERT_TRUE(store.Load(path, false, false, true, false));
    // Far more than the limit below, so the write of the new file fails
    // after part of it has reached the disk.
    for (int i = 0; i < 400; ++i) {
        store.WriteValue("FILES", QStringLiteral("FILE%1.BIN").arg(i), "22");
    }
    EnvironmentValue debug("QUARN_DEBUG", "1");
    QString result;
    std::string diagnostics;
    {
        FileSizeLimit limit(1024);
        ASSERT_TRUE(limit.IsActive());
        // The limit really stops a write, also for root.
        const QByteArray checkPath = (dir + "/check").toLocal8Bit();
        const int check = open(checkPath.constData(), O_CREAT | O_WRONLY, 0644);
        ASSERT_GE(check, 0);
        const std::string block(4096, 'x');
        EXPECT_LT(write(check, block.data(), block.size()), 4096);
        close(check);
        unlink(checkPath.constData());

        StderrCapture capture;
        result = store.Save(false);
        diagnostics = capture.Finish();
    }
    EXPECT_EQ(result, QString());
    EXPECT_EQ(ListFiles(dir), (Files{{"settings.ini", kOldContent}}));
    EXPECT_EQ(diagnostics, kDiagnostic);

    // With room again the same store saves everything.
    store.Save(false);
    IniEx reread(4);
    ASSERT_TRUE(reread.Load(path, false, false, true, false));
    EXPECT_EQ(reread.ReadValue("FILES", "FILE399.BIN", "<none>"), "22");
    EXPECT_EQ(reread.ReadValue("APPLICATION", "LOCAL_PATH", "<none>"), "/srv/files");
}

TEST_F(SettingsIniExSave, ReadOnlyFileIsNeitherLoadedNorOverwritten) {
    IniEx store(4);
    ASSERT_TRUE(store.Load(path, false, false, true, false));
    store.WriteValue("APPLICATION", "STATUS", "0");
    ASSERT_TRUE(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup));

    EnvironmentValue debug("QUARN_DEBUG", "1");
    StderrCapture capture;
    const QString result = store.Save(false);
    const std::string diagnostics = capture.Finish();
    EXPECT_EQ(result, QString());
    EXPECT_EQ(ReadFile(path), kOldContent);
    EXPECT_EQ(diagnostics, kDiagnostic);

    IniEx other(4);
    EXPECT_FALSE(other.Load(path, false, false, true, false));
    EXPECT_FALSE(other.IsLoaded());
}

TEST_F(SettingsIniExSave, SymlinkedFileStaysALinkAndItsTargetGetsTheContent) {
    ASSERT_TRUE(QDir(dir).mkdir("real"));
    const QString target = dir + "/real/quarnloader.ini";
    WriteFile(target, kOldContent);
    const QString link = dir + "/link.ini";
    ASSERT_EQ(symlink("real/quarnloader.ini", link.toLocal8Bit().constData()), 0);

    {
        IniEx store(4);
        ASSERT_TRUE(store.Load(link, false, false, true, false));
        store.WriteValue("APPLICATION", "STATUS", "0");
        store.Save(false);
    }

    const QFileInfo info(link);
    EXPECT_TRUE(info.isSymLink());
    EXPECT_EQ(info.symLinkTarget(), target);
    EXPECT_EQ(ReadFile(target), "[APPLICATION]\nSTATUS=0\nLOCAL_PATH=/srv/files\n");
    EXPECT_EQ(QDir(dir + "/real").entryList(QDir::Files | QDir::Hidden),
              QStringList{"quarnloader.ini"});
}

struct ModeCase {
    const char* name;
    mode_t mode;
};

class IniExSaveMode : public ::testing::TestWithParam<ModeCase> {};

TEST_P(IniExSaveMode, PermissionsAreKept) {
    QTemporaryDir temp;
    ASSERT_TRUE(temp.isValid());
    const QString path = temp.path() + "/settings.ini";
    WriteFile(path, kOldContent);
    const QByteArray native = path.toLocal8Bit();
    ASSERT_EQ(chmod(native.constData(), GetParam().mode), 0);

    IniEx store(4);
    ASSERT_TRUE(store.Load(path, false, false, true, false));
    store.WriteValue("APPLICATION", "STATUS", "0");
    store.Save(false);

    struct stat after {};
    ASSERT_EQ(stat(native.constData(), &after), 0);
    EXPECT_EQ(after.st_mode & 07777, GetParam().mode);
    EXPECT_NE(ReadFile(path), kOldContent);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, IniExSaveMode,
    ::testing::Values(ModeCase{"OwnerOnly", 0600}, ModeCase{"GroupReadable", 0640},
                      ModeCase{"GroupWritable", 0664}, ModeCase{"Executable", 0755}),
    [](const ::testing::TestParamInfo<ModeCase>& info) { return std::string(info.param.name); });

} // namespace
