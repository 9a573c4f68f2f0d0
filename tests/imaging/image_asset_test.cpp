#include <gtest/gtest.h>

#include "imaging/image_asset.h"

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
