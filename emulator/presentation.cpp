#include "presentation.h"

#include "testbed.h"
#include "usbip_presentation.h"

namespace tsdemu {

std::unique_ptr<Presentation> makePresentation(PresentationKind kind) {
    if (kind == PresentationKind::Usbip) return std::make_unique<UsbipPresentation>();
    return std::make_unique<Testbed>();
}

}  // namespace tsdemu
