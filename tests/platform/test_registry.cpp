#include "platform/registry.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace {

TEST(RegistryStore, StringsAndDwordsRoundTripAndKeepTheirType) {
    testsupport::IsolatedHome home;
    auto reg = platform::RegistryStore::currentUser();
    EXPECT_FALSE(reg.exists("Version"));
    EXPECT_FALSE(reg.getString("Version"));

    const std::string tricky = "  lead and trail  \"q\" 'x' ; = \\ \n second line [s]";
    ASSERT_TRUE(reg.setString("Version", tricky));
    ASSERT_TRUE(reg.setString("Empty", ""));
    ASSERT_TRUE(reg.setDword("UpdateDay", 4294967295u));

    auto again = platform::RegistryStore::currentUser();
    EXPECT_EQ(again.getString("version"), tricky);
    EXPECT_EQ(again.getString("Empty"), "");
    EXPECT_TRUE(again.exists("Empty"));
    EXPECT_EQ(again.getDword("UpdateDay"), 4294967295u);
    EXPECT_FALSE(again.getDword("Version"));
    EXPECT_FALSE(again.getString("UpdateDay"));

    ASSERT_TRUE(again.remove("Version"));
    EXPECT_FALSE(reg.exists("Version"));
    EXPECT_TRUE(reg.exists("UpdateDay"));
}

TEST(RegistryStore, MachineStoreIsReadOnly) {
    testsupport::TempDir dir;
    testsupport::ScopedEnv env("QUORIN_MACHINE_CONFIG_DIR", dir.path().string());
    testsupport::writeFile(dir / "registry.ini",
                           "[Software\\QuorinVideoConverter]\nInstallerName=\"sz:Setup_abc-123.exe\"\n");
    auto machine = platform::RegistryStore::localMachine();
    EXPECT_EQ(machine.getString("InstallerName"), "Setup_abc-123.exe");
    EXPECT_FALSE(machine.setString("InstallerName", "x"));
    EXPECT_FALSE(machine.remove("InstallerName"));
    EXPECT_EQ(machine.getString("InstallerName"), "Setup_abc-123.exe");
}

}  // namespace
