// calibration reset|apply|cancel|fit: the screen's stored calibration.
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "commands.h"
#include "screens.h"
#include "stored.h"

namespace tsdctl {

namespace {

struct Range {
    float x0, x1, y0, y1;
};

Range parseRange(const std::string& text) {
    std::vector<float> ends;
    std::istringstream in(text);
    for (std::string part; std::getline(in, part, ',');) {
        const auto value = parseNumber(part);
        if (!value) break;
        ends.push_back(static_cast<float>(*value));
    }
    if (ends.size() != 4 || ends[0] == ends[1] || ends[2] == ends[3]) {
        usageError("--range takes X0,X1,Y0,Y1 with distinct ends, not \"" + text + "\"");
    }
    return {ends[0], ends[1], ends[2], ends[3]};
}

// touchX,touchY,targetX,targetY per line; '#' comments, blank lines and a
// header line naming the columns are allowed.
std::vector<CalibrationPoint> readPoints(const std::string& path) {
    std::ifstream in(path);
    if (!in) usageError("cannot read " + path);
    std::vector<CalibrationPoint> points;
    std::string line;
    for (unsigned number = 1; std::getline(in, line); ++number) {
        if (line.empty() || line[0] == '#' || line == "touchX,touchY,targetX,targetY") continue;
        std::istringstream fields(line);
        std::vector<float> values;
        for (std::string field; std::getline(fields, field, ',');) {
            const auto value = parseNumber(field);
            if (!value) break;
            values.push_back(static_cast<float>(*value));
        }
        if (values.size() != 4 || !(fields.eof())) {
            usageError(path + ":" + std::to_string(number) +
                       ": expected touchX,touchY,targetX,targetY, not \"" + line + "\"");
        }
        points.push_back({values[0], values[1], values[2], values[3]});
    }
    if (points.size() < 3) usageError(path + ": a fit needs at least 3 pairs");
    return points;
}

double toCaller(double value, float screenBegin, float screenEnd, float callerBegin,
                float callerEnd) {
    return callerBegin + (value - screenBegin) * (callerEnd - callerBegin) /
                             (static_cast<double>(screenEnd) - screenBegin);
}

// Each pair under the fit now in preview, in the caller's units.
void printResiduals(TouchScreenHandle handle, const Range& range,
                    const std::vector<CalibrationPoint>& points) {
    const auto screen = screenRange(handle);
    const auto preview = previewCalibration(handle);
    if (!screen || preview.state != Slot::State::Stored) {
        throw Failure(Exit::Failed, "cannot read the preview back");
    }
    std::printf("pair  touch             target            fitted            residual\n");
    double worst = 0.0;
    double sum = 0.0;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const CalibrationPoint& p = points[i];
        const Position s = applyRecord(preview.record, {p.touchX, p.touchY});
        const double fx = toCaller(s.x, screen->xBegin, screen->xEnd, range.x0, range.x1);
        const double fy = toCaller(s.y, screen->yBegin, screen->yEnd, range.y0, range.y1);
        const double residual = std::hypot(fx - p.targetX, fy - p.targetY);
        worst = std::max(worst, residual);
        sum += residual;
        std::printf("%-5zu %7.1f,%-9.1f %7.1f,%-9.1f %7.1f,%-9.1f %.2f\n", i + 1, double{p.touchX},
                    double{p.touchY}, double{p.targetX}, double{p.targetY}, fx, fy, residual);
    }
    std::printf("degree %d; residual mean %.2f, worst %.2f (in --range units)\n",
                degreeOf(preview.record), sum / static_cast<double>(points.size()), worst);
}

Exit fit(const Args& args, const Screen& screen) {
    const auto pointsFile = args.value("--points");
    const auto rangeText = args.value("--range");
    if (!pointsFile || !rangeText) usageError("fit needs --points FILE and --range X0,X1,Y0,Y1");
    const Range range = parseRange(*rangeText);
    const std::vector<CalibrationPoint> points = readPoints(*pointsFile);
    OpenScreen open(screen);
    if (TsdCalibrationFullScreenPreview(open.handle(), range.x0, range.x1, range.y0, range.y1,
                                        points.data(),
                                        static_cast<uint32_t>(points.size())) != TSD_OK) {
        throw Failure(Exit::Failed, "the fit or its preview failed (are the pairs degenerate?)");
    }
    printResiduals(open.handle(), range, points);
    if (!args.has("--apply")) {
        std::printf("preview on: 'tsdctl calibration apply' keeps it, 'cancel' drops it\n");
        return Exit::Ok;
    }
    if (TsdCalibrationApplyPreview(open.handle()) != TSD_OK) {
        throw Failure(Exit::Failed, "the screen did not take the calibration");
    }
    std::printf("applied\n");
    return Exit::Ok;
}

struct Action {
    const char* name;
    TsdResult (*run)(TouchScreenHandle);
    bool destructive;
    const char* done;
};

constexpr Action kActions[] = {
    {"reset", TsdCalibrationReset, true, "active calibration reset"},
    {"apply", TsdCalibrationApplyPreview, false, "preview applied"},
    {"cancel", TsdCalibrationCancelPreview, false, "preview cancelled"},
};

}  // namespace

Exit calibrationCommand(const Words& words) {
    const Args args = parseArgs(words, {{"-y", false},
                                        {"--serial", true},
                                        {"--points", true},
                                        {"--range", true},
                                        {"--apply", false}});
    std::vector<std::string> rest = args.positional();
    if (rest.empty()) usageError("name an action: reset, apply, cancel or fit");
    const std::string verb = rest.front();
    rest.erase(rest.begin());
    const std::optional<std::string> word = takeScreenWord(rest);
    if (!rest.empty()) usageError("unexpected \"" + rest.front() + "\"");
    if (verb == "fit") return fit(args, chooseScreen(args, word));
    for (const Action& action : kActions) {
        if (verb != action.name) continue;
        const Screen screen = chooseScreen(args, word);
        if (action.destructive && !args.has("-y")) {
            usageError("would " + verb + " the calibration of screen " +
                       std::to_string(screen.index) + " (" + screen.devnode + "); add -y to do it");
        }
        OpenScreen open(screen);
        if (action.run(open.handle()) != TSD_OK) {
            throw Failure(Exit::Failed, "the screen did not carry out " + verb);
        }
        std::printf("%s on screen %u\n", action.done, screen.index);
        return Exit::Ok;
    }
    usageError("unknown action \"" + verb + "\" (reset, apply, cancel or fit)");
}

}  // namespace tsdctl
