#include "pixelate/pixel_view_controller.h"

#include <QApplication>
#include <QFutureWatcher>
#include <QPainter>
#include <QPromise>
#include <QShortcut>
#include <QSignalBlocker>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <optional>

#include "imaging/image_asset.h"
#include "pixelate/photo_view.h"
#include "pixelate/resampler.h"
#include "platform/console.h"
#include "platform/screen_metrics.h"
#include "platform/settings_link.h"
#include "platform/thread_handoff.h"
#include "screens/activity_view_controller.h"
#include "screens/alert_controller.h"
#include "screens/photo_library.h"
#include "ui_pixel_view_controller.h"

namespace {

// The share icon is drawn dark; this screen is dark, so it is shown in white.
QIcon whiteIcon(const QString& asset, int points, qreal ratio) {
    const int pixels = qRound(points * ratio);
    QImage glyph = ImageAsset::image(asset, QSize(pixels, pixels))
                       .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&glyph);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(glyph.rect(), Qt::white);
    painter.end();
    glyph.setDevicePixelRatio(ratio);
    return QIcon(QPixmap::fromImage(glyph));
}

// A concurrent queue of background priority, apart from the global pool so that its low
// thread priority touches nobody else's work.
// Where finished renders are handed back to the main thread.
const char renderResults = 0;

QThreadPool& backgroundPool() {
    static QThreadPool pool;
    static const bool configured = [] {
        pool.setThreadPriority(QThread::LowPriority);
        return true;
    }();
    Q_UNUSED(configured);
    return pool;
}

// Runs renders one at a time, each begun only once the main thread has taken the result of
// the one before. A result is full size (66 MB at block size 10): with the one on screen and
// the one in the making, no more than two exist at once, and two renders at once would only
// split the memory bandwidth they are bound by.
//
// At most one render waits, the latest: one asked for while another waits replaces it, and
// the replaced one ends cancelled without running. Renders slower than the slider would
// otherwise back up and step the preview through stale positions after the slider stops.
class SerialRenderQueue : public std::enable_shared_from_this<SerialRenderQueue> {
public:
    QFuture<QImage> enqueue(std::function<QImage()> work) {
        auto promise = std::make_shared<QPromise<QImage>>();
        QFuture<QImage> future = promise->future();
        if (pending_) {
            QPromise<QImage>& overtaken = *pending_->promise;
            overtaken.start();
            overtaken.future().cancel();
            overtaken.finish();
        }
        pending_ = Job{std::move(work), std::move(promise)};
        if (!running_) {
            startNext();
        }
        return future;
    }

private:
    struct Job {
        std::function<QImage()> work;
        std::shared_ptr<QPromise<QImage>> promise;
    };

    void startNext() {
        running_ = pending_.has_value();
        if (!running_) {
            return;
        }
        Job job = std::move(*pending_);
        pending_.reset();
        auto* watcher = new QFutureWatcher<QImage>;
        QObject::connect(
            watcher, &QFutureWatcherBase::finished, watcher,
            [self = shared_from_this(), watcher, promise = std::move(job.promise)]() mutable {
                ThreadHandoff::receive(&renderResults);
                promise->start();
                if (watcher->future().resultCount() > 0) {
                    promise->addResult(watcher->future().takeResult());
                }
                promise->finish();
                promise.reset();
                watcher->deleteLater();
                // Queued behind the screen's own notice of this result, which it shows
                // (letting the previous one go) before the next render takes memory.
                QMetaObject::invokeMethod(
                    qApp, [self] { self->startNext(); }, Qt::QueuedConnection);
            });
        watcher->setFuture(QtConcurrent::run(
            &backgroundPool(), ThreadHandoff::handedOver([work = std::move(job.work)] {
                QImage result = work();
                ThreadHandoff::publish(&renderResults);
                return result;
            })));
    }

    std::optional<Job> pending_;
    bool running_ = false;
};

}  // namespace

