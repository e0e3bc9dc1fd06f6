// The editor's Save never destroys bytes it didn't write: files start-up couldn't use
// or read whole, files another program changed meanwhile, a write the file-size limit
// stops, and what start-up says about the effect file it was given.
#include <gtest/gtest.h>

#include <csignal>
#include <functional>

#include <fcntl.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/EditorState.h"
#include "app/EffectSaving.h"
#include "effect/EffectFile.h"
#include "tests/support/ScratchFolder.h"

namespace {

Bytes Record(const EmitterSettings& s)
{
    Bytes bytes(EFFECT_FILE_CONE_SIZE);
    bytes.resize(EncodeEffect(s, bytes.data()));
    return bytes;
}

const EmitterSettings other = {{1, 0, 0, 1}, {0, 0, 1, 0}, 0.5f, 0.7f, 250, 40, false, {0, 0, -1}, 90};

struct stat Info(const std::string& path)
{
    struct stat info = {};
    lstat(path.c_str(), &info);
    return info;
}

// Runs `body` in a forked child and hands back the text it returned ("crashed" when
// the child didn't exit normally).
std::string InChild(const std::function<std::string()>& body)
{
    int ends[2];
    if (pipe(ends) != 0)
        return "no pipe";
    pid_t pid = fork();
    if (pid == 0) {
        close(ends[0]);
        std::string text = body();
        _exit(write(ends[1], text.data(), text.size()) == ssize_t(text.size()) ? 0 : 1);
    }
    close(ends[1]);
    std::string text;
    char chunk[256];
    for (ssize_t n; (n = read(ends[0], chunk, sizeof chunk)) > 0;)
        text.append(chunk, size_t(n));
    close(ends[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? text : "crashed";
}

class Saving : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetEditorState();
        settings = DefaultEmitterSettings();
    }
    // Start-up on `name` as the editor does it: what it prints on standard error, with
    // the defaults in the settings when the file can't be used.
    std::string StartOn(const std::string& name)
    {
        path = name;
        testing::internal::CaptureStderr();
        if (!LoadEffectAtStart(path.c_str()))
            settings = DefaultEmitterSettings();
        saveFileName = path.c_str();
        return testing::internal::GetCapturedStderr();
    }
    // The menu's Save: what it prints.
    std::string Save()
    {
        testing::internal::CaptureStdout();
        SaveEditedEffect();
        return testing::internal::GetCapturedStdout();
    }

    ScratchFolder dir;
    std::string path;
};

}  // namespace

TEST_F(Saving, StartUpSaysWhenTheEffectFileCantBeUsed)
{
    WriteBytes(dir.Path("tex.QP"), Bytes(40, 'j'));
    WriteBytes(dir.Path("taken.QP"), Bytes(40, 'j'));
    WriteBytes(dir.Path("taken.QP.bak"), Bytes(1, 'b'));
    WriteBytes(dir.Path("good.QP"), Record(other));
    Bytes trailing = Record(other);
    trailing.resize(100, 't');
    WriteBytes(dir.Path("trail100.QP"), trailing);
    ASSERT_EQ(0, mkdir(dir.Path("folder.QP").c_str(), 0700));
    const std::string evil = dir.Path("evil\x1b]0;T\x07.QP");
    const std::pair<std::string, std::string> cases[] = {
        {dir.Path("tex.QP"),
         dir.Path("tex.QP") + " isn't an effect file; Save will keep it as " + dir.Path("tex.QP.bak") + "\n"},
        {dir.Path("taken.QP"),
         dir.Path("taken.QP") + " isn't an effect file; Save will keep it as " + dir.Path("taken.QP.bak.1") + "\n"},
        {dir.Path("new.QP"), dir.Path("new.QP") + " doesn't exist yet; Save will create it\n"},
        {dir.Path("folder.QP"), dir.Path("folder.QP") + " can't be read: is a folder, not a regular file\n"},
        {evil, dir.Path("evil\\x1b]0;T\\x07.QP") + " doesn't exist yet; Save will create it\n"},
        {dir.Path("good.QP"), ""},
        {dir.Path("trail100.QP"), ""},  // read in part: loads, and Save keeps it
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.second, StartOn(c.first)) << c.first;
    EXPECT_EQ(other.size, settings.size) << "trail100.QP loads";
    EXPECT_TRUE(keepRefusedFile) << "trail100.QP is read in part";
}

