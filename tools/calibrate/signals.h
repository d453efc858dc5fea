#pragma once

namespace tsdcal {

// SIGINT, SIGTERM and SIGHUP become a byte on a pipe that the event loop
// polls, so that a stop request is handled like any other event and the
// preview is cancelled on the way out. The previous handlers come back when
// this ends. One at a time per process.
class SignalPipe {
public:
    SignalPipe();
    ~SignalPipe();
    SignalPipe(const SignalPipe&) = delete;
    SignalPipe& operator=(const SignalPipe&) = delete;

    bool ok() const { return readFd_ >= 0; }
    int fd() const { return readFd_; }
    // Drains the pipe; true if a signal arrived.
    bool take();

private:
    int readFd_ = -1;
};

}  // namespace tsdcal
