#pragma once

// How the device is held, with the numbers the orientation handling compares against.
// Landscape left: turned a quarter counter-clockwise, its top edge on the left.
enum class DeviceOrientation : int {
    unknown = 0,
    portrait = 1,
    portraitUpsideDown = 2,
    landscapeLeft = 3,
    landscapeRight = 4,
    faceUp = 5,
    faceDown = 6,
};