TEST_F(Saving, AFileReadInPartIsKeptByALinkBeforeSave)
{
    const EmitterSettings cone = {{1, 1, 1, 1}, {1, 1, 1, 0}, 0.02f, 0.2f, 1000, 100, true, {0, 1, 0}, 30};
    Bytes full = Record(cone);
    Bytes trailing = full;
    trailing.resize(100, 't');                   // bytes after the cone
    Bytes cut(full.begin(), full.begin() + 70);  // the cone axis cut short
    for (const Bytes* bytes : {&trailing, &cut}) {
        ScratchFolder folder;
        const std::string name = folder.Path("e.QP");
        WriteBytes(name, *bytes);
        ino_t inode = Info(name).st_ino;
        EXPECT_EQ("", StartOn(name)) << bytes->size();
        EXPECT_EQ("Kept the earlier " + name + " as " + name + ".bak\n", Save()) << bytes->size();
        EXPECT_EQ(*bytes, ReadBytes(name + ".bak")) << bytes->size();
        EXPECT_EQ(inode, Info(name + ".bak").st_ino) << bytes->size() << ": the old file itself, not a copy";
        EXPECT_EQ(Record(settings), ReadBytes(name)) << bytes->size();
        EXPECT_EQ("", Save()) << bytes->size() << ": the file is the editor's own now";
        EXPECT_EQ(2, folder.Count()) << bytes->size();
    }
}

TEST_F(Saving, AFileAnotherProgramChangedMeanwhileIsKept)
{
    const std::string name = dir.Path("e.QP");
    WriteBytes(name, Record(DefaultEmitterSettings()));
    EXPECT_EQ("", StartOn(name));
    EXPECT_EQ("", Save()) << "unchanged: replaced as it is";
    // A second writer, in a process of its own.
    EXPECT_EQ("", InChild([&] { return WriteEffectFile(name.c_str(), other) ? "" : "not written"; }));
    EXPECT_EQ("Kept the earlier " + name + " as " + name + ".bak\n", Save());
    EXPECT_EQ(Record(other), ReadBytes(name + ".bak"));
    EXPECT_EQ(Record(settings), ReadBytes(name));
    // Only the time changes: still someone else's version.
    struct timespec times[2] = {{0, UTIME_OMIT}, {12345, 0}};
    ASSERT_EQ(0, utimensat(AT_FDCWD, name.c_str(), times, 0));
    EXPECT_EQ("Kept the earlier " + name + " as " + name + ".bak.1\n", Save());
    EXPECT_EQ("", Save());
    // Created after start-up where there was none.
    const std::string late = dir.Path("late.QP");
    EXPECT_EQ(late + " doesn't exist yet; Save will create it\n", StartOn(late));
    WriteBytes(late, Record(other));
    EXPECT_EQ("Kept the earlier " + late + " as " + late + ".bak\n", Save());
    EXPECT_EQ(Record(other), ReadBytes(late + ".bak"));
    EXPECT_EQ(5, dir.Count());
}

TEST_F(Saving, NoEffectNamedSavesOverAnUnchangedOutQp)
{
    const std::string name = dir.Path("Out.QP");
    WriteBytes(name, Record(other));
    path = name;
    saveFileName = path.c_str();
    NoteSaveFile(saveFileName);
    EXPECT_EQ("", Save()) << "as every earlier run's Out.QP";
    EXPECT_EQ(Record(settings), ReadBytes(name));
    EXPECT_EQ(1, dir.Count());
}

