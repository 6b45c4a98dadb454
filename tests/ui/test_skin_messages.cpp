// Skin archives, popup menus and window messages across threads.

#include <QTest>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <thread>

#include "qt_env.h"
#include "test_support.h"
#include "ui/menu.h"
#include "ui/skin.h"
#include "ui/window.h"

namespace {

using testsupport::TempDir;

struct SkinGuard {
    ~SkinGuard() { ui::skin().close(); }
};

// Packs `files` of `dir` with the zip tool, encrypted with `password`.
bool zipFolder(const TempDir& dir, const std::string& archive, const std::string& password) {
    auto result = testsupport::runTool({"sh", "-c",
                                        "cd '" + dir.path().string() + "' && zip -q -r -P '" + password +
                                            "' '" + archive + "' skin.xml common.xml images"});
    return result.exit_code == 0;
}

TEST(SkinArchive, OpensWithThePasswordOnlyAndFollowsIncludes) {
    SkinGuard guard;
    TempDir src;
    testsupport::writeFile(src / "skin.xml",
                           "<Window size='100,80'><VerticalLayout name='root'><Include source='common.xml'/>"
                           "</VerticalLayout></Window>");
    testsupport::writeFile(src / "common.xml", "<Label name='shared' text='from include'/>");
    std::filesystem::create_directories(src / "images");
    testsupport::writeFile(src / "images" / "note.txt", "x");
    TempDir out;
    const std::string archive = (out / "skin_en.skin").string();
    ASSERT_TRUE(zipFolder(src, archive, ui::kSkinPassword));

    EXPECT_FALSE(ui::skin().openArchive(archive, "wrong password"));
    EXPECT_FALSE(ui::skin().isOpen());
    EXPECT_FALSE(ui::skin().openArchive(out / "missing.skin"));
    ASSERT_TRUE(ui::skin().openArchive(archive));
    EXPECT_EQ(ui::skin().read("images/note.txt").value_or(""), "x");
    EXPECT_EQ(ui::skin().read("../default/images/note.txt").value_or(""), "x");
    EXPECT_FALSE(ui::skin().read("nothing.xml").has_value());

    ui::Window window;
    ASSERT_TRUE(window.create("skin.xml"));
    ASSERT_NE(window.find("shared"), nullptr);
    EXPECT_EQ(window.find("shared")->text(), "from include");
}

TEST(SkinArchive, AnIncludeLoopEnds) {
    SkinGuard guard;
    TempDir src;
    testsupport::writeFile(src / "loop.xml",
                           "<VerticalLayout name='again'><Include source='loop.xml'/></VerticalLayout>");
    testsupport::writeFile(src / "w.xml",
                           "<Window><VerticalLayout><Include source='loop.xml'/></VerticalLayout></Window>");
    ASSERT_TRUE(ui::skin().openFolder(src.path()));
    ui::Window window;
    EXPECT_TRUE(window.create("w.xml"));
    EXPECT_NE(window.find("again"), nullptr);
}

TEST(SkinArchive, TheBuiltEnglishSkinOpens) {
    SkinGuard guard;
    auto archive = std::filesystem::path(QUORIN_TEST_PROGRAM_DIR) / "skin" / "skin_en.skin";
    ASSERT_TRUE(ui::skin().openArchive(archive));
    EXPECT_TRUE(ui::skin().read("dlg_message.xml").has_value());
}

class Sink : public ui::Window {
public:
    std::vector<std::pair<std::uint32_t, platform::WParam>> got;
    std::vector<ui::MenuCommand> menus;
    platform::LParam onCustomMessage(std::uint32_t id, platform::WParam w, platform::LParam l) override {
        if (id == ui::kMenuCommandMessage) {
            menus.push_back(*reinterpret_cast<const ui::MenuCommand*>(w));
            return 0;
        }
        got.emplace_back(id, w);
        return l * 2;
    }
};

TEST(Messages, TenThousandFromFourThreadsArriveOnceInOrder) {
    Sink window;
    constexpr int kThreads = 4, kEach = 2500;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&window, t] {
            for (int i = 0; i < kEach; ++i)
                window.post(9000 + t, static_cast<platform::WParam>(i), 0);
        });
    }
    for (auto& th : threads)
        th.join();
    QTRY_COMPARE_WITH_TIMEOUT(window.got.size(), size_t(kThreads * kEach), 10000);
    std::vector<int> next(kThreads, 0);
    for (auto& [id, w] : window.got) {
        int t = static_cast<int>(id) - 9000;
        ASSERT_GE(t, 0);
        ASSERT_LT(t, kThreads);
        ASSERT_EQ(static_cast<int>(w), next[t]) << "thread " << t;
        ++next[t];
    }
    for (int n : next)
        EXPECT_EQ(n, kEach);
}

