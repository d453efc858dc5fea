#include "report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <optional>

#include "library_internals.h"

namespace tsdcal {
namespace {

using touchsdk::CalibrationModel;

// Record term order: 1, y, x, x*y, y^2, x^2, y^3, x*y^2, x^2*y, x^3.
double evaluate(const float* a, bool linear, double x, double y) {
    const double terms[] = {1,     y,         x,         x * y,     y * y,
                            x * x, y * y * y, x * y * y, x * x * y, x * x * x};
    const std::size_t count = linear ? 3 : 10;
    double sum = 0.0;
    for (std::size_t i = 0; i < count; ++i) sum += a[i] * terms[i];
    return sum;
}

std::optional<CalibrationModel> fitModel(const CalibrationRun& run,
                                         const touchsdk::CalibrationRange& screen,
                                         const touchsdk::CalibrationRange& caller) {
    const std::vector<CalibrationPoint> points = calibrationPoints(run);
    const auto mapping = touchsdk::makeTargetMapping(screen, caller);
    if (!mapping) return std::nullopt;
    const auto samples = touchsdk::mapSamples(*mapping, points.data(), points.size());
    CalibrationModel model;
    if (!samples || touchsdk::buildCalibrationModel(samples->data(), samples->size(), model) !=
                        touchsdk::FitStatus::Ok) {
        return std::nullopt;
    }
    return model;
}

struct Summary {
    double largest = 0.0;
    double rms = 0.0;
};

template <typename Distance>
Summary summarise(std::size_t n, Distance d) {
    Summary s;
    double squares = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        s.largest = std::max(s.largest, d(i));
        squares += d(i) * d(i);
    }
    s.rms = n > 0 ? std::sqrt(squares / static_cast<double>(n)) : 0.0;
    return s;
}

std::string format(const char* pattern, double a, double b = 0, double c = 0, double d = 0,
                   double e = 0, double f = 0) {
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, pattern, a, b, c, d, e, f);
    return buffer;
}

}  // namespace

std::vector<Residual> residualsOf(const CalibrationRun& run, const ReportContext& context,
                                  const touchsdk::CalibrationRange& caller, std::string& model) {
    const Size view = context.view.logical();
    const std::optional<CalibrationModel> fitted = fitModel(run, context.range, caller);
    const bool linear = fitted && fitted->flags == touchsdk::kLinearFlags;
    const std::size_t n = run.targets.size();
    model = !fitted ? "none (the fit failed)" : linear ? "linear" : n >= 10 ? "cubic" : "quadratic";
    std::vector<Residual> out;
    for (const TargetRecord& t : run.targets) {
        const PointF raw = t.press.median;
        Residual r{t.target, screenToView(raw, context.range, view),
                   screenToView(raw, context.range, view)};
        if (fitted) {
            const float* yCoefficients = fitted->coefficients.data() + (linear ? 4 : 10);
            r.after = screenToView({evaluate(fitted->coefficients.data(), linear, raw.x, raw.y),
                                    evaluate(yCoefficients, linear, raw.x, raw.y)},
                                   context.range, view);
        }
        out.push_back(r);
    }
    return out;
}

std::string textReport(const CalibrationRun& run, const ReportContext& context,
                       const touchsdk::CalibrationRange& caller) {
    std::string model;
    const std::vector<Residual> residuals = residualsOf(run, context, caller, model);
    const touchsdk::CalibrationRange& s = context.range;
    const Rect& a = context.view.area();
    std::string out = "tsd-calibrate report\n";
    out += "screen: " + context.syspath + "\n";
    out += format("screen range: x %g..%g, y %g..%g\n", s.xBegin, s.xEnd, s.yBegin, s.yEnd);
    out += format("output area: %gx%g+%g+%g", a.width, a.height, a.x, a.y) + ", rotated " +
           context.rotation + "\n";
    out += "targets: " + std::to_string(run.targets.size()) + ", fit: " + model + "\n";
    out += "outcome: " + context.outcome + "\n\n";
    out += "  #  target x  target y   touch x   touch y  samples  spread  before px  after px\n";
    for (std::size_t i = 0; i < residuals.size(); ++i) {
        const Residual& r = residuals[i];
        const Press& p = run.targets[i].press;
        out += format("%3.0f  %8.1f  %8.1f  %8.1f  %8.1f", static_cast<double>(i + 1), r.target.x,
                      r.target.y, p.median.x, p.median.y);
        out += format("  %7.0f  %6.1f  %9.2f  %8.2f\n", static_cast<double>(p.samples), p.spread,
                      distance(r.before, r.target), distance(r.after, r.target));
    }
    out += "\nverification under the preview:\n";
    out += "  #  target x  target y  landed x  landed y  error px\n";
    for (std::size_t i = 0; i < run.landings.size(); ++i) {
        const Landing& l = run.landings[i];
        out += format("%3.0f  %8.1f  %8.1f  %8.1f  %8.1f  %8.2f\n", static_cast<double>(i + 1),
                      l.target.x, l.target.y, l.landed.x, l.landed.y, l.distance);
    }
    const Summary before = summarise(residuals.size(), [&](std::size_t i) {
        return distance(residuals[i].before, residuals[i].target);
    });
    const Summary after = summarise(residuals.size(), [&](std::size_t i) {
        return distance(residuals[i].after, residuals[i].target);
    });
    const Summary checked =
        summarise(run.landings.size(), [&](std::size_t i) { return run.landings[i].distance; });
    out += "\nresiduals in pixels (largest, rms):\n";
    out += format("  before (no correction): %.2f, %.2f\n", before.largest, before.rms);
    out += format("  after (fitted):         %.2f, %.2f\n", after.largest, after.rms);
    out += format("  verification:           %.2f, %.2f\n", checked.largest, checked.rms);
    return out;
}

