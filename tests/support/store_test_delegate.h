#pragma once

#include <memory>

#include "platform/application.h"
#include "store/persistent_container.h"
#include "store/persistent_container_provider.h"

// An application delegate that provides the store the way the app's own does: the container
// is created on first use, in the TILEBLOOM_DATA_DIR of that moment. It installs itself as
// the application's delegate while it lives and puts the former one back when it goes.
class StoreTestDelegate : public ApplicationDelegate, public PersistentContainerProvider {
public:
    StoreTestDelegate() : previous_(Application::shared().delegate()) {
        Application::shared().setDelegate(this);
    }
    ~StoreTestDelegate() override {
        if (Application::shared().delegate() == this) {
            Application::shared().setDelegate(previous_);
        }
    }
    StoreTestDelegate(const StoreTestDelegate&) = delete;
    StoreTestDelegate& operator=(const StoreTestDelegate&) = delete;

    PersistentContainer* persistentContainer() override {
        if (!container_) {
            container_ = PersistentContainerProvider::makePersistentContainer();
        }
        return container_.get();
    }

    bool hasContainer() const { return container_ != nullptr; }

    // Drops the container and everything its context held; the next use opens the store
    // again, as a new run of the app would.
    void closeContainer() { container_.reset(); }

private:
    ApplicationDelegate* previous_;
    std::unique_ptr<PersistentContainer> container_;
};
