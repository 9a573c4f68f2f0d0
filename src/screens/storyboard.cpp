#include "screens/storyboard.h"

#include "platform/console.h"
#include "screens/platform_view_controller.h"

Storyboard& Storyboard::main() {
    static Storyboard storyboard;
    return storyboard;
}

void Storyboard::registerScreen(const QString& identifier, Factory factory) {
    factories_[identifier] = std::move(factory);
}

bool Storyboard::hasScreen(const QString& identifier) const {
    return factories_.count(identifier) > 0;
}

QStringList Storyboard::identifiers() const {
    QStringList names;
    for (const auto& [identifier, factory] : factories_) {
        names << identifier;
    }
    return names;
}

PlatformViewController* Storyboard::instantiateViewController(const QString& identifier) const {
    const auto found = factories_.find(identifier);
    if (found == factories_.end()) {
        printLine(
            QStringLiteral("Storyboard: no screen with the identifier \"%1\".").arg(identifier));
        return nullptr;
    }
    return found->second();
}