TEST_F(Saving, ASaveOverTheFileSizeLimitFailsAndTheEditorGoesOn)
{
    const std::string name = dir.Path("e.QP");
    WriteBytes(name, Record(other));
    StartOn(name);
    settings.coneEnabled = true;  // 81 bytes, over the limit below
    std::string said = InChild([&] {
        std::signal(SIGXFSZ, SIG_DFL);  // as a shell leaves it
        rlimit tight = {70, 70};
        if (setrlimit(RLIMIT_FSIZE, &tight) != 0)
            return std::string("no limit");
        testing::internal::CaptureStdout();
        bool saved = SaveEditedEffect();
        return testing::internal::GetCapturedStdout() + (saved ? "saved" : "still running");
    });
    EXPECT_EQ("Couldn't save effect " + name + "\nstill running", said);
    EXPECT_EQ(Record(other), ReadBytes(name));
    EXPECT_EQ(1, dir.Count()) << "no temporary file is left";
}

TEST_F(Saving, ABigRefusedFileIsKeptWithoutACopy)
{
    const std::string name = dir.Path("big.QP");
    const off_t size = off_t(2) << 30;
    int fd = open(name.c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_LE(0, fd);
    ASSERT_EQ(4, write(fd, "junk", 4));
    ASSERT_EQ(0, ftruncate(fd, size));
    close(fd);
    ino_t inode = Info(name).st_ino;
    EXPECT_EQ(name + " isn't an effect file; Save will keep it as " + name + ".bak\n", StartOn(name));
    std::string grew = InChild([&] {
        rusage before, after;
        getrusage(RUSAGE_SELF, &before);
        testing::internal::CaptureStdout();
        SaveEditedEffect();
        testing::internal::GetCapturedStdout();
        getrusage(RUSAGE_SELF, &after);
        return std::to_string((after.ru_maxrss - before.ru_maxrss) / 1024);
    });
    EXPECT_GT(8, std::stol(grew == "crashed" ? "-1" : grew)) << "MiB of peak memory the Save added";
    EXPECT_EQ(inode, Info(name + ".bak").st_ino) << "the old file itself";
    EXPECT_EQ(size, Info(name + ".bak").st_size);
    EXPECT_EQ(Record(settings), ReadBytes(name));
}

TEST_F(Saving, AnUnreadableFileIsKeptOrNothingIsSaved)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "acting as another user needs root (the test command runs as root)";
    passwd* nobody = getpwnam("nobody");
    ASSERT_NE(nullptr, nobody);
    ASSERT_EQ(0, chown(dir.root.c_str(), nobody->pw_uid, nobody->pw_gid));
    const Bytes secret = {'s', 'e', 'c', 'r', 'e', 't'};
    const std::string alone = dir.Path("alone.QP"), linked = dir.Path("linked.QP");
    for (const std::string& name : {alone, linked}) {
        WriteBytes(name, secret);
        ASSERT_EQ(0, chown(name.c_str(), nobody->pw_uid, nobody->pw_gid));
        ASSERT_EQ(0, chmod(name.c_str(), 0200));  // writable, not readable, for its owner
    }
    ASSERT_EQ(0, link(linked.c_str(), dir.Path("second").c_str()));
    const struct {
        std::string name, said;
        bool saved;
    } cases[] = {
        {alone, alone + " can't be read: Permission denied\nKept the earlier " + alone + " as " + alone + ".bak\n",
         true},
        // Written in place for all its names, so kept by a copy, which needs reading.
        {linked, linked + " can't be read: Permission denied\nCouldn't save effect " + linked + "\n", false},
    };
    for (const auto& c : cases) {
        std::string said = InChild([&] {
            if (setgid(nobody->pw_gid) != 0 || setuid(nobody->pw_uid) != 0)
                return std::string("can't become nobody");
            std::string text = StartOn(c.name);
            return text + Save();
        });
        EXPECT_EQ(c.said, said) << c.name;
        struct stat info = Info(c.name);
        EXPECT_EQ(c.saved ? off_t(EFFECT_FILE_SIZE) : off_t(secret.size()), info.st_size) << c.name;
    }
    EXPECT_EQ(secret, ReadBytes(alone + ".bak"));
    EXPECT_EQ(secret, ReadBytes(dir.Path("second"))) << "the other name of the file not saved";
}