PixelViewController::PixelViewController(QWidget* parent)
    : PlatformViewController(parent),
      ui_(std::make_unique<Ui::PixelViewController>()),
      clock_(std::make_shared<MainQueueClock>()),
      renderQueue_(backgroundRenderQueue()) {
    ui_->setupUi(this);
    setAttribute(Qt::WA_StyledBackground, true);
    pixelSizeSlider = ui_->pixelSizeSlider;
    backgroundImageView = ui_->backgroundImageView;
    previewImageView = ui_->previewImageView;

    ui_->shareButton->setIcon(
        whiteIcon(QStringLiteral("ic_share"), 18, std::max(1.0, ScreenMetrics::main().scale)));
    // Desktop habits: open a photo, share (save) the picture, Escape to go back.
    const auto addShortcut = [this](const QKeySequence& keys,
                                    void (PixelViewController::*action)()) {
        auto* shortcut = new QShortcut(keys, this);
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, this, action);
    };
    addShortcut(QKeySequence::Open, &PixelViewController::loadAction);
    addShortcut(QKeySequence::Save, &PixelViewController::saveAction);
    addShortcut(QKeySequence(Qt::Key_Escape), &PixelViewController::backPressed);

    connect(ui_->editAsDrawingButton, &QPushButton::clicked, this,
            &PixelViewController::editAsDrawingAction);
    connect(ui_->pixelSizeSlider, &QSlider::valueChanged, this, [this] { updateControls(); });
    connect(ui_->previewImageView, &PhotoView::imageChanged, this, [this] { updateControls(); });
    updateControls();
}

PixelViewController::~PixelViewController() {
    // The spare render buffers are only worth keeping while this screen is open.
    Resampler::releaseCachedBuffers();
}

InterfaceOrientationMask PixelViewController::supportedInterfaceOrientations() const {
    return InterfaceOrientationMask::portrait;
}

InterfaceOrientation PixelViewController::preferredInterfaceOrientationForPresentation() const {
    return InterfaceOrientation::portrait;
}

bool PixelViewController::shouldAutorotate() const {
    return true;
}

bool PixelViewController::prefersStatusBarHidden() const {
    return true;
}

void PixelViewController::setClock(std::shared_ptr<MainQueueClock> clock) {
    clock_ = clock ? std::move(clock) : std::make_shared<MainQueueClock>();
}

void PixelViewController::setRenderQueue(RenderQueue queue) {
    renderQueue_ = queue ? std::move(queue) : backgroundRenderQueue();
}

PixelViewController::RenderQueue PixelViewController::backgroundRenderQueue() {
    return [queue = std::make_shared<SerialRenderQueue>()](std::function<QImage()> work) {
        return queue->enqueue(std::move(work));
    };
}

void PixelViewController::viewDidLoad() {
    viewDidLayoutSubviews();
    clock_->runAfter(firstLoadDelay, this, [this] {
        // A photo picked in the meantime has been loaded already.
        if (!hasNormalisedSource()) {
            loadSourceImage(sourceImage, true);
        }
    });
}

void PixelViewController::viewDidLayoutSubviews() {
    // The background sits behind the laid-out content and covers the whole screen.
    ui_->backgroundImageView->setGeometry(rect());
    ui_->contentView->setGeometry(rect());
    if (QLayout* layout = ui_->contentView->layout()) {
        layout->activate();
    }
}

void PixelViewController::sliderAction() {
    if (pixelSizeSlider) {
        pixelate(static_cast<double>(pixelSizeSlider->value()));
    }
}

void PixelViewController::loadAction() {
    openPhotoPicker();
}

void PixelViewController::saveAction() {
    if (!previewImageView || previewImageView->image().isNull()) {
        return;  // nothing to share yet
    }
    auto* sheet = new ActivityViewController({previewImageView->image()});
    if (PopoverPresentationController* popover = sheet->popoverPresentationController()) {
        popover->setSourceView(ui_->shareButton);  // a tablet shows the sheet next to it
    }
    present(sheet, true);
}

void PixelViewController::setEditAsDrawingHandler(EditAsDrawingHandler handler) {
    editAsDrawingHandler_ = std::move(handler);
    updateControls();
}

void PixelViewController::editAsDrawingAction() {
    if (!editAsDrawingHandler_ || !previewImageView || previewImageView->image().isNull()) {
        return;
    }
    editAsDrawingHandler_(this, previewImageView->image());
}

void PixelViewController::backPressed() {
    dismiss(true);
}

void PixelViewController::openPhotoPicker() {
    using Status = PhotoLibrary::AuthorizationStatus;
    switch (PhotoLibrary::authorizationStatus()) {
        case Status::authorized:
            presentPhotoPicker();
            break;
        case Status::notDetermined: {
            const QPointer<PixelViewController> self(this);
            PhotoLibrary::requestAuthorization([self](Status answer) {
                if (!self) {
                    return;  // the screen closed while the question was open
                }
                if (answer == Status::authorized) {
                    self->presentPhotoPicker();
                } else {
                    self->showAccessAlert();
                }
            });
            break;
        }
        case Status::restricted:
        case Status::denied:
        case Status::limited:
            showAccessAlert();
            break;
    }
}

