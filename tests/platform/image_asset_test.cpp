#include <gtest/gtest.h>

#include <QFileInfo>

#include "platform/app_paths.h"
#include "platform/image_asset.h"
#include "platform/settings_manager.h"
#include "platform/user_defaults.h"
#include "test_support.h"

TEST(SettingsManagerTest, GridPositionsMapToTheThreeSizes) {
    EXPECT_EQ(SettingsManager::gridSizeForPosition(0), 20);
    EXPECT_EQ(SettingsManager::gridSizeForPosition(1), 24);
    EXPECT_EQ(SettingsManager::gridSizeForPosition(2), 28);
    EXPECT_EQ(SettingsManager::gridSizeForPosition(5), 28);
    EXPECT_EQ(SettingsManager::gridSizeForPosition(-3), 28);
}

TEST(UserDefaultsTest, IntegersRoundTripAndAbsentReadsAsZero) {
    ScopedDataDir dir;
    UserDefaults& defaults = UserDefaults::standard();
    EXPECT_FALSE(defaults.hasValue("stepper"));
    EXPECT_EQ(defaults.integerForKey("stepper"), 0);
    defaults.setInteger(2, "stepper");
    defaults.reload();
    EXPECT_EQ(defaults.integerForKey("stepper"), 2);
    EXPECT_TRUE(QFileInfo(AppPaths::settingsFile()).absolutePath().startsWith(dir.path()));
}

TEST(UserDefaultsTest, TextWhereANumberBelongsReadsAsZeroWithAConsoleLine) {
    ScopedDataDir dir;
    {
        QSettings raw(AppPaths::settingsFile(), QSettings::IniFormat);
        raw.setValue("stepper", "twenty");
    }
    UserDefaults::standard().reload();
    int64_t value = -1;
    const std::string out =
        captureStdout([&] { value = UserDefaults::standard().integerForKey("stepper"); });
    EXPECT_EQ(value, 0);
    EXPECT_NE(out.find("\"stepper\""), std::string::npos);
}

TEST(ImageAssetTest, EveryNamedAssetExistsAndRenders) {
    ASSERT_EQ(ImageAsset::names().size(), 6);
    for (const QString& name : ImageAsset::names()) {
        SCOPED_TRACE(name.toStdString());
        EXPECT_TRUE(ImageAsset::exists(name));
        const QImage image = ImageAsset::image(name, QSize(48, 48));
        ASSERT_FALSE(image.isNull());
        int painted = 0;
        for (int y = 0; y < 48; ++y) {
            for (int x = 0; x < 48; ++x) {
                painted += qAlpha(image.pixel(x, y)) > 0 ? 1 : 0;
            }
        }
        EXPECT_GT(painted, 48 * 48 / 20) << "artwork is nearly empty";
    }
    EXPECT_FALSE(ImageAsset::exists("ic_missing"));
}
