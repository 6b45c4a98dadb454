#pragma once
// The fixture of the tests that build windows from this build's packed English skin:
// English texts, the archive open with one layout read, closed after each test. Only
// for test binaries that link the skin layer and the language module.

#include "app/language.h"
#include "platform/folders.h"
#include "ui/skin.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace testsupport {

class EnglishSkinTest : public ::testing::Test {
protected:
    explicit EnglishSkinTest(std::string layout) : layout_(std::move(layout)) {}
    void SetUp() override {
        app::setCurrentLanguage(app::LanguageId::English);
        ASSERT_TRUE(ui::skin().openArchive(platform::programDir() / "skin" / "skin_en.skin"));
        ASSERT_TRUE(ui::skin().read(layout_)) << layout_;
    }
    void TearDown() override { ui::skin().close(); }

private:
    std::string layout_;
};

}  // namespace testsupport
