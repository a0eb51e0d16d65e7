// The whole-file writer: for random folders, random result sets and a fault
// at any step, the folder afterwards is exactly the old one or exactly the new
// one, with no temporary left; a commit interrupted at any step by what a
// signal handler does leaves the old folder; real failures (a file size
// limit, a folder or a device under the name) are reported and change nothing.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include "platform/files.h"
#include "support/folder.h"

namespace {

namespace fs = std::filesystem;

class WholeFiles : public ::testing::Test {
protected:
    fs::path folder;

    void SetUp() override
    {
        folder = freshTestFolder("pulsebench-files");
        takeFailedWrites();
    }
    void TearDown() override
    {
        clearFileFault();
        setFileStepHook(nullptr);
        fs::remove_all(folder);
    }

    std::string pathOf(const std::string& name) const { return (folder / name).string(); }

    Folder listing() const { return folderContents(folder); }

    void fill(const Folder& files)
    {
        fs::remove_all(folder);
        fs::create_directories(folder);
        for (const auto& [name, text] : files)
            std::ofstream(folder / name, std::ios::binary) << text;
    }
};

std::string randomText(std::mt19937& random)
{
    std::string text(random() % 5000, '\0');
    for (char& c : text)
        c = static_cast<char>('a' + random() % 26);
    return text;
}

// A folder of up to four files and a set of one to four new ones over the same names.
std::pair<Folder, Folder> randomCase(std::mt19937& random)
{
    Folder old, fresh;
    for (const char* name : {"simulation.json", "simulation.csv", "description.csv", "chart-2.png"}) {
        if (random() % 2)
            old[name] = randomText(random);
        if (fresh.empty() || random() % 2)
            fresh[name] = randomText(random);
    }
    return {old, fresh};
}

Folder merged(Folder old, const Folder& fresh)
{
    for (const auto& [name, text] : fresh)
        old[name] = text;
    return old;
}

TEST_F(WholeFiles, SetIsReplacedWholeOrNotAtAllWhicheverStepFails)
{
    std::mt19937 random(2026);
    int committed = 0, refused = 0;
    for (int trial = 0; trial < 200; trial++) {
        const auto [old, fresh] = randomCase(random);
        fill(old);
        const int step = static_cast<int>(random() % 7);  // 6: no fault
        if (step < 6)
            injectFileFault(static_cast<FileStep>(step), 1 + static_cast<int>(random() % 4), ENOSPC);
        FileSet set;
        bool ok = true;
        for (const auto& [name, text] : fresh)
            ok = ok && set.add(pathOf(name), text);
        ok = ok && set.commit();
        clearFileFault();
        SCOPED_TRACE("trial " + std::to_string(trial) + ", step " + std::to_string(step));
        ASSERT_EQ(listing(), ok ? merged(old, fresh) : old);
        const std::vector<std::string> failures = takeFailedWrites();
        ASSERT_EQ(failures.empty(), ok);
        if (!ok) {
            EXPECT_EQ(failures[0], set.error());
            EXPECT_NE(set.error().find("cannot write " + folder.string()), std::string::npos) << set.error();
            EXPECT_NE(set.error().find(std::strerror(ENOSPC)), std::string::npos) << set.error();
        }
        (ok ? committed : refused)++;
    }
    EXPECT_GT(committed, 40);
    EXPECT_GT(refused, 40);
}

TEST_F(WholeFiles, SingleFileKeepsTheOldOneWhicheverStepFails)
{
    for (int step = 0; step < 6; step++)
        for (bool existed : {false, true}) {
            SCOPED_TRACE("step " + std::to_string(step) + (existed ? ", replacing" : ", new"));
            const Folder old = existed ? Folder{{"dump.json", "old"}} : Folder{};
            fill(old);
            injectFileFault(static_cast<FileStep>(step), 1, EIO);
            std::string error;
            const bool ok = writeFileAtomically(pathOf("dump.json"), "new contents", &error);
            clearFileFault();
            const bool used = step != static_cast<int>(FileStep::Backup);  // one file has no previous copy
            EXPECT_EQ(ok, !used);
            EXPECT_EQ(listing(), ok ? Folder({{"dump.json", "new contents"}}) : old);
            if (!ok) {
                EXPECT_EQ(error, "cannot write " + pathOf("dump.json") + ": " + std::strerror(EIO));
            }
        }
}

// What the batch command's second signal does, at every step of a set's
// writing and placing: the folder is the old one, or the new one when the
// commit had finished.
int gInterruptAt = 0;  // the step (1-based) at which the child is interrupted
int gStepsSeen = 0;

void interruptAtStep(FileStep)
{
    if (++gStepsSeen == gInterruptAt) {
        removeTemporaryFilesNow();
        ::_exit(0);
    }
}

TEST_F(WholeFiles, InterruptAtAnyStepLeavesTheOldFolder)
{
    std::mt19937 random(77);
    int interrupted = 0;
    for (int trial = 0; trial < 12; trial++) {
        const auto [old, fresh] = randomCase(random);
        for (int at = 1;; at++) {
            fill(old);
            const pid_t child = ::fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                gInterruptAt = at;
                setFileStepHook(interruptAtStep);
                FileSet set;
                for (const auto& [name, text] : fresh)
                    set.add(pathOf(name), text);
                ::_exit(set.commit() ? 1 : 2);
            }
            int status = 0;
            ::waitpid(child, &status, 0);
            ASSERT_TRUE(WIFEXITED(status));
            const int code = WEXITSTATUS(status);
            ASSERT_NE(code, 2) << "trial " << trial;
            ASSERT_EQ(listing(), code == 0 ? old : merged(old, fresh)) << "trial " << trial << ", step " << at;
            if (code == 1)
                break;
            interrupted++;
        }
    }
    EXPECT_GT(interrupted, 12 * 4);
}

