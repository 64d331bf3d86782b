#include "platform/FileStore.h"

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <QDir>
#include <QTemporaryDir>

#include "config/ProfileFile.h"

namespace vigiltron {
namespace {

class FileStoreTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
    std::string Dir() const { return dir_.path().toStdString(); }
    std::string Path(const std::string& name = "vigiltron.ini") const { return Dir() + "/" + name; }
    QStringList Entries() const {
        return QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    }
    QTemporaryDir dir_;
    FileStore store_;
};

// A preferences file big enough that writing it takes a while; `tag` tells versions apart and
// the last key proves the file is complete.
std::string BigProfile(char tag) {
    ProfileFile file;
    for (int n = 0; n < 20000; ++n) {
        file.SetString("Bulk " + std::to_string(n / 100), "key" + std::to_string(n),
                       std::string(40, tag));
    }
    file.SetString("End", "version", std::string(1, tag));
    return file.Serialize();
}

TEST_F(FileStoreTest, ReadsWritesAndReportsWhatIsMissing) {
    EXPECT_EQ(store_.ReadFile(Path()).status, TextFileStore::ReadStatus::Missing);
    std::string error;
    ASSERT_TRUE(store_.WriteAtomically(Path(), "[A]\r\nx=1\r\n", error)) << error;
    auto read = store_.ReadFile(Path());
    EXPECT_EQ(read.status, TextFileStore::ReadStatus::Ok);
    EXPECT_EQ(read.contents, "[A]\r\nx=1\r\n");
    ASSERT_TRUE(store_.WriteAtomically(Path(), "", error));
    EXPECT_EQ(store_.ReadFile(Path()).contents, "");
    EXPECT_EQ(Entries(), QStringList{QStringLiteral("vigiltron.ini")});  // no temporary left

    // A directory exists but is not a readable file: a failure, not an empty file.
    read = store_.ReadFile(Dir());
    EXPECT_EQ(read.status, TextFileStore::ReadStatus::Failed);
    EXPECT_FALSE(read.error.empty());

    EXPECT_TRUE(store_.DirectoryExists(Dir()));
    EXPECT_FALSE(store_.DirectoryExists(Path()));
    EXPECT_FALSE(store_.DirectoryExists(Dir() + "/nope"));

    EXPECT_FALSE(store_.WriteAtomically(Dir() + "/nope/vigiltron.ini", "x", error));
    EXPECT_NE(error.find("nope"), std::string::npos) << error;
}

TEST_F(FileStoreTest, KeepsPermissionsAndLinks) {
    std::string error;
    ASSERT_TRUE(store_.WriteAtomically(Path(), "one", error));
    struct stat info {};
    ASSERT_EQ(::stat(Path().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);  // new files may hold passwords

    ASSERT_EQ(::chmod(Path().c_str(), 0640), 0);
    ASSERT_TRUE(store_.WriteAtomically(Path(), "two", error));
    ASSERT_EQ(::stat(Path().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);

    ASSERT_EQ(::symlink(Path().c_str(), Path("link.ini").c_str()), 0);
    ASSERT_TRUE(store_.WriteAtomically(Path("link.ini"), "three", error));
    struct stat link {};
    ASSERT_EQ(::lstat(Path("link.ini").c_str(), &link), 0);
    EXPECT_TRUE(S_ISLNK(link.st_mode));
    EXPECT_EQ(store_.ReadFile(Path()).contents, "three");
}

TEST_F(FileStoreTest, KilledWhileSavingLeavesOneWholeVersion) {
    const std::string versionA = BigProfile('A');
    const std::string versionB = BigProfile('B');
    std::string error;
    ASSERT_TRUE(store_.WriteAtomically(Path(), versionA, error));

    for (int round = 1; round <= 6; ++round) {
        int done[2];
        ASSERT_EQ(::pipe(done), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(done[0]);
            FileStore store;
            for (int i = 0;; ++i) {
                std::string childError;
                store.WriteAtomically(Path(), i % 2 == 0 ? versionB : versionA, childError);
                const char mark = 's';
                if (::write(done[1], &mark, 1) != 1) {
                    ::_exit(1);
                }
            }
        }
        ::close(done[1]);
        // Once `round` saves are complete the child is inside the next one: kill it there.
        for (int saved = 0; saved < round; ++saved) {
            char mark;
            ASSERT_EQ(::read(done[0], &mark, 1), 1);
        }
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        ::close(done[0]);
        ASSERT_TRUE(WIFSIGNALED(status));

        const std::string contents = store_.ReadFile(Path()).contents;
        ASSERT_TRUE(contents == versionA || contents == versionB)
            << "round " << round << ": " << contents.size() << " bytes";
        const ProfileFile file = ProfileFile::Parse(contents);
        EXPECT_EQ(file.GetString("End", "version", ""), contents == versionA ? "A" : "B");
    }
}

TEST_F(FileStoreTest, KilledJustBeforeTheReplaceLeavesTheOldFile) {
    const std::string oldVersion = BigProfile('O');
    const std::string newVersion = BigProfile('N');
    std::string error;
    ASSERT_TRUE(store_.WriteAtomically(Path(), oldVersion, error));

    int ready[2];
    int hold[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(hold), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        FileStore store;
        store.SetBeforeReplaceHook([&] {
            const char mark = 'r';
            if (::write(ready[1], &mark, 1) != 1) {
                ::_exit(1);
            }
            char never;
            while (::read(hold[0], &never, 1) != 0) {  // parked until killed
            }
        });
        std::string childError;
        store.WriteAtomically(Path(), newVersion, childError);
        ::_exit(0);
    }
    ::close(ready[1]);
    char mark;
    ASSERT_EQ(::read(ready[0], &mark, 1), 1);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ::close(ready[0]);
    ::close(hold[0]);
    ::close(hold[1]);

    EXPECT_TRUE(store_.ReadFile(Path()).contents == oldVersion);
    // The new version was complete in its temporary file: the kill came at the last moment.
    const QStringList leftovers = Entries().filter(QStringLiteral(".vigiltron.ini."));
    ASSERT_EQ(leftovers.size(), 1);
    EXPECT_TRUE(store_.ReadFile(Path(leftovers[0].toStdString())).contents == newVersion);

    // The next save is not disturbed by the leftover.
    ASSERT_TRUE(store_.WriteAtomically(Path(), newVersion, error)) << error;
    EXPECT_TRUE(store_.ReadFile(Path()).contents == newVersion);
}

}  // namespace
}  // namespace vigiltron
