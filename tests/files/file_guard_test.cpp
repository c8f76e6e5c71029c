// Inputs that are not regular files are refused without blocking; outputs are
// never replaced when write-protected, a link loop, or cut off by the size limit.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <vector>

#include "files/file_guard.h"
#include "files/safe_write.h"
#include "files/spectrum_file.h"
#include "files/temp_dir.h"

namespace xmca {
namespace {

using test::TempDir;

TEST(FileGuard, OnlyRegularFilesAreOpenedAndNothingBlocks) {
    TempDir dir;
    test::writeAll(dir.file("plain.dat"), std::string(1024, '\0'));
    ASSERT_EQ(::mkfifo(dir.file("pipe").c_str(), 0600), 0);

    InputKind kind{};
    std::FILE* f = openRegularFile(dir.file("plain.dat"), kind);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(kind, InputKind::Regular);
    std::fclose(f);

    // A FIFO with no writer would block an ordinary open for ever.
    EXPECT_EQ(openRegularFile(dir.file("pipe"), kind), nullptr);
    EXPECT_EQ(kind, InputKind::NotRegular);
    EXPECT_EQ(openRegularFile(dir.path().string(), kind), nullptr);
    EXPECT_EQ(kind, InputKind::Directory);
    EXPECT_EQ(openRegularFile("/dev/zero", kind), nullptr);  // would never end
    EXPECT_EQ(kind, InputKind::NotRegular);
    EXPECT_EQ(openRegularFile(dir.file("missing.dat"), kind), nullptr);
    EXPECT_EQ(kind, InputKind::Missing);

    // The spectrum reader uses the same rule.
    SpectrumHeader h;
    std::vector<std::int32_t> counts(8192, 0);
    const SpectrumReadResult r = readSpectrumFile(dir.file("pipe"), h, counts);
    EXPECT_FALSE(r.opened);
    EXPECT_EQ(r.input, InputKind::NotRegular);
    EXPECT_EQ(readSpectrumFile(dir.path().string(), h, counts).input, InputKind::Directory);
}

TEST(FileGuard, SameFileSeesThroughLinksAndSpellings) {
    TempDir dir;
    test::writeAll(dir.file("a.dat"), "a");
    test::writeAll(dir.file("b.dat"), "a");
    std::filesystem::create_symlink("a.dat", dir.path() / "sym.dat");
    std::filesystem::create_hard_link(dir.path() / "a.dat", dir.path() / "hard.dat");
    EXPECT_TRUE(sameFile(dir.file("a.dat"), dir.file("a.dat")));
    EXPECT_TRUE(sameFile(dir.file("a.dat"), dir.file("sym.dat")));
    EXPECT_TRUE(sameFile(dir.file("a.dat"), dir.file("hard.dat")));
    EXPECT_TRUE(sameFile(dir.file("a.dat"), (dir.path() / "." / "a.dat").string()));
    EXPECT_FALSE(sameFile(dir.file("a.dat"), dir.file("b.dat")));  // equal content, other file
    EXPECT_FALSE(sameFile(dir.file("new.dat"), dir.file("new.dat")));
    EXPECT_FALSE(sameFile("", ""));
}

TEST(SafeWriteRefusal, WriteProtectedFileAndLinkLoopAreNeverReplaced) {
    TempDir dir;
    const std::string p = dir.file("locked.dat");
    test::writeAll(p, "precious");
    ::chmod(p.c_str(), 0444);
    EXPECT_EQ(writeWholeFile(p, "new"), WriteStatus::Refused);
    EXPECT_EQ(test::readAll(p), "precious");
    struct stat st {};
    ASSERT_EQ(::stat(p.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0444u);

    std::filesystem::create_symlink("loop2", dir.path() / "loop1");
    std::filesystem::create_symlink("loop1", dir.path() / "loop2");
    EXPECT_EQ(writeWholeFile(dir.file("loop1"), "x"), WriteStatus::Refused);
    EXPECT_TRUE(std::filesystem::is_symlink(dir.path() / "loop1"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.path() / "loop2"));
    auto names = dir.entries();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"locked.dat", "loop1", "loop2"}));
}

TEST(SafeWriteRefusal, SaveStoppedByTheFileSizeLimitLeavesNoTemporary) {
    TempDir dir;
    const std::string p = dir.file("keep.dat");
    test::writeAll(p, std::string(3000, 'k'));
    // In a child with the default SIGXFSZ action, which kills the process.
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::signal(SIGXFSZ, SIG_DFL);
        struct rlimit small {};
        ::getrlimit(RLIMIT_FSIZE, &small);
        small.rlim_cur = 4096;
        ::setrlimit(RLIMIT_FSIZE, &small);
        const WriteStatus st = writeWholeFile(p, std::string(17408, 'n'));
        ::_exit(st == WriteStatus::WriteFailed ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status)) << "killed by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    if (WIFEXITED(status)) {
        EXPECT_EQ(WEXITSTATUS(status), 0);
    }
    EXPECT_EQ(test::readAll(p), std::string(3000, 'k'));
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"keep.dat"});
    // The caller's own SIGXFSZ handling is put back.
    struct sigaction now {};
    ASSERT_EQ(::sigaction(SIGXFSZ, nullptr, &now), 0);
    EXPECT_NE(now.sa_handler, SIG_IGN);
}

}  // namespace
}  // namespace xmca
