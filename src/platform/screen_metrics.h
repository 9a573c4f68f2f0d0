#pragma once

// The main screen's size in points and its scale (pixels per point). On a desktop the
// "screen" is the app's window: phone- or tablet-shaped at start, then whatever size the user
// or the desktop gives it. The scale is read once on first use and kept for the run.
struct ScreenMetrics {
    double width = 390;
    double height = 844;
    double scale = 1;

    static ScreenMetrics phone();
    static ScreenMetrics tablet();

    static const ScreenMetrics& main();
    // Fixes the values main() returns; the app calls it once before any screen exists,
    // tests call it to set up the screen they need.
    static void configure(const ScreenMetrics& metrics);
    // The window's new size in points; the scale stays. Screens read it as they lay out.
    static void resizeMain(double width, double height);
};
