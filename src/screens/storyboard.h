#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <map>

class PlatformViewController;

// The screen layout "Main": screens instantiated by identifier. Each screen's layout lives
// in its Designer file; the app registers a factory per identifier at start-up.
class Storyboard {
public:
    using Factory = std::function<PlatformViewController*()>;

    static Storyboard& main();

    void registerScreen(const QString& identifier, Factory factory);
    bool hasScreen(const QString& identifier) const;
    QStringList identifiers() const;

    // A new screen (owned by the caller until presented), or nullptr for an unknown identifier.
    PlatformViewController* instantiateViewController(const QString& identifier) const;

private:
    std::map<QString, Factory> factories_;
};
