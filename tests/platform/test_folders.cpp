#include "platform/folders.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace fs = std::filesystem;
using testsupport::ScopedEnv;
using testsupport::TempDir;

namespace {

TEST(Folders, FollowTheEnvironmentAndAreCreated) {
    TempDir dir;
    ScopedEnv data("QUORIN_DATA_DIR", std::nullopt);
    ScopedEnv xdg("XDG_DATA_HOME", (dir / "xdg data").string());
    ScopedEnv tmp("TMPDIR", (dir / "tmp").string());
    EXPECT_EQ(platform::dataDir(), dir / "xdg data" / "QuorinVideoConverter");
    EXPECT_EQ(platform::scratchDir(), platform::dataDir() / "temp");
    EXPECT_EQ(platform::logDir(), platform::dataDir() / "log");
    EXPECT_EQ(platform::coverDir(), platform::dataDir() / "video_cover");
    EXPECT_EQ(platform::workDir(), dir / "tmp" / "QuorinVideoConverter");
    for (const auto& p :
         {platform::scratchDir(), platform::logDir(), platform::coverDir(), platform::workDir()})
        EXPECT_TRUE(fs::is_directory(p)) << p;

    ScopedEnv over("QUORIN_DATA_DIR", (dir / "over" / "deep").string());
    EXPECT_EQ(platform::dataDir(), dir / "over" / "deep");
    EXPECT_TRUE(fs::is_directory(dir / "over" / "deep"));
}

TEST(Folders, DocumentsComeFromUserDirsOrTheHomeFolder) {
    TempDir dir;
    ScopedEnv home("HOME", (dir / "home").string());
    ScopedEnv cfg("XDG_CONFIG_HOME", (dir / "cfg").string());
    ScopedEnv docs("XDG_DOCUMENTS_DIR", std::nullopt);
    EXPECT_EQ(platform::documentsDir(), dir / "home" / "Documents");
    testsupport::writeFile(
        dir / "cfg" / "user-dirs.dirs",
        "# comment\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\nXDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n");
    EXPECT_EQ(platform::documentsDir(), dir / "home" / "Dokumente");
    ScopedEnv direct("XDG_DOCUMENTS_DIR", "/srv/docs");
    EXPECT_EQ(platform::documentsDir(), fs::path("/srv/docs"));
}

TEST(Folders, ProgramFolderIsTheExecutablesUnlessOverridden) {
    {
        ScopedEnv none("QUORIN_PROGRAM_DIR", std::nullopt);
        EXPECT_EQ(platform::programDir(), fs::read_symlink("/proc/self/exe").parent_path());
    }
    ScopedEnv set("QUORIN_PROGRAM_DIR", "/opt/q");
    EXPECT_EQ(platform::pluginDir(), fs::path("/opt/q/plugin"));
}

TEST(Folders, DeleteFilesInKeepsSubfolders) {
    TempDir dir;
    testsupport::writeFile(dir / "a.jpg", "x");
    testsupport::writeFile(dir / "b.jpg", "y");
    testsupport::writeFile(dir / "sub" / "c", "z");
    platform::deleteFilesIn(dir.path());
    EXPECT_FALSE(fs::exists(dir / "a.jpg"));
    EXPECT_FALSE(fs::exists(dir / "b.jpg"));
    EXPECT_TRUE(fs::exists(dir / "sub" / "c"));
    platform::deleteFilesIn(dir / "missing");  // no error
}

}  // namespace
