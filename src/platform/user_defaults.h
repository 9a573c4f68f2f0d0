#pragma once

#include <QSettings>
#include <QString>
#include <cstdint>
#include <memory>

// The app's few persisted settings, in an INI file under AppPaths::settingsFile().
class UserDefaults {
public:
    static UserDefaults& standard();

    // The integer stored under key, 0 when nothing is stored. A value that is not a whole
    // number in range prints one console line and reads as 0.
    int64_t integerForKey(const QString& key) const;
    void setInteger(int64_t value, const QString& key);
    bool hasValue(const QString& key) const;
    void removeValue(const QString& key);
    void synchronize();

    // Reopens the file (tests switch TILEBLOOM_DATA_DIR between cases).
    void reload();

private:
    UserDefaults();
    std::unique_ptr<QSettings> settings_;
};
