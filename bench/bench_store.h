#pragma once

#include <memory>

#include "platform/application.h"
#include "store/persistent_container.h"
#include "store/persistent_container_provider.h"

// Stands in for the app delegate: opens the store on first use, in TILEBLOOM_DATA_DIR.
class BenchStore : public ApplicationDelegate, public PersistentContainerProvider {
public:
    BenchStore() { Application::shared().setDelegate(this); }
    ~BenchStore() override { Application::shared().setDelegate(nullptr); }
    PersistentContainer* persistentContainer() override {
        if (!container_) {
            container_ = makePersistentContainer();
        }
        return container_.get();
    }
    // As when the app quits: the next use opens the store again.
    void close() { container_.reset(); }

private:
    std::unique_ptr<PersistentContainer> container_;
};
