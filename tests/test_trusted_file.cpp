#include "sys/trusted_file.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr uid_t kNobody = 65534;

// The path of a row that is at fault, or given to another user.
enum class Path
{
    None,
    Upper,
    Own,
    Module,
};

// A module at <base>/upper/own/module.so, with the two folders above it in the modes of a row,
// and one path of it given to nobody where the row says so (only root can). The base is a
// private folder of the test's; the modes and owners are set for real, and the answer is the one
// a user other than the owner could exploit: may anyone else put another file in its place?
// Where not, the reason names the path at fault and why.
struct Row
{
    const char* name;
    mode_t upper;
    mode_t own;
    mode_t module;
    Path givenToNobody;
    Path atFault;
    const char* fault;
};

class TrustedFile : public testing::TestWithParam<Row>
{
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "q3-trust-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        base_ = fs::canonical(pattern).string();
        ASSERT_EQ(::chmod(base_.c_str(), 0700), 0);
    }
    void TearDown() override
    {
        std::error_code ignored;
        fs::remove_all(base_, ignored);
    }

    std::string base_;
};

TEST_P(TrustedFile, OnlyWhereNobodyElseCanPutAnotherFileInItsPlace)
{
    const Row& row = GetParam();
    const fs::path upper = fs::path(base_) / "upper";
    const fs::path own = upper / "own";
    const fs::path module = own / "module.so";
    const auto pathOf = [&](Path path) {
        return path == Path::Upper ? upper : path == Path::Own ? own : module;
    };
    fs::create_directories(own);
    std::ofstream(module) << "code";
    ASSERT_EQ(::chmod(module.c_str(), row.module), 0);
    ASSERT_EQ(::chmod(own.c_str(), row.own), 0);
    ASSERT_EQ(::chmod(upper.c_str(), row.upper), 0);
    if (row.givenToNobody != Path::None) {
        if (::geteuid() != 0)
            GTEST_SKIP() << "only root can give a file to another user";
        ASSERT_EQ(::chown(pathOf(row.givenToNobody).c_str(), kNobody, kNobody), 0);
    }
    const std::string reason = q3::untrustedReason(module.string(), ::geteuid());
    if (row.atFault == Path::None)
        EXPECT_EQ(reason, "");
    else
        EXPECT_EQ(reason, pathOf(row.atFault).string() + " " + row.fault);
}

constexpr const char* kWritable = "can be written by others";
constexpr const char* kAnotherUsers = "belongs to another user";

const std::vector<Row> kRows{
    {"PrivateFolders", 0755, 0755, 0644, Path::None, Path::None, nullptr},
    // Like a build folder under /tmp: the sticky bit keeps others from moving what is below.
    {"UnderAStickyFolderAnyoneCanWrite", 01777, 0755, 0644, Path::None, Path::None, nullptr},
    {"UnderAFolderAnyoneCanWriteWithoutTheStickyBit", 0777, 0755, 0644, Path::None, Path::Upper,
     kWritable},
    // Its own folder may not be writable by others even with the sticky bit: they could make a
    // file of the module's name there.
    {"InAStickyFolderAnyoneCanWrite", 0755, 01777, 0644, Path::None, Path::Own, kWritable},
    {"InAFolderAnyoneCanWrite", 0755, 0777, 0644, Path::None, Path::Own, kWritable},
    {"WritableByAnyone", 0755, 0755, 0646, Path::None, Path::Module, kWritable},
    // Another user may write what is theirs, whatever its mode says today: they can change it.
    {"OfAnotherUser", 0755, 0755, 0644, Path::Module, Path::Module, kAnotherUsers},
    {"InAFolderOfAnotherUser", 0755, 0755, 0644, Path::Own, Path::Own, kAnotherUsers},
    {"UnderAFolderOfAnotherUser", 0755, 0755, 0644, Path::Upper, Path::Upper, kAnotherUsers},
    {"UnderAStickyFolderOfAnotherUser", 01777, 0755, 0644, Path::Upper, Path::Upper, kAnotherUsers},
};

INSTANTIATE_TEST_SUITE_P(Module, TrustedFile, testing::ValuesIn(kRows),
                         [](const testing::TestParamInfo<Row>& row) { return row.param.name; });

} // namespace
