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

// A module at <base>/upper/own/module.so, with the two folders above it in the modes of a row.
// The base is a private folder of the test's; the modes are set for real, and the answer is the
// one a user other than the owner could exploit: may anyone else put another file in its place?
struct Row
{
    const char* name;
    mode_t upper;
    mode_t own;
    mode_t module;
    bool trusted;
};

class TrustedFile : public testing::TestWithParam<Row>
{
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "q3-trust-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        base_ = pattern;
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
    fs::create_directories(own);
    std::ofstream(module) << "code";
    ASSERT_EQ(::chmod(module.c_str(), row.module), 0);
    ASSERT_EQ(::chmod(own.c_str(), row.own), 0);
    ASSERT_EQ(::chmod(upper.c_str(), row.upper), 0);
    const std::string reason = q3::untrustedReason(module.string(), ::geteuid());
    EXPECT_EQ(reason.empty(), row.trusted) << reason;
    if (!row.trusted) {
        EXPECT_NE(reason.find("can be written by others"), std::string::npos) << reason;
    }
}

const std::vector<Row> kRows{
    {"PrivateFolders", 0755, 0755, 0644, true},
    // Like a build folder under /tmp: the sticky bit keeps others from moving what is below.
    {"UnderAStickyFolderAnyoneCanWrite", 01777, 0755, 0644, true},
    {"UnderAFolderAnyoneCanWriteWithoutTheStickyBit", 0777, 0755, 0644, false},
    // Its own folder may not be writable by others even with the sticky bit: they could make a
    // file of the module's name there.
    {"InAStickyFolderAnyoneCanWrite", 0755, 01777, 0644, false},
    {"InAFolderAnyoneCanWrite", 0755, 0777, 0644, false},
    {"WritableByAnyone", 0755, 0755, 0646, false},
};

INSTANTIATE_TEST_SUITE_P(Module, TrustedFile, testing::ValuesIn(kRows),
                         [](const testing::TestParamInfo<Row>& row) { return row.param.name; });

} // namespace
