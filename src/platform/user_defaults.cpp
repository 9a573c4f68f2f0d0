#include "platform/user_defaults.h"

#include <sys/stat.h>

#include <QFile>
#include <limits>

#include "platform/app_paths.h"
#include "platform/console.h"
#include "platform/private_files.h"

UserDefaults& UserDefaults::standard() {
    static UserDefaults defaults;
    return defaults;
}

UserDefaults::UserDefaults() {
    reload();
}

void UserDefaults::reload() {
    settings_.reset();
    transient_.clear();
    path_ = AppPaths::settingsFile();
    // Whatever is there is checked before anything opens it: reading a FIFO would block
    // start-up, and writing would replace it. A file of ours left readable by others is
    // narrowed to 0600.
    struct stat info {};
    if (::lstat(QFile::encodeName(path_).constData(), &info) == 0) {
        const QString refused = PrivateFiles::makeFile(path_);
        if (!refused.isEmpty()) {
            printLine(QStringLiteral("Settings: %1 Starting with the default settings; changes "
                                     "are not saved.")
                          .arg(refused));
            return;
        }
    }
    settings_ = std::make_unique<QSettings>(path_, QSettings::IniFormat);
}

void UserDefaults::save() {
    // The file is made 0600 before the first write: the settings keep an existing file's
    // permissions when they replace it.
    if (!QFile::exists(path_)) {
        const QString refused = PrivateFiles::makeFile(path_);
        if (!refused.isEmpty()) {
            printLine(QStringLiteral("Settings: %1 The change is not saved.").arg(refused));
            return;
        }
    }
    settings_->sync();
}

QVariant UserDefaults::value(const QString& key) const {
    return settings_ ? settings_->value(key) : transient_.value(key);
}

int64_t UserDefaults::integerForKey(const QString& key) const {
    const QVariant value = this->value(key);
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
    if (!settings_) {
        transient_.insert(key, static_cast<qlonglong>(value));
        return;
    }
    settings_->setValue(key, static_cast<qlonglong>(value));
    save();
}

bool UserDefaults::hasValue(const QString& key) const {
    return settings_ ? settings_->contains(key) : transient_.contains(key);
}

void UserDefaults::removeValue(const QString& key) {
    if (!settings_) {
        transient_.remove(key);
        return;
    }
    settings_->remove(key);
    save();
}

void UserDefaults::synchronize() {
    if (settings_) {
        save();
    }
}
