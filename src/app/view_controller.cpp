#include "app/view_controller.h"

#include <QFileDialog>
#include <QPainter>
#include <QSvgRenderer>

#include "app/picture_import.h"
#include "app/settings_view_controller.h"
#include "gallery/result_view_controller.h"
#include "imaging/pictures_folder.h"
#include "pixelate/pixel_view_controller.h"
#include "platform/screen_metrics.h"
#include "screens/storyboard.h"
#include "ui_view_controller.h"
#include "widgets/asset_image_view.h"

namespace {
QPixmap logoPixmap(const QSize& size, qreal scale) {
    QSvgRenderer renderer(QStringLiteral(":/icons/tilebloom.svg"));
    QPixmap pixmap((QSizeF(size) * scale).toSize());
    pixmap.fill(Qt::transparent);
    if (renderer.isValid()) {
        QPainter painter(&pixmap);
        renderer.render(&painter);
    }
    pixmap.setDevicePixelRatio(scale);
    return pixmap;
}
}  // namespace

ViewController::ViewController(QWidget* parent)
    : PlatformViewController(parent), ui_(std::make_unique<Ui::ViewController>()) {
    ui_->setupUi(this);
    connect(ui_->openPictureButton, &QPushButton::clicked, this, &ViewController::clickOpenPicture);
    openFileNameProvider_ = [](QWidget* parent, const QString& folder) {
        return QFileDialog::getOpenFileName(
            parent, QStringLiteral("Open Picture"), folder,
            QStringLiteral("Pictures (*.png *.jpg *.jpeg *.gif *.bmp *.webp);;All files (*)"));
    };
}

void ViewController::setOpenFileNameProvider(OpenFileNameProvider provider) {
    openFileNameProvider_ = std::move(provider);
}

void ViewController::clickOpenPicture() {
    const QString path =
        openFileNameProvider_ ? openFileNameProvider_(this, PicturesFolder::location()) : QString();
    if (!path.isEmpty()) {
        PictureImport::openFile(this, path);
    }
}

ViewController::~ViewController() = default;

void ViewController::viewDidLoad() {
    PlatformViewController::viewDidLoad();
    const ScreenMetrics& screen = ScreenMetrics::main();
    backgroundView_ = AssetImageView::screenBackground(QStringLiteral("bg_main"), this);
    ui_->logoView->setPixmap(logoPixmap(ui_->logoView->minimumSize(), screen.scale));
}

void ViewController::clickCreateNFT() {
    PlatformViewController* drawing = Storyboard::main().instantiateViewController("draw");
    if (!drawing) {
        return;
    }
    drawing->setModalPresentationStyle(ModalPresentationStyle::fullScreen);
    present(drawing, true);
}

void ViewController::clickPixel() {
    if (!ImagePickerController::isSourceTypeAvailable(
            ImagePickerController::SourceType::photoLibrary)) {
        return;
    }
    auto* picker = new ImagePickerController;
    picker->setDelegate(this);
    picker->setSourceType(ImagePickerController::SourceType::photoLibrary);
    picker->setAllowsEditing(false);
    present(picker, true);
}

void ViewController::imagePickerControllerDidFinishPickingMediaWithInfo(
    ImagePickerController* picker, const QVariantMap& info) {
    const QVariant picked = info.value(ImagePickerController::originalImageKey);
    if (picked.typeId() == QMetaType::QImage && !picked.value<QImage>().isNull()) {
        const QImage photo = picked.value<QImage>();
        QMetaObject::invokeMethod(
            this, [this, photo] { openPixelScreen(photo); }, Qt::QueuedConnection);
    }
    if (picker) {
        picker->dismiss(true);
    }
}

void ViewController::openPixelScreen(const QImage& photo) {
    PlatformViewController* screen = Storyboard::main().instantiateViewController("pixel");
    auto* pixel = qobject_cast<PixelViewController*>(screen);
    if (!pixel) {
        delete screen;
        return;
    }
    pixel->sourceImage = photo;
    pixel->setEditAsDrawingHandler([](PixelViewController* screen, const QImage& preview) {
        PictureImport::present(screen,
                               PictureOpener::openPixelated(preview, PictureImport::paletteSize()));
    });
    pixel->setModalPresentationStyle(ModalPresentationStyle::fullScreen);
    present(pixel, true);
}

void ViewController::showGallery() {
    auto* gallery = new ResultViewController;
    gallery->setModalPresentationStyle(ModalPresentationStyle::fullScreen);
    present(gallery, true);
}

void ViewController::showSettings() {
    auto* settings = new SettingsViewController;
    settings->setModalPresentationStyle(ModalPresentationStyle::fullScreen);
    present(settings, true);
}
