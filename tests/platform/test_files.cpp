#include "platform/files.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace fs = std::filesystem;
using testsupport::TempDir;

namespace {

TEST(Files, WholeReadsGiveTheBytesAndTheIdentityOfWhatWasRead) {
    TempDir dir;
    const fs::path file = dir / "a.dat";
    EXPECT_FALSE(platform::readWholeFile(file, 100));
    EXPECT_FALSE(platform::fileIdentity(file));
    testsupport::writeFile(file, std::string("ab\0cd", 5));
    platform::FileIdentity identity;
    auto bytes = platform::readWholeFile(file, 100, &identity);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(*bytes, std::string("ab\0cd", 5));
    EXPECT_EQ(platform::fileIdentity(file), identity);
    EXPECT_EQ(identity.size, 5);

    EXPECT_FALSE(platform::readWholeFile(file, 4)) << "larger than allowed";
    EXPECT_FALSE(platform::readWholeFile(dir.path(), 100)) << "a folder is no file";
    EXPECT_FALSE(platform::fileIdentity(dir.path()));

    // A replaced file is another file, even with the same size.
    testsupport::writeFile(dir / "b.dat", "xxxxx");
    fs::rename(dir / "b.dat", file);
    EXPECT_NE(platform::fileIdentity(file), identity);
}

TEST(Files, ExecutableMeansARegularFileWithTheExecuteBit) {
    TempDir dir;
    const fs::path file = dir / "tool";
    testsupport::writeFile(file, "#!/bin/sh\n");
    EXPECT_FALSE(platform::isExecutableFile(file));
    fs::permissions(file, fs::perms::owner_exec, fs::perm_options::add);
    EXPECT_TRUE(platform::isExecutableFile(file));
    EXPECT_FALSE(platform::isExecutableFile(dir.path())) << "folders carry the bit too";
    EXPECT_FALSE(platform::isExecutableFile(dir / "missing"));
    EXPECT_EQ(platform::executablePath().filename(), "platform_test_files");
}

}  // namespace
