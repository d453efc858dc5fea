#include "output.h"

#include <sys/time.h>

#include <cstdio>
#include <ctime>

#include "values.h"

namespace tsdctl {

JsonObject& addIdentity(JsonObject& object, const Screen& screen) {
    object.add("syspath", screen.syspath)
        .add("devnode", screen.devnode)
        .add("vendor", screen.vendor)
        .add("product", screen.product);
    return screen.serial ? object.add("serial", *screen.serial) : object.addNull("serial");
}

unsigned long countOption(const Options& args) {
    const auto text = args.value("count");
    if (!text) return 0;
    return tsdtool::unsignedOption("--count", *text, 1, 1000000000UL);
}

tsdtool::ScreenSelection takeSelection(const Options& args, std::vector<std::string>& words) {
    tsdtool::ScreenSelection selection;
    selection.serial = args.value("serial");
    if (!words.empty() && tsdtool::looksLikeScreen(words.front())) {
        selection.word = words.front();
        words.erase(words.begin());
    }
    return selection;
}

void noMoreWords(const std::vector<std::string>& words) {
    if (!words.empty()) usageError("unexpected \"" + words.front() + "\"");
}

std::string arrivalTime() {
    timeval now{};
    ::gettimeofday(&now, nullptr);
    tm local{};
    ::localtime_r(&now.tv_sec, &local);
    char date[32];
    char zone[8];
    std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &local);
    std::strftime(zone, sizeof zone, "%z", &local);
    char millis[8];
    std::snprintf(millis, sizeof millis, ".%03u", static_cast<unsigned>(now.tv_usec / 1000) % 1000U);
    return std::string(date) + millis + zone;
}

void printLine(const std::string& line) {
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

}  // namespace tsdctl
