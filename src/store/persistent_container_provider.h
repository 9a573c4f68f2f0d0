#pragma once

#include <QString>
#include <memory>

class ManagedObjectContext;
class PersistentContainer;

// What the application delegate offers the store: its one container, created on first use
// and kept for the process.
class PersistentContainerProvider {
public:
    virtual ~PersistentContainerProvider() = default;
    virtual PersistentContainer* persistentContainer() = 0;

    // The application's store: <data folder>/<storeName>.sqlite.
    static QString storeName() { return QStringLiteral("tesselet"); }

    // The "tesselet" container with its store loaded, for a provider to keep. A store that
    // cannot be opened prints "Unresolved error " with the error and leaves the container
    // working without one, so that the app goes on.
    static std::unique_ptr<PersistentContainer> makePersistentContainer();

    // The main context of the running application's container; nothing when the delegate is
    // missing or provides no container.
    static ManagedObjectContext* applicationViewContext();
};
