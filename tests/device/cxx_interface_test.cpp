// SPDX-License-Identifier: MIT
// The C++ interface as an application uses it, against two emulated
// screens: what it wraps is tested elsewhere; here the ownership, the
// callables' lifetimes and the errors are the point.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "emulated_screen_fixture.h"
#include "screen_model.h"
#include "touchsdk.hpp"

namespace {

using namespace std::chrono_literals;

// What the callables saw, with a bounded wait for more.
struct Seen {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<float> touchX;
    std::vector<std::pair<tsd::HotplugAction, std::string>> events;

    template <typename Done>
    bool waitUntil(Done done) {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, 10s, done);
    }
    bool sawEvent(tsd::HotplugAction action, const std::string& path) {
        return waitUntil([&] {
            for (const auto& event : events) {
                if (event.first == action && event.second == path) return true;
            }
            return false;
        });
    }
};

class CxxInterface : public tsdtest::EmulatedScreenTest {};

TEST_F(CxxInterface, ScreensCallbacksPreviewAndHotplugThroughRaiiTypes) {
    Seen seen;
    tsd::HotplugWatch watch([&seen](tsd::HotplugAction action, std::string_view path) {
        std::lock_guard<std::mutex> lock(seen.mutex);
        seen.events.emplace_back(action, std::string(path));
        seen.changed.notify_all();
    });
    tsdemu::ScreenIdentity a;
    a.serial = "PANEL-A";
    tsdemu::ScreenIdentity b;
    b.serial = "PANEL-B";
    tsdemu::PresentedScreen& first = plugScreen(a);
    tsdemu::PresentedScreen& second = plugScreen(b);
    const std::string secondPath = second.chainSyspaths().back().substr(4);  // without "/sys"
    ASSERT_TRUE(seen.sawEvent(tsd::HotplugAction::add, secondPath));

    std::vector<tsd::ScreenInfo> found = tsd::screens();
    ASSERT_EQ(found.size(), 2U);
    std::vector<std::wstring> serials;
    for (const tsd::ScreenInfo& info : found) serials.push_back(info.serial.value_or(L"?"));
    std::sort(serials.begin(), serials.end());
    EXPECT_EQ(serials, (std::vector<std::wstring>{L"PANEL-A", L"PANEL-B"}));
    const tsd::ScreenInfo& panelA = found[0].serial == L"PANEL-A" ? found[0] : found[1];

    try {
        tsd::Screen missing("/sys/devices/no-such-screen");
        ADD_FAILURE() << "opened a path that names no device";
    } catch (const tsd::Error& e) {
        EXPECT_STREQ(e.operation(), "TsdOpenTouchScreenA");
    }

    {
        tsd::Screen opened(panelA);
        EXPECT_EQ(opened.serialNumber(), L"PANEL-A");
        opened.setDataMode(3);
        EXPECT_EQ(opened.dataMode(), 3);
        EXPECT_THROW(opened.setHidMode(7), tsd::Error) << "a mode out of range";

        // A capturing lambda, kept by a manager the screen owns; moving the
        // screen must not move what the library calls back into.
        opened.callbacks().onTouch([&seen](const TouchPoint& point) {
            const TouchPoint copy = point;
            std::lock_guard<std::mutex> lock(seen.mutex);
            seen.touchX.push_back(copy.x);
            seen.changed.notify_all();
        });
        EXPECT_THROW(opened.callbacks().onTouch([](const TouchPoint&) {}), tsd::Error)
            << "a second touch callback";
        tsd::Screen screen = std::move(opened);

        // Where a touch at a true x lands, through the calibration in force.
        auto landsAt = [&](double trueX) {
            const std::size_t before = seen.touchX.size();
            first.pushReport(first.model().touchReportAt(trueX, 200.0).touch);
            EXPECT_TRUE(seen.waitUntil([&] { return seen.touchX.size() > before; }));
            std::lock_guard<std::mutex> lock(seen.mutex);
            return seen.touchX.empty() ? -1.0f : seen.touchX.back();
        };
        // x mirrored, y kept: far from the identity wherever it lands.
        const std::vector<CalibrationPoint> mirror = {
            {0, 0, 4095, 0}, {4095, 0, 0, 0}, {0, 4095, 4095, 4095}};
        const tsd::CalibrationRange range{0, 4095, 0, 4095};
        ASSERT_NEAR(landsAt(100), 100, 1);
        {
            tsd::CalibrationPreview preview = screen.previewCalibration(range, mirror);
            EXPECT_NEAR(landsAt(100), 3995, 1);
        }
        EXPECT_NEAR(landsAt(100), 100, 1) << "the preview outlived its guard";
        {
            tsd::CalibrationPreview preview = screen.previewCalibration(range, mirror);
            preview.apply();
            EXPECT_FALSE(preview.pending());
        }
        EXPECT_NEAR(landsAt(100), 3995, 1) << "the applied calibration was undone";
        screen.resetCalibration();
        EXPECT_NEAR(landsAt(100), 100, 1);
        EXPECT_THROW((void)screen.previewCalibration(range, {}), tsd::Error) << "no samples";
    }  // the manager goes before the screen; the fixture checks nothing is left running

    unplug(second);
    EXPECT_TRUE(seen.sawEvent(tsd::HotplugAction::remove, secondPath));
}

}  // namespace
