#pragma once

#include <QVariantMap>
#include <memory>

#include "platform/application.h"
#include "store/persistent_container_provider.h"

class PersistentContainer;
class Storyboard;

// The application's delegate: sets the configured canvas size at start-up and owns the
// store, which it opens on first use rather than at start-up.
class AppDelegate : public ApplicationDelegate, public PersistentContainerProvider {
public:
    AppDelegate();
    ~AppDelegate() override;
    AppDelegate(const AppDelegate&) = delete;
    AppDelegate& operator=(const AppDelegate&) = delete;

    // Start-up: the grid size stored under "stepper" becomes the configured canvas size.
    // Writes nothing and does not open the store.
    bool applicationDidFinishLaunching(Application& application,
                                       const QVariantMap& launchOptions = {});

    // The "tesselet" store, created and loaded on first use and kept for the process.
    PersistentContainer* persistentContainer() override;
    bool hasPersistentContainer() const { return persistentContainer_ != nullptr; }

    // Every screen the app creates by identifier.
    static void registerScreens(Storyboard& storyboard);

private:
    std::unique_ptr<PersistentContainer> persistentContainer_;
};
