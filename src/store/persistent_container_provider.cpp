#include "store/persistent_container_provider.h"

#include "platform/application.h"
#include "platform/console.h"
#include "store/persistent_container.h"

std::unique_ptr<PersistentContainer> PersistentContainerProvider::makePersistentContainer() {
    auto container = std::make_unique<PersistentContainer>(storeName());
    if (auto error = container->loadPersistentStores()) {
        printLine(error->consoleLine(QStringLiteral("Unresolved error ")));
    }
    return container;
}

ManagedObjectContext* PersistentContainerProvider::applicationViewContext() {
    auto* provider = dynamic_cast<PersistentContainerProvider*>(Application::shared().delegate());
    if (provider == nullptr) {
        return nullptr;
    }
    PersistentContainer* container = provider->persistentContainer();
    return container != nullptr ? container->viewContext() : nullptr;
}
