#include "platform/store_review_controller.h"

int& StoreReviewController::count() {
    static int requests = 0;
    return requests;
}

void StoreReviewController::requestReview() {
    ++count();
}

int StoreReviewController::requestCount() {
    return count();
}

void StoreReviewController::resetRequestCount() {
    count() = 0;
}
