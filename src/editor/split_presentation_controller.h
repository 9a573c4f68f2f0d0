#pragma once

#include "screens/presentation_controller.h"

// Presents a screen over the lower two thirds of the container: its frame starts one third
// down and keeps the container's full height, so its lowest third lies past the bottom edge.
class SplitPresentationController : public PresentationController {
public:
    SplitPresentationController(PlatformViewController* presentedViewController,
                                PlatformViewController* presentingViewController);

    QRectF frameOfPresentedViewInContainerView() const override;
};
