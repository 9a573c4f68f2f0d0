#pragma once

#include <array>

// A short physical knock, as a phone gives under the finger. A desktop has nothing to drive, so
// each request is only recorded; tests read the counts.
class ImpactFeedbackGenerator {
public:
    enum class FeedbackStyle : int {
        light = 0,
        medium = 1,
        heavy = 2,
    };

    explicit ImpactFeedbackGenerator(FeedbackStyle style = FeedbackStyle::medium) : style_(style) {}

    FeedbackStyle style() const { return style_; }
    void impactOccurred();

    // Impacts requested in the process so far.
    static int impactCount(FeedbackStyle style);
    static int totalImpactCount();
    static void resetRecordedImpacts();

private:
    static std::array<int, 3>& counts();

    FeedbackStyle style_;
};
