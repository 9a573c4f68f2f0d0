// Pictures in and out of the app: opened from the home screen, dropped, pasted, turned from a
// photo's blocks into a drawing, and saved at every exact scale.
#include <sys/stat.h>

#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QImageReader>
#include <QMimeData>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <future>
#include <set>

#include "app/picture_import.h"
#include "app_fixture.h"
#include "canvas/canvas.h"
#include "canvas/canvas_view.h"
#include "editor/drawing_view_controller.h"
#include "export/exact_scale_export.h"
#include "export/picture_exporter.h"
#include "gallery/result_view_controller.h"
#include "picture_fixtures.h"
#include "pixelate/photo_view.h"
#include "pixelate/pixel_view_controller.h"
#include "platform/user_defaults.h"
#include "screens/activity_type.h"
#include "screens/activity_view_controller.h"
#include "screens/alert_controller.h"

using namespace picture_fixtures;

namespace {
// A 12 x 9 pixel picture of a few colours; enlarged, as another program would.
QImage sprite(quint32 seed = 7) {
    QRandomGenerator random(seed);
    const QRgb palette[] = {qRgb(200, 30, 40), qRgb(20, 90, 250), qRgb(250, 220, 0),
                            qRgb(10, 10, 10)};
    QImage cells(12, 9, QImage::Format_RGB32);
    for (int i = 0; i < 12 * 9; ++i) {
        cells.setPixel(i % 12, i / 12, palette[random.bounded(4)]);
    }
    return cells;
}

QByteArray png(const QImage& image) {
    return encoded(image, "png");
}

struct ImportTest : AppFixture {
    QString file(const QString& name, const QByteArray& bytes) {
        const QString path = QDir(dir.path()).filePath(name);
        EXPECT_TRUE(writeFile(path, bytes));
        return path;
    }
    // Drops data on the middle of the window as the desktop's drag and drop delivers it.
    void drop(QMimeData* data) {
        const QPointF centre(window().width() / 2.0, window().height() / 2.0);
        QDragEnterEvent enter(centre.toPoint(), Qt::CopyAction, data, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(&window(), &enter);
        EXPECT_TRUE(enter.isAccepted());
        QDropEvent dropped(centre, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&window(), &dropped);
        EXPECT_TRUE(dropped.isAccepted());
        processEvents();
        delete data;
    }
    void dropFile(const QString& path) {
        auto* data = new QMimeData;
        data->setUrls({QUrl::fromLocalFile(path)});
        drop(data);
    }
    void pressKeys(const QKeySequence& keys) {
        QWidget* focus = QApplication::focusWidget() ? QApplication::focusWidget() : top();
        QTest::keySequence(focus, keys);
        processEvents();
    }
    void closeTop() {
        top()->dismiss(false);
        processEvents();
    }

    // The editor on top, new and unsaved, showing one cell for each of the picture's pixels.
    void expectEditorShows(const QImage& cells) {
        auto* editor = top<DrawingViewController>();
        ASSERT_NE(editor, nullptr) << "on top: " << top()->metaObject()->className();
        const Canvas* canvas = editor->canvasView->canvas();
        ASSERT_EQ(canvas->width, cells.width());
        ASSERT_EQ(canvas->height, cells.height());
        int wrong = 0;
        for (int y = 0; y < cells.height(); ++y) {
            for (int x = 0; x < cells.width(); ++x) {
                const Color color =
                    canvas->getColorArray()[size_t(x * cells.height() + (cells.height() - 1 - y))];
                const auto c = PictureExporter::rgbaComponents(color);
                wrong += qRgb(c->red, c->green, c->blue) != (cells.pixel(x, y) | 0xff000000u);
            }
        }
        EXPECT_EQ(wrong, 0);
        EXPECT_EQ(editor->previousDrawing, nullptr);
    }
    void expectAlertSaying(const QString& words) {
        auto* alert = top<AlertController>();
        ASSERT_NE(alert, nullptr) << "on top: " << top()->metaObject()->className();
        EXPECT_TRUE(alert->message().contains(words)) << alert->message().toStdString();
        closeTop();
    }
};
}  // namespace

TEST_F(ImportTest, OpenPictureAsksInThePicturesFolderAndOpensTheChoiceAsANewDrawing) {
    const QImage cells = sprite();
    const QString path = file("sprite.png", png(cells.scaled(240, 180)));
    QString askedIn;
    home()->setOpenFileNameProvider([&](QWidget*, const QString& folder) {
        askedIn = folder;
        return path;
    });
    qputenv("TILEBLOOM_PICTURES_DIR", dir.path().toLocal8Bit());
    auto* button = home()->findChild<QPushButton*>(QStringLiteral("openPictureButton"));
    ASSERT_NE(button, nullptr);
    QTest::mouseClick(button, Qt::LeftButton);
    processEvents();
    qunsetenv("TILEBLOOM_PICTURES_DIR");
    EXPECT_EQ(askedIn, dir.path());
    expectEditorShows(cells);

    // Cancelling the dialog opens nothing.
    closeTop();
    home()->setOpenFileNameProvider([](QWidget*, const QString&) { return QString(); });
    QTest::mouseClick(button, Qt::LeftButton);
    processEvents();
    EXPECT_EQ(top(), home());
}

// A dropped file is driven in the real window; some programs drop bytes without a file.
TEST_F(ImportTest, DroppedPictureBytesOpenAsANewDrawing) {
    const QImage cells = sprite(3);
    auto* data = new QMimeData;
    data->setData(QStringLiteral("image/png"), png(cells.scaled(36, 27)));
    drop(data);
    expectEditorShows(cells);
}

// Hostile files from the photo loader's table: each is refused with its reason, whichever way
// it comes in (the command line opens through the same call as a drop).
TEST_F(ImportTest, HostileFilesAreRefusedWithTheirReasonByDropAndClipboard) {
    for (const HostilePicture& h : hostilePictures()) {
        SCOPED_TRACE(h.name.toStdString());
        dropFile(file(h.name, h.bytes));
        expectAlertSaying(h.says);
        EXPECT_EQ(top(), home());
        // The clipboard holds bytes without a name.
        if (!h.bytes.isEmpty()) {
            auto* data = new QMimeData;
            data->setData(QStringLiteral("image/png"), h.bytes);
            QApplication::clipboard()->setMimeData(data);
            pressKeys(QKeySequence::Paste);
            ASSERT_NE(top<AlertController>(), nullptr);
            closeTop();
        }
    }
}

// A pipe named like a picture would block a plain open until something writes to it; a
// device never ends. Both are turned away at once.
TEST(PictureOpenerFileTest, PipesDevicesAndFoldersAreRefusedWithoutWaiting) {
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("pipe.png"));
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const struct {
        QString path;
        QString says;
    } cases[] = {{fifo, "not a file Tilebloom can open"},
                 {QStringLiteral("/dev/zero"), "not a file Tilebloom can open"},
                 {dir.path(), "is a folder"}};
    for (const auto& c : cases) {
        auto opened = std::async(std::launch::async, [&] {
            return PictureOpener::openFile(c.path, PictureOpener::Options());
        });
        ASSERT_EQ(opened.wait_for(std::chrono::seconds(5)), std::future_status::ready)
            << c.path.toStdString();
        const PictureOpener::Result result = opened.get();
        EXPECT_TRUE(result.error.contains(c.says)) << result.error.toStdString();
    }
}

