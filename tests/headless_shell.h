// A fixture for tests of the window shell on the headless window layer: the demo's globals at
// their start values, the real WinMain, and events from the test's own script (Next).
#pragma once

#include <gtest/gtest.h>

#include "app/frame.h"
#include "app/shell.h"
#include "app/state.h"
#include "platform/linux/headless.h"

class HeadlessShellTest : public ::testing::Test {
  protected:
    void SetUp() override {
        platform::ResetLayer();
        platform::EnableHeadless([this](platform::Event& e) { return Next(e); });
        threshold = 0.6f;
        appState = 0;
        isActive = 1;
    }
    void TearDown() override {
        ShutdownDemo();
        platform::ResetLayer();
    }

    // The event source: true with an event filled in, false when nothing waits (idle).
    virtual bool Next(platform::Event& e) = 0;

    static int RunWinMain() {
        char none[] = "";
        return WinMain(GetModuleHandleA(nullptr), nullptr, none, SW_SHOWDEFAULT);
    }
};
