#pragma once

#include <string>
#include <thread>
#include <vector>

#include "screen_set.h"

namespace tsdemu {

// Runs one control line against the screens; a malformed or failing line
// is reported on stderr (`where` names its source) and otherwise ignored.
void runControlLine(ScreenSet& screens, const std::string& line, const std::string& where);

// A FIFO at `path` (created here, removed on destruction) from which a
// thread reads control lines while the program runs. The FIFO is held open
// for writing too, so writers may come and go without an end of file.
class ControlChannel {
public:
    ControlChannel(ScreenSet& screens, std::string path);
    ~ControlChannel();
    ControlChannel(const ControlChannel&) = delete;
    ControlChannel& operator=(const ControlChannel&) = delete;

private:
    void serve();

    ScreenSet& screens_;
    const std::string path_;
    int fifo_ = -1;
    int wake_ = -1;  // eventfd: written once to stop the thread
    std::thread thread_;
};

// Plays control lines (a --taps file) on a thread of its own; its waits
// end early once the screen set is stopped.
class ControlScript {
public:
    ControlScript(ScreenSet& screens, std::vector<std::string> lines, std::string name);
    ~ControlScript();
    ControlScript(const ControlScript&) = delete;
    ControlScript& operator=(const ControlScript&) = delete;

private:
    std::thread thread_;
};

}  // namespace tsdemu
