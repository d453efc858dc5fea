#pragma once

#include <chrono>
#include <cstdint>
#include <vector>

#include "input_reports.h"

// Scripted touch streams: which report the screen sends when, as plain
// data. touch_script_player.h plays one into an emulated screen.
namespace tsdemu {

struct ScreenPoint {
    uint16_t x = 0;
    uint16_t y = 0;
};

struct ScriptedReport {
    std::chrono::microseconds at;  // from the start of the script
    std::vector<uint8_t> report;
};

using TouchScript = std::vector<ScriptedReport>;

// The scan time the screen stamps on a report sent `at` into a script: a
// 16-bit count of 100 us ticks that wraps.
uint16_t scanTimeAt(std::chrono::microseconds at);

// One contact (id 1) moving in a straight line from `from` to `to` over
// `steps` touching reports sent `rateHz` times a second, then one report
// lifting it at `to`.
TouchScript movingContact(ScreenPoint from, ScreenPoint to, int steps, double rateHz,
                          uint8_t reportId = kTouchReportId);
// Two contacts (ids 1 and 2) held at `first` and `second` for `reports`
// reports, then both lifted in one report.
TouchScript twoContacts(ScreenPoint first, ScreenPoint second, int reports, double rateHz);
// A tap: contact 1 down at `at`, lifted `hold` later.
TouchScript tap(ScreenPoint at, std::chrono::microseconds hold);

}  // namespace tsdemu
