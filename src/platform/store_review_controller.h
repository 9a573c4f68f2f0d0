#pragma once

// Asks the platform to show its "rate this app" prompt. Whether a prompt appears is the
// platform's decision, and a desktop has none: each request is only recorded; tests read the
// count.
class StoreReviewController {
public:
    StoreReviewController() = delete;

    static void requestReview();

    static int requestCount();
    static void resetRequestCount();

private:
    static int& count();
};
