#include "screen_set.h"

#include <cstdio>

#include "input_reports.h"
#include "testbed.h"

namespace tsdemu {

namespace {

void pushBoth(PresentedScreen& screen, const SensorReports& reports) {
    screen.pushReport(reports.touch);
    screen.pushReport(reports.raw);
}

// A screen keeps its port, as a cable stays in its socket: screen N is on
// port N + 1 wherever the presentation lets us choose.
PresentedScreen& plugOnPort(Presentation& presentation, const ScreenIdentity& identity,
                            unsigned number) {
    if (auto* testbed = dynamic_cast<Testbed*>(&presentation)) {
        return testbed->plug(identity, number + 1);
    }
    return presentation.plug(identity);
}

}  // namespace

PresentedScreen& ScreenSet::plugSlot(Slot& slot, unsigned number) {
    PresentedScreen& screen = plugOnPort(presentation_, slot.setup.identity, number);
    if (slot.setup.range) screen.model().setCoordinateRange(*slot.setup.range);
    if (slot.setup.warp) screen.model().setSensorWarp(*slot.setup.warp);
    slot.screen = &screen;
    slot.contacts.clear();
    std::fprintf(stderr, "tsd-emulate: screen %u is %s at %s\n", number, screen.devnode().c_str(),
                 screen.syspath().c_str());
    return screen;
}

unsigned ScreenSet::add(const ScreenSetup& setup) {
    std::lock_guard<std::mutex> lock(mutex_);
    slots_.push_back({setup, nullptr, {}});
    const auto number = static_cast<unsigned>(slots_.size() - 1);
    plugSlot(slots_.back(), number);
    return number;
}

PresentedScreen* ScreenSet::screen(unsigned number) {
    std::lock_guard<std::mutex> lock(mutex_);
    return number < slots_.size() ? slots_[number].screen : nullptr;
}

std::vector<PresentedScreen*> ScreenSet::plugged() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<PresentedScreen*> screens;
    for (const Slot& slot : slots_) {
        if (slot.screen != nullptr) screens.push_back(slot.screen);
    }
    return screens;
}

std::string ScreenSet::run(const ControlCommand& command) {
    if (command.verb == ControlVerb::Wait) {
        std::unique_lock<std::mutex> lock(mutex_);
        stopped_.wait_for(lock, std::chrono::milliseconds(command.value),
                          [this] { return stopping_; });
        return {};
    }
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) return {};  // the program has ended: the screens are going
    return carryOut(command);
}

void ScreenSet::stop() {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    stopped_.notify_all();
}

bool ScreenSet::stopped() {
    std::lock_guard<std::mutex> lock(mutex_);
    return stopping_;
}

std::string ScreenSet::carryOut(const ControlCommand& command) {
    const std::string name = "screen " + std::to_string(command.screen);
    if (command.verb == ControlVerb::Plug && command.screen == slots_.size()) {
        slots_.push_back({slots_.empty() ? ScreenSetup{} : slots_.back().setup, nullptr, {}});
    }
    if (command.screen >= slots_.size()) return "no " + name;
    Slot& slot = slots_[command.screen];
    if (command.verb == ControlVerb::Plug) {
        if (slot.screen != nullptr) return name + " is plugged already";
        plugSlot(slot, command.screen);
        return {};
    }
    if (slot.screen == nullptr) return name + " is unplugged";
    switch (command.verb) {
        case ControlVerb::Touch:
            return touch(slot, command);
        case ControlVerb::Lift:
            return lift(slot, command);
        case ControlVerb::Key:
            slot.screen->pushReport(
                virtualKeyReport(static_cast<uint8_t>(command.value), command.state));
            return {};
        case ControlVerb::Report:
            slot.screen->pushReport(command.bytes);
            return {};
        case ControlVerb::Unplug:
            presentation_.unplug(*slot.screen);
            slot.screen = nullptr;
            return {};
        default:
            return {};
    }
}

std::string ScreenSet::touch(Slot& slot, const ControlCommand& command) {
    Contact contact;
    contact.id = static_cast<uint8_t>(command.value);
    pushBoth(*slot.screen, slot.screen->model().touchReportAt(command.x, command.y, contact));
    slot.contacts[command.value] = {command.x, command.y};
    return {};
}

std::string ScreenSet::lift(Slot& slot, const ControlCommand& command) {
    const auto found = slot.contacts.find(command.value);
    if (found == slot.contacts.end()) {
        return "contact " + std::to_string(command.value) + " is not down";
    }
    Contact contact;
    contact.id = static_cast<uint8_t>(command.value);
    contact.touching = false;
    pushBoth(*slot.screen,
             slot.screen->model().touchReportAt(found->second.x, found->second.y, contact));
    slot.contacts.erase(found);
    return {};
}

}  // namespace tsdemu
