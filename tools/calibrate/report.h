#pragma once

#include <string>

#include "flow.h"

namespace tsdcal {

struct ReportContext {
    std::string syspath;
    touchsdk::CalibrationRange range;
    View view;
    std::string rotation;
    std::string outcome;
};

// Where each calibration touch lands, in the view's pixels: with no
// correction, and under the polynomial the library fits from them.
struct Residual {
    PointF target;
    PointF before;
    PointF after;
};
std::vector<Residual> residualsOf(const CalibrationRun& run, const ReportContext& context,
                                  const touchsdk::CalibrationRange& caller, std::string& model);

std::string textReport(const CalibrationRun& run, const ReportContext& context,
                       const touchsdk::CalibrationRange& caller);
// Error vectors before and after, side by side, magnified alike.
std::string svgReport(const CalibrationRun& run, const ReportContext& context,
                      const touchsdk::CalibrationRange& caller);

// Writes FILE and, next to it, the picture (FILE's name with .svg).
bool writeReport(const std::string& path, const CalibrationRun& run, const ReportContext& context,
                 const touchsdk::CalibrationRange& caller, std::string& error);

}  // namespace tsdcal