std::string svgReport(const CalibrationRun& run, const ReportContext& context,
                      const touchsdk::CalibrationRange& caller) {
    std::string model;
    const std::vector<Residual> residuals = residualsOf(run, context, caller, model);
    const Size view = context.view.logical();
    constexpr double kPanelWidth = 420.0;
    const double scale = kPanelWidth / view.width;
    const double panelHeight = view.height * scale;
    double largest = 0.0;
    for (const Residual& r : residuals) largest = std::max(largest, distance(r.before, r.target));
    // One magnification for both panels, so that their arrows compare.
    const double magnify =
        largest > 0.0 ? std::max(1.0, std::floor(0.08 * view.width / largest)) : 1.0;
    const double width = 2 * kPanelWidth + 60;
    const double height = panelHeight + 110;
    std::string out = format(
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%.0f\" height=\"%.0f\" "
        "viewBox=\"0 0 %.0f %.0f\" font-family=\"sans-serif\" font-size=\"13\">\n",
        width, height, width, height);
    out += "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
    out += format(
               "<text x=\"20\" y=\"24\" font-size=\"16\">Calibration error vectors, magnified "
               "%.0f times, %.0f targets, ",
               magnify, static_cast<double>(residuals.size())) +
           model + " fit</text>\n";
    const char* titles[] = {"before: no correction", "after: fitted polynomial"};
    for (int panel = 0; panel < 2; ++panel) {
        const double left = 20 + panel * (kPanelWidth + 20);
        const double top = 50;
        out += format(
            "<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\" fill=\"#f4f4f4\" "
            "stroke=\"#888\"/>\n",
            left, top, kPanelWidth, panelHeight);
        out += format("<text x=\"%.1f\" y=\"%.1f\">", left, top + panelHeight + 20) +
               titles[panel] + "</text>\n";
        const Summary s = summarise(residuals.size(), [&](std::size_t i) {
            return distance(panel == 0 ? residuals[i].before : residuals[i].after,
                            residuals[i].target);
        });
        out += format("<text x=\"%.1f\" y=\"%.1f\">largest %.2f px, rms %.2f px</text>\n", left,
                      top + panelHeight + 38, s.largest, s.rms);
        for (const Residual& r : residuals) {
            const PointF& landed = panel == 0 ? r.before : r.after;
            const double tx = left + r.target.x * scale;
            const double ty = top + r.target.y * scale;
            const double ex = tx + (landed.x - r.target.x) * magnify * scale;
            const double ey = ty + (landed.y - r.target.y) * magnify * scale;
            out += format("<circle cx=\"%.1f\" cy=\"%.1f\" r=\"3\" fill=\"#333\"/>\n", tx, ty);
            out +=
                format("<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" ", tx, ty, ex, ey) +
                "stroke=\"" + (panel == 0 ? "#d05000" : "#208040") + "\" stroke-width=\"2\"/>\n";
        }
        if (panel == 1) {
            for (const Landing& l : run.landings) {
                const double tx = left + l.target.x * scale;
                const double ty = top + l.target.y * scale;
                out += format(
                    "<circle cx=\"%.1f\" cy=\"%.1f\" r=\"4\" fill=\"none\" stroke=\"#2050c0\"/>\n"
                    "<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" "
                    "stroke=\"#2050c0\" stroke-width=\"2\"/>\n",
                    tx, ty, tx, ty, tx + (l.landed.x - l.target.x) * magnify * scale,
                    ty + (l.landed.y - l.target.y) * magnify * scale);
            }
            out += format(
                "<text x=\"%.1f\" y=\"%.1f\" fill=\"#2050c0\">blue: verification touches "
                "under the preview</text>\n",
                left, top + panelHeight + 56);
        }
    }
    out += "</svg>\n";
    return out;
}

bool writeReport(const std::string& path, const CalibrationRun& run, const ReportContext& context,
                 const touchsdk::CalibrationRange& caller, std::string& error) {
    const std::size_t dot = path.find_last_of('.');
    const std::size_t slash = path.find_last_of('/');
    const bool hasExtension =
        dot != std::string::npos && (slash == std::string::npos || dot > slash);
    const std::string svgPath = (hasExtension ? path.substr(0, dot) : path) + ".svg";
    std::ofstream text(path);
    text << textReport(run, context, caller);
    std::ofstream svg(svgPath == path ? path + ".svg" : svgPath);
    svg << svgReport(run, context, caller);
    text.close();
    svg.close();
    if (text.fail() || svg.fail()) {
        error = "cannot write the report " + path;
        return false;
    }
    return true;
}

}  // namespace tsdcal
