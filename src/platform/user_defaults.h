#pragma once

#include <QSettings>
#include <QString>
#include <QVariantMap>
#include <cstdint>
#include <memory>

// The app's few persisted settings, in an INI file under AppPaths::settingsFile(), readable
// only by the user (0600). Something other than a regular file at that name (a FIFO, a
// link, a folder) is refused with a console line and left alone: the app then starts with
// the default settings and keeps changes for the run only.
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
    // Whether the settings file was refused and changes are kept for this run only.
    bool isTransient() const { return !settings_; }

private:
    UserDefaults();
    QVariant value(const QString& key) const;
    void save();

    QString path_;
    std::unique_ptr<QSettings> settings_;
    QVariantMap transient_;  // the settings while the file is refused
};
