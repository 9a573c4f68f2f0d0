#include "platform/impact_feedback_generator.h"

#include <numeric>

std::array<int, 3>& ImpactFeedbackGenerator::counts() {
    static std::array<int, 3> counts{};
    return counts;
}

void ImpactFeedbackGenerator::impactOccurred() {
    ++counts()[static_cast<int>(style_)];
}

int ImpactFeedbackGenerator::impactCount(FeedbackStyle style) {
    return counts()[static_cast<int>(style)];
}

int ImpactFeedbackGenerator::totalImpactCount() {
    return std::accumulate(counts().begin(), counts().end(), 0);
}

void ImpactFeedbackGenerator::resetRecordedImpacts() {
    counts().fill(0);
}