void PixelViewController::presentPhotoPicker() {
    auto* picker = new ImagePickerController;
    picker->setDelegate(this);
    picker->setSourceType(ImagePickerController::SourceType::savedPhotosAlbum);
    present(picker, true);
}

void PixelViewController::showAccessAlert() {
    auto* alert =
        new AlertController(QStringLiteral("Allow Camera Roll Access"),
                            QStringLiteral("Photos access is necessary for this app to run."),
                            AlertControllerStyle::alert);
    alert->addAction(AlertAction(QStringLiteral("Settings"), AlertActionStyle::defaultStyle, [] {
        if (SettingsLink::canOpen()) {
            SettingsLink::open();
        }
    }));
    alert->addAction(AlertAction(QStringLiteral("Cancel"), AlertActionStyle::defaultStyle));
    present(alert, true);
}

void PixelViewController::imagePickerControllerDidFinishPickingMediaWithInfo(
    ImagePickerController* picker, const QVariantMap& info) {
    const QVariant picked = info.value(ImagePickerController::originalImageKey);
    if (picked.metaType() == QMetaType::fromType<QImage>()) {
        const QImage photo = picked.value<QImage>();
        if (photo.isNull()) {
            showMessage(tr("This photo could not be read."));
        } else if (const QImage normalised = normalisedOrRefused(photo); !normalised.isNull()) {
            // Only a photo that is taken resets the slider; a refused one leaves it and the
            // photo it works on as they were.
            if (pixelSizeSlider) {
                // Set as a value, not as a user's move: the load below renders it.
                const QSignalBlocker quiet(pixelSizeSlider);
                pixelSizeSlider->setValue(0);
                updateControls();
            }
            useSourceImage(photo, normalised, true);
        }
    }
    if (picker) {
        picker->dismiss(true);
    }
}

void PixelViewController::loadSourceImage(QImage picture, bool animated) {
    if (picture.isNull()) {
        return;
    }
    const QImage normalised = normalisedOrRefused(picture);
    if (!normalised.isNull()) {
        useSourceImage(picture, normalised, animated);
    }
}

QImage PixelViewController::normalisedOrRefused(const QImage& picture) {
    if (picture.width() > maxPhotoSide || picture.height() > maxPhotoSide ||
        qint64{picture.width()} * picture.height() > maxPhotoPixels) {
        showMessage(tr("This photo is too large to pixelate (%1 × %2 pixels). Choose one of at "
                       "most %3 pixels on a side.")
                        .arg(picture.width())
                        .arg(picture.height())
                        .arg(maxPhotoSide));
        if (!hasNormalisedSource()) {
            sourceImage = QImage();  // do not hold on to it
        }
        return {};
    }

    const double scale = ScreenMetrics::main().scale;
    const double factor = previewWidth() / picture.deviceIndependentSize().width() / scale;
    const QImage normalised =
        Resampler::resized(picture, InterpolationQuality::smooth, factor, factor);
    // Every render is scale² times the normalised picture: a photo too narrow or too tall
    // for that is refused here rather than failing at every slider move.
    const QSize rendered = Resampler::pixelSize(QSizeF(normalised.size()) * scale, scale);
    if (normalised.isNull() || rendered.isEmpty()) {
        showMessage(tr("This photo is too narrow or too tall to pixelate (%1 × %2 pixels).")
                        .arg(picture.width())
                        .arg(picture.height()));
        if (!hasNormalisedSource()) {
            sourceImage = QImage();
        }
        return {};
    }
    return normalised;
}

void PixelViewController::useSourceImage(const QImage& picture, const QImage& normalised,
                                         bool animated) {
    showMessage(QString());
    if (backgroundImageView) {
        backgroundImageView->setImage(normalised);
    }
    sourceImage = normalised;
    normalisedKey_ = normalised.cacheKey();
    // Renders of the previous picture may still be running; none of them may cover this one.
    shownGeneration_ = ++renderGeneration_;
    showPreview(picture, animated);
    pixelate(pixelSizeSlider ? static_cast<double>(pixelSizeSlider->value()) : 0.0);
}

