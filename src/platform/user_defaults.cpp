#include "platform/user_defaults.h"

#include <limits>

#include "platform/app_paths.h"
#include "platform/console.h"

UserDefaults& UserDefaults::standard() {
    static UserDefaults defaults;
    return defaults;
}

UserDefaults::UserDefaults() {
    reload();
}

void UserDefaults::reload() {
    settings_ = std::make_unique<QSettings>(AppPaths::settingsFile(), QSettings::IniFormat);
}

int64_t UserDefaults::integerForKey(const QString& key) const {
    const QVariant value = settings_->value(key);
    if (!value.isValid()) {
        return 0;
    }
    bool ok = false;
    const qlonglong number = value.toString().trimmed().toLongLong(&ok);
    if (!ok) {
        printLine(QStringLiteral("Settings: the value under \"%1\" is not a whole number; using 0.")
                      .arg(key));
        return 0;
    }
    return number;
}

void UserDefaults::setInteger(int64_t value, const QString& key) {
    settings_->setValue(key, static_cast<qlonglong>(value));
    settings_->sync();
}

bool UserDefaults::hasValue(const QString& key) const {
    return settings_->contains(key);
}

void UserDefaults::removeValue(const QString& key) {
    settings_->remove(key);
    settings_->sync();
}

void UserDefaults::synchronize() {
    settings_->sync();
}