TEST_F(WholeFiles, FileSizeLimitFailsTheWriteAndKeepsTheOldFile)
{
    fill({{"big.csv", "old"}});
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);  // write then fails with EFBIG
        rlimit limit{1000, 1000};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        std::string error;
        const bool ok = writeFileAtomically(pathOf("big.csv"), std::string(5000, 'x'), &error);
        ::_exit(!ok && error == "cannot write " + pathOf("big.csv") + ": " + std::strerror(EFBIG) ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(listing(), (Folder{{"big.csv", "old"}}));
}

TEST_F(WholeFiles, FolderOrDeviceUnderTheNameIsNeverReplaced)
{
    fill({{"kept.csv", "old"}});
    fs::create_directories(folder / "chart-2.png");
    std::string error;
    EXPECT_FALSE(writeFileAtomically(pathOf("chart-2.png"), "png", &error));
    EXPECT_EQ(error, "cannot write " + pathOf("chart-2.png") + ": a folder has that name");
    FileSet set;
    EXPECT_TRUE(set.add(pathOf("kept.csv"), "new"));
    EXPECT_FALSE(set.add(pathOf("chart-2.png"), "png"));
    EXPECT_FALSE(set.commit());
    EXPECT_EQ(listing(), (Folder{{"kept.csv", "old"}, {"chart-2.png", "<folder>"}}));
    EXPECT_FALSE(writeFileAtomically("/dev/null", "x", &error));
    EXPECT_EQ(error, "cannot write /dev/null: it is not a regular file");
    EXPECT_EQ(takeFailedWrites().size(), 3u);
}

TEST_F(WholeFiles, ReplacedFileKeepsItsPermissions)
{
    fill({{"a.json", "old"}});
    fs::permissions(folder / "a.json", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_TRUE(writeFileAtomically(pathOf("a.json"), "new"));
    EXPECT_EQ(fs::status(folder / "a.json").permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(listing(), (Folder{{"a.json", "new"}}));
}

} // namespace