void PixelViewController::showPreview(const QImage& picture, bool animated,
                                      InterpolationQuality quality) {
    if (!previewImageView) {
        return;
    }
    if (animated) {
        previewImageView->transition(picture, imageTransitionAnimationTime, quality);
    } else {
        previewImageView->setImage(picture, quality);
    }
}

void PixelViewController::pixelate(double v) {
    if (!hasNormalisedSource()) {
        return;  // renders work on the normalised picture only
    }
    const double now = clock_->now();
    // A time before the last request (a clock that was set back) counts as long enough ago.
    const double elapsed = lastPixelizationTimestamp ? now - *lastPixelizationTimestamp : -1;
    if (elapsed >= 0 && elapsed <= pixelizationUpdateThreshold) {
        // Too soon: keep the latest value and render it once the threshold has passed, so
        // the end of a fast slider movement is not lost.
        pendingBlockSize_ = v;
        scheduleTrailingPixelation();
        return;
    }
    pendingBlockSize_.reset();
    renderPixelation(v);
    lastPixelizationTimestamp = now;
}

void PixelViewController::scheduleTrailingPixelation() {
    if (trailingScheduled_ || !lastPixelizationTimestamp) {
        return;
    }
    trailingScheduled_ = true;
    const double wait =
        std::clamp(*lastPixelizationTimestamp + pixelizationUpdateThreshold - clock_->now(), 0.0,
                   pixelizationUpdateThreshold);
    clock_->runAfter(wait + 0.001, this, [this] {
        trailingScheduled_ = false;
        if (pendingBlockSize_) {
            pixelate(*pendingBlockSize_);  // early timers just schedule again
        }
    });
}

void PixelViewController::renderPixelation(double v) {
    // Captured now, on the main thread: the render never sees a picture being replaced.
    const QImage picture = sourceImage;
    const double scale = ScreenMetrics::main().scale;
    const quint64 generation = ++renderGeneration_;
    QFuture<QImage> future =
        renderQueue_([picture, v, scale] { return Resampler::pixelated(picture, v, scale); });

    auto* watcher = new QFutureWatcher<QImage>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, generation, v] {
        ThreadHandoff::receive(&renderResults);
        watcher->deleteLater();
        if (watcher->future().isCanceled()) {
            return;  // overtaken by a newer request before it ran: the renders around it show
        }
        const QImage result = watcher->future().resultCount() > 0 ? watcher->result() : QImage();
        showRenderedPixelation(result, generation, v);
    });
    watcher->setFuture(future);
}

void PixelViewController::showRenderedPixelation(const QImage& result, quint64 generation,
                                                 double v) {
    if (generation < shownGeneration_) {
        return;  // a newer render or photo is on screen already
    }
    shownGeneration_ = generation;
    if (result.isNull()) {
        return;  // a size that cannot be made is skipped
    }
    // Blocks are shown crisp, like the shared file: a preview whose width the block size
    // does not divide would otherwise blend a seam into every block boundary.
    const InterpolationQuality quality =
        v > 0 ? InterpolationQuality::none : InterpolationQuality::smooth;
    showPreview(result, true, quality);
    if (previewImageView) {
        previewImageView->setImage(result, quality);
    }
}

bool PixelViewController::hasNormalisedSource() const {
    return !sourceImage.isNull() && sourceImage.cacheKey() == normalisedKey_;
}

double PixelViewController::previewWidth() {
    viewDidLayoutSubviews();
    const int width = previewImageView ? previewImageView->width() : 0;
    return width > 0 ? width : ScreenMetrics::main().width;
}

QString PixelViewController::message() const {
    return ui_->messageLabel->isHidden() ? QString() : ui_->messageLabel->text();
}

void PixelViewController::showMessage(const QString& text) {
    ui_->messageLabel->setText(text);
    // The label's name says what it is; the text itself reaches assistive technology here.
    ui_->messageLabel->setAccessibleDescription(text);
    ui_->messageLabel->setVisible(!text.isEmpty());
    if (!text.isEmpty()) {
        printLine(text);
    }
}

void PixelViewController::updateControls() {
    const int value = ui_->pixelSizeSlider->value();
    const QString shown = value == 0 ? tr("Off") : QString::number(value);
    ui_->blockSizeValueLabel->setText(shown);
    ui_->blockSizeValueLabel->setAccessibleDescription(shown);
    ui_->shareButton->setEnabled(!ui_->previewImageView->image().isNull());
    ui_->editAsDrawingButton->setEnabled(editAsDrawingHandler_ &&
                                         !ui_->previewImageView->image().isNull());
}
