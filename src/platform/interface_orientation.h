#pragma once

// How a screen answers the orientation questions. The window never turns; these answers
// are kept so that screens state what they support.
enum class InterfaceOrientation : int {
    unknown = 0,
    portrait = 1,
    portraitUpsideDown = 2,
    landscapeRight = 3,
    landscapeLeft = 4,
};

enum class InterfaceOrientationMask : unsigned {
    portrait = 1u << 1,
    portraitUpsideDown = 1u << 2,
    landscapeRight = 1u << 3,
    landscapeLeft = 1u << 4,
    landscape = (1u << 3) | (1u << 4),
    all = (1u << 1) | (1u << 2) | (1u << 3) | (1u << 4),
    allButUpsideDown = (1u << 1) | (1u << 3) | (1u << 4),
};

enum class ModalPresentationStyle : int {
    fullScreen = 0,
    custom = 4,
    // Full screen, with the screens below kept visible (alerts and sheets).
    overFullScreen = 5,
};
