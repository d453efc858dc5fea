#pragma once

#include <string>
#include <vector>

#include "canvas.h"
#include "geometry.h"

namespace tsdcal {

// A verification touch: the target and where the touch landed under the
// preview, both in the person's view.
struct Landing {
    PointF target;
    PointF landed;
    double distance = 0.0;
};

struct TargetScene {
    std::string instruction;
    std::string message;  // why the last touch was not taken, if it was not
    PointF target;
    int index = 0;  // from 0
    int count = 0;
    std::vector<Landing> landings;  // earlier verification touches
};

struct Button {
    std::string name;  // "keep", "retry", "cancel"
    std::string label;
    Rect rect;  // in the person's view
    bool contains(const PointF& p) const {
        return p.x >= rect.x && p.y >= rect.y && p.x < rect.x + rect.width &&
               p.y < rect.y + rect.height;
    }
};

// Keep and Cancel when the check passed, Retry and Cancel when it did not.
std::vector<Button> choiceButtons(const Size& view, bool passed);

Canvas drawTargetScene(const Size& view, const TargetScene& scene);
Canvas drawChoiceScene(const Size& view, const std::vector<Landing>& landings,
                       double threshold, bool passed, const std::vector<Button>& buttons);
Canvas drawClosingScene(const Size& view, const std::string& text);

}  // namespace tsdcal