TEST(Messages, SendWaitsForTheResultFromAnotherThreadAndAtHome) {
    Sink window;
    EXPECT_EQ(window.send(1, 0, 21), 42);  // own thread: handled at once
    platform::LParam result = 0;
    std::thread worker([&] { result = window.send(2, 7, 50); });
    QTRY_VERIFY_WITH_TIMEOUT(!window.got.empty() && window.got.back().first == 2, 5000);
    worker.join();
    EXPECT_EQ(result, 100);
}

TEST(Messages, AHandleRefusesOnceTheWindowIsGone) {
    auto window = std::make_unique<Sink>();
    std::shared_ptr<platform::MessageTarget> handle = window->messageTarget();
    // A sender waiting on a window that goes away unanswered is released with 0
    // (whether its message was queued yet or not).
    std::atomic<platform::LParam> result{-1};
    std::thread worker([&] { result = handle->send(3, 0, 5); });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    window.reset();
    worker.join();
    EXPECT_EQ(result.load(), 0);
    EXPECT_FALSE(handle->post(4, 0, 0));
    EXPECT_EQ(handle->send(4, 0, 1), 0);
}

TEST(Menus, ItemsByNameAndTheCommandMessage) {
    auto menu = ui::Menu::fromXml(R"(<Menu>
        <MenuElement name="menuSetting" text="Settings" userdata="s"/>
        <MenuElement name="menuLang" text="Language">
          <MenuElement name="menuEn" text="English" checkable="true"/>
          <MenuElement name="menuDE" text="Deutsch" checkable="true"/>
        </MenuElement>
        <MenuSeparator/>
        <MenuElement name="menuAbout" text="About" visible="false"/>
      </Menu>)");
    ASSERT_NE(menu, nullptr);
    EXPECT_TRUE(menu->setChecked("menuDE", true));
    EXPECT_TRUE(menu->isChecked("menuDE"));
    EXPECT_FALSE(menu->isChecked("menuEn"));
    EXPECT_FALSE(menu->setChecked("menuXX", true));
    EXPECT_FALSE(menu->isVisible("menuAbout"));
    EXPECT_TRUE(menu->setEnabled("menuSetting", false));
    EXPECT_FALSE(menu->isEnabled("menuSetting"));

    Sink owner;
    EXPECT_FALSE(menu->trigger(&owner, "menuAbout"));    // hidden
    EXPECT_FALSE(menu->trigger(&owner, "menuSetting"));  // disabled
    menu->setEnabled("menuSetting", true);
    menu->setText("menuSetting", "Preferences");
    EXPECT_TRUE(menu->trigger(&owner, "menuSetting"));
    EXPECT_TRUE(menu->trigger(&owner, "menuDE"));
    QTRY_COMPARE_WITH_TIMEOUT(owner.menus.size(), size_t(2), 2000);
    EXPECT_EQ(owner.menus[0].name, "menuSetting");
    EXPECT_EQ(owner.menus[0].user_data, "s");
    EXPECT_EQ(owner.menus[0].text, "Preferences");
    EXPECT_EQ(owner.menus[1].name, "menuDE");
    EXPECT_EQ(ui::Menu::fromXml("<NotAMenu/>"), nullptr);
}

}  // namespace
