#pragma once

#include <cstdint>

#include "emulated_screen_fixture.h"
#include "screen_model.h"

namespace tsdtest {

// Request frame types as the emulated screen records them.
constexpr uint8_t kQuery = 0x1E;
constexpr uint8_t kSet = 0x2D;
constexpr uint8_t kControl = 0x3C;

// One emulated screen, plugged and opened before each test.
class OpenScreenTest : public EmulatedScreenTest {
protected:
    void SetUp() override {
        screen = &plugScreen();
        handle = openScreen(*screen);
        ASSERT_NE(handle, nullptr);
    }

    tsdemu::ScreenModel& model() { return screen->model(); }

    tsdemu::PresentedScreen* screen = nullptr;
    TouchScreenHandle handle = nullptr;
};

}  // namespace tsdtest
