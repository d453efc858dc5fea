// calibration reset|apply|cancel|fit: the screen's stored calibration.
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "commands.h"
#include "stored.h"
#include "values.h"

namespace tsdctl {

namespace {

using tsdtool::Range;

Range rangeOption(const std::string& text) {
    const auto range = tsdtool::parseRange(text);
    if (!range) {
        usageError("--range takes X0,X1,Y0,Y1 (0 to 65535) with distinct ends, not \"" + text +
                   "\"");
    }
    return *range;
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
            const auto value = tsdtool::parseNumber(field);
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

double toCaller(double value, float screenBegin, float screenEnd, double callerBegin,
                double callerEnd) {
    return callerBegin + (value - screenBegin) * (callerEnd - callerBegin) /
                             (static_cast<double>(screenEnd) - screenBegin);
}

// Each pair under the fit now in preview, in the caller's units.
void printResiduals(const Screen& attached, const Range& range,
                    const std::vector<CalibrationPoint>& points) {
    tsdtool::PrivateChannel channel(attached.devnode);
    const auto screen = screenRange(channel.handle());
    const auto preview = previewCalibration(channel.handle());
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

Exit fit(const Options& args, const Screen& screen) {
    const auto pointsFile = args.value("points");
    const auto rangeText = args.value("range");
    if (!pointsFile || !rangeText) usageError("fit needs --points FILE and --range X0,X1,Y0,Y1");
    const Range range = rangeOption(*rangeText);
    const std::vector<CalibrationPoint> points = readPoints(*pointsFile);
    OpenScreen open(screen);
    if (TsdCalibrationFullScreenPreview(open.handle(), static_cast<float>(range.x0),
                                        static_cast<float>(range.x1), static_cast<float>(range.y0),
                                        static_cast<float>(range.y1),
                                        points.data(),
                                        static_cast<uint32_t>(points.size())) != TSD_OK) {
        throw Failure(Exit::Failed, "the fit or its preview failed (are the pairs degenerate?)");
    }
    printResiduals(screen, range, points);
    if (!args.has("apply")) {
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

Exit calibrationCommand(const Options& args) {
    std::vector<std::string> rest = args.words();
    if (rest.empty()) usageError("name an action: reset, apply, cancel or fit");
    const std::string verb = rest.front();
    rest.erase(rest.begin());
    const tsdtool::ScreenSelection selection = takeSelection(args, rest);
    noMoreWords(rest);
    if (verb == "fit") return fit(args, tsdtool::chooseScreen(selection));
    for (const Action& action : kActions) {
        if (verb != action.name) continue;
        const Screen screen = tsdtool::chooseScreen(selection);
        if (action.destructive && !args.has("yes")) {
            usageError("would " + verb + " the calibration of screen " +
                       std::to_string(screen.index) + " (" + screen.devnode + "); add --yes to do it");
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