// The editor copies its 1000-point picture; pasting it on the home screen or in the gallery
// gives back the same drawing, and pasting elsewhere does nothing.
TEST_F(ImportTest, CopyInTheEditorPastesBackAsTheSameDrawingOnHomeAndInTheGallery) {
    const QImage cells = sprite(5);
    ASSERT_TRUE(
        PictureImport::present(home(), PictureOpener::openData(png(cells.scaled(60, 45)), "s.png",
                                                               PictureImport::currentOptions())));
    processEvents();
    auto* editor = top<DrawingViewController>();
    ASSERT_NE(editor, nullptr);
    QApplication::clipboard()->clear();
    pressKeys(QKeySequence::Copy);
    // Pasting over the editor opens nothing new.
    pressKeys(QKeySequence::Paste);
    EXPECT_EQ(top(), editor);
    closeTop();
    pressKeys(QKeySequence::Paste);
    expectEditorShows(cells);
    closeTop();

    auto* gallery = new ResultViewController;
    gallery->setModalPresentationStyle(ModalPresentationStyle::fullScreen);
    home()->present(gallery, false);
    processEvents();
    ASSERT_EQ(top(), gallery);
    pressKeys(QKeySequence::Paste);
    expectEditorShows(cells);
}

// "Edit as drawing" turns the preview's blocks into cells, one per block, with the chosen
// palette size.
TEST_F(ImportTest, EditAsDrawingOpensThePreviewsBlocksAsCells) {
    QImage photo(300, 200, QImage::Format_RGB32);
    for (int i = 0; i < 300 * 200; ++i) {
        photo.setPixel(i % 300, i / 300,
                       qRgb(i % 300 * 255 / 300, i / 300, (i % 300 + i / 300) % 256));
    }
    UserDefaults::standard().setInteger(16, QLatin1String(PictureImport::kPaletteSizeKey));
    auto* pixel = qobject_cast<PixelViewController*>(
        Storyboard::main().instantiateViewController(QStringLiteral("pixel")));
    ASSERT_NE(pixel, nullptr);
    pixel->sourceImage = photo;
    pixel->setRenderQueue(
        [](std::function<QImage()> work) { return QtFuture::makeReadyFuture(work()); });
    pixel->setModalPresentationStyle(ModalPresentationStyle::fullScreen);
    // As the home screen opens it.
    pixel->setEditAsDrawingHandler([](PixelViewController* screen, const QImage& preview) {
        PictureImport::present(screen,
                               PictureOpener::openPixelated(preview, PictureImport::paletteSize()));
    });
    home()->present(pixel, false);
    pixel->loadSourceImage(pixel->sourceImage, false);
    pixel->pixelSizeSlider->setValue(13);
    // The render throttle lets the change through once its threshold has passed.
    QTest::qWait(int(pixel->pixelizationUpdateThreshold * 1000) + 200);
    processEvents();
    const QImage preview = pixel->previewImageView->image();
    ASSERT_FALSE(preview.isNull());
    auto* button = pixel->findChild<QPushButton*>(QStringLiteral("editAsDrawingButton"));
    ASSERT_TRUE(button && button->isEnabled());
    QTest::mouseClick(button, Qt::LeftButton);
    processEvents();
    auto* editor = top<DrawingViewController>();
    ASSERT_NE(editor, nullptr);
    const Canvas* canvas = editor->canvasView->canvas();
    // One cell per block of 13 points across the preview.
    EXPECT_NEAR(double(canvas->width), preview.deviceIndependentSize().width() / 13, 1);
    EXPECT_NEAR(double(canvas->height), preview.deviceIndependentSize().height() / 13, 1);
    std::set<QRgb> colours;
    for (const Color& c : canvas->getColorArray()) {
        colours.insert(c.toQColor().rgb());
    }
    EXPECT_LE(colours.size(), 16u);
    EXPECT_GE(colours.size(), 8u);
}

