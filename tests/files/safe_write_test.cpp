// Saving never destroys the previous file when the write fails.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "files/safe_write.h"
#include "files/temp_dir.h"

namespace xmca {
namespace {

using test::TempDir;

TEST(SafeWrite, ReplacesContentKeepsModeAndLeavesNoTemporary) {
    TempDir dir;
    const std::string p = dir.file("saved.dat");
    test::writeAll(p, std::string(5000, 'o'));
    ::chmod(p.c_str(), 0640);
    ASSERT_EQ(writeWholeFile(p, "new"), WriteStatus::Ok);
    EXPECT_EQ(test::readAll(p), "new");
    struct stat st {};
    ASSERT_EQ(::stat(p.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"saved.dat"});
}

TEST(SafeWrite, FollowsASymbolicLinkAndKeepsIt) {
    TempDir dir;
    test::writeAll(dir.file("real.dat"), "old");
    std::filesystem::create_symlink("real.dat", dir.path() / "link.dat");
    ASSERT_EQ(writeWholeFile(dir.file("link.dat"), "via link"), WriteStatus::Ok);
    EXPECT_TRUE(std::filesystem::is_symlink(dir.path() / "link.dat"));
    EXPECT_EQ(test::readAll(dir.file("real.dat")), "via link");
}

TEST(SafeWrite, DeviceIsRefusedNotWritten) {
    if (!std::filesystem::is_character_file("/dev/full")) GTEST_SKIP() << "no /dev/full";
    EXPECT_EQ(writeWholeFile("/dev/full", std::string(17408, 'x')), WriteStatus::NotRegular);
    EXPECT_EQ(checkWriteTarget("/dev/full"), WriteStatus::NotRegular);
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/full"));  // not renamed over
}

TEST(SafeWrite, FailedWriteOfARegularFileKeepsThePreviousOne) {
    TempDir dir;
    const std::string p = dir.file("keep.dat");
    const std::string old(3000, 'k');
    test::writeAll(p, old);
    // A file-size limit makes the write fail part way, as a full disk would.
    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const WriteStatus st = writeWholeFile(p, std::string(17408, 'n'));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(st, WriteStatus::WriteFailed);
    EXPECT_EQ(test::readAll(p), old);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"keep.dat"});
}

TEST(SafeWrite, UnwritableDirectoryOrMissingDirectoryFails) {
    TempDir dir;
    EXPECT_EQ(writeWholeFile(dir.file("no/such/dir/x.dat"), "x"), WriteStatus::OpenFailed);
    EXPECT_EQ(writeWholeFile("", "x"), WriteStatus::OpenFailed);
    if (::geteuid() != 0) {
        const std::string p = dir.file("kept.dat");
        test::writeAll(p, "previous");
        ::chmod(dir.path().c_str(), 0555);
        EXPECT_EQ(writeWholeFile(p, "new"), WriteStatus::OpenFailed);
        ::chmod(dir.path().c_str(), 0755);
        EXPECT_EQ(test::readAll(p), "previous");
    } else {
        // Permissions do not stop root; /proc takes no new files from anyone.
        EXPECT_EQ(writeWholeFile("/proc/xmca-test.dat", "x"), WriteStatus::OpenFailed);
    }
}

// The check before a long run refuses every target the final save would fail on,
// and a pipe never blocks either call.
TEST(SafeWrite, TargetCheckRefusesWhatTheSaveWouldAndLeavesNothing) {
    TempDir dir;
    EXPECT_EQ(checkWriteTarget(dir.file("new.dat")), WriteStatus::Ok);
    test::writeAll(dir.file("ro.dat"), "keep");
    ::chmod(dir.file("ro.dat").c_str(), 0444);
    EXPECT_EQ(checkWriteTarget(dir.file("ro.dat")), WriteStatus::Refused);  // also as root
    std::filesystem::create_symlink("loop-b", dir.path() / "loop-a");
    std::filesystem::create_symlink("loop-a", dir.path() / "loop-b");
    EXPECT_EQ(checkWriteTarget(dir.file("loop-a")), WriteStatus::Refused);
    std::filesystem::create_symlink("missing/x.dat", dir.path() / "dangling.dat");
    EXPECT_EQ(checkWriteTarget(dir.file("dangling.dat")), WriteStatus::OpenFailed);
    EXPECT_EQ(checkWriteTarget(dir.file("no/such/dir/x.dat")), WriteStatus::OpenFailed);
    EXPECT_EQ(checkWriteTarget(dir.path().string()), WriteStatus::NotRegular);
    ASSERT_EQ(::mkfifo(dir.file("pipe").c_str(), 0600), 0);
    EXPECT_EQ(checkWriteTarget(dir.file("pipe")), WriteStatus::NotRegular);
    EXPECT_EQ(writeWholeFile(dir.file("pipe"), "x"), WriteStatus::NotRegular);  // returns: no reader needed
    EXPECT_EQ(test::readAll(dir.file("ro.dat")), "keep");
    auto names = dir.entries();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"dangling.dat", "loop-a", "loop-b", "pipe", "ro.dat"}));
}

}  // namespace
}  // namespace xmca
