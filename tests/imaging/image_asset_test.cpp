#include <gtest/gtest.h>

#include <QIcon>

#include "imaging/image_asset.h"

TEST(ImageAssetTest, EveryNamedAssetExistsAndRenders) {
    ASSERT_TRUE(ImageAsset::names().contains("ic_mirror_both"));
    ASSERT_TRUE(ImageAsset::names().contains("bg_main"));
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

// Every editor asks for its toolbar icons; new icons each time would keep their rendered
// pixmaps in the shared cache, a few kilobytes per editor opened, for the whole run.
TEST(ImageAssetTest, AnAssetsIconIsOneIconForTheRun) {
    const QIcon first = ImageAsset::icon("ic_undo");
    ASSERT_FALSE(first.isNull());
    EXPECT_EQ(ImageAsset::icon("ic_undo").cacheKey(), first.cacheKey());
    EXPECT_NE(ImageAsset::icon("ic_redo").cacheKey(), first.cacheKey());
    EXPECT_TRUE(ImageAsset::icon("ic_missing").isNull());
}