// The editor's share sheet offers the 1000-point picture and every whole scale up to the
// largest that stays within 8192 pixels and can be opened again (that every scale opens back
// is the export's own test); what is written opens back as the drawing.
TEST_F(ImportTest, SaveAsOffersEveryExactScaleAndWritesTheChosenOne) {
    const QImage cells = sprite(9).convertToFormat(QImage::Format_RGB32);
    ASSERT_TRUE(PictureImport::present(
        home(), PictureOpener::openData(png(cells), "s.png", PictureImport::currentOptions())));
    processEvents();
    ASSERT_NE(top<DrawingViewController>(), nullptr);
    top<DrawingViewController>()->shareDrawing();
    processEvents();
    auto* sheet = top<ActivityViewController>();
    ASSERT_NE(sheet, nullptr);
    QComboBox* box = sheet->saveAsSizeBox();
    ASSERT_NE(box, nullptr);
    ASSERT_EQ(box->count(), 1 + ExactScaleExport::largestScale(12, 9));
    const auto* pixels = reinterpret_cast<const QRgb*>(cells.constBits());
    for (const int index : {0, 3}) {  // the 1000-point picture, and 3 pixels a cell
        const QString path = QDir(dir.path()).filePath(QStringLiteral("scale %1.png").arg(index));
        sheet->setSaveFileNameProvider([&](QWidget*, const QString&) { return path; });
        box->setCurrentIndex(index);
        ASSERT_TRUE(sheet->performActivity(ActivityType::saveAs))
            << sheet->statusText().toStdString();
        EXPECT_TRUE(index == 0 || QImageReader(path).size() == QSize(12 * 3, 9 * 3));
        const PictureOpener::Result back =
            PictureOpener::openFile(path, PictureImport::currentOptions());
        ASSERT_TRUE(back.ok()) << back.error.toStdString();
        EXPECT_EQ(back.cells.cells, std::vector<QRgb>(pixels, pixels + 12 * 9)) << index;
    }
}
