#pragma once
// One QApplication for a whole test binary (offscreen platform, set by the test
// environment).

#include <gtest/gtest.h>

#include <memory>

#include "ui/application.h"

namespace uitest {

class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "ui_test";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<ui::Application>(argc, argv);
    }
    void TearDown() override { app_.reset(); }

private:
    std::unique_ptr<ui::Application> app_;
};

inline ::testing::Environment* const kQtEnvironment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace uitest
