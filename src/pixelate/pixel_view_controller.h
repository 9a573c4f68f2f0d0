#pragma once

#include <QFuture>
#include <QImage>
#include <QPointer>
#include <QSlider>
#include <functional>
#include <memory>
#include <optional>

#include "pixelate/main_queue_clock.h"
#include "pixelate/resampler.h"
#include "screens/image_picker_controller.h"
#include "screens/platform_view_controller.h"

class PhotoView;

namespace Ui {
class PixelViewController;
}

// The "pixel" screen: turns a photo into a blocky picture whose block size follows the
// slider, renders in the background, and shares the result.
//
// Renders are throttled to one per pixelizationUpdateThreshold; a change that comes too soon
// is not lost but rendered once the threshold has passed, so the preview always ends up
// matching the slider. Each render works on the picture that was current when it was queued,
// and a result older than what the preview already shows is thrown away; a render its queue
// cancels (overtaken while it waited) changes nothing. Blocks are shown nearest neighbour.
class PixelViewController : public PlatformViewController, public ImagePickerControllerDelegate {
    Q_OBJECT
public:
    // Photos above either limit are refused with a message instead of being worked on.
    static constexpr int maxPhotoSide = 20000;
    static constexpr qint64 maxPhotoPixels = 120'000'000;

    explicit PixelViewController(QWidget* parent = nullptr);
    ~PixelViewController() override;

    // Outlets from the layout file, held weakly.
    QPointer<QSlider> pixelSizeSlider;
    QPointer<PhotoView> backgroundImageView;
    QPointer<PhotoView> previewImageView;

    // The photo to pixelate; after it has been loaded, its normalised copy. Null when absent.
    QImage sourceImage;
    // When the last render request was accepted, in the clock's seconds.
    std::optional<double> lastPixelizationTimestamp;
    double pixelizationUpdateThreshold = 0.1;
    double imageTransitionAnimationTime = 0.5;

    // Seconds the first load waits after the view has loaded.
    static constexpr double firstLoadDelay = 0.5;

    // Normalises picture to the preview's width in pixels, shows it behind everything, shows
    // picture itself in the preview and renders the slider's block size. Taken by value:
    // picture may be sourceImage itself, which this replaces.
    void loadSourceImage(QImage picture, bool animated);
    // Puts picture into the preview, with a cross-dissolve when animated.
    void showPreview(const QImage& picture, bool animated,
                     InterpolationQuality quality = InterpolationQuality::smooth);
    // Requests a render of block size v (the throttle); main thread only.
    void pixelate(double v);
    // Queues a render of v on the background queue, working on the current sourceImage.
    void renderPixelation(double v);
    // Opens the photo picker when photo-library access allows it, asks for access when it
    // has not been decided, and explains otherwise.
    void openPhotoPicker();
    // Tells the user that photo access is needed, with a way to the settings.
    void showAccessAlert();
    // A picked photo resets the slider and becomes the new source; the picker closes. A photo
    // that is refused changes nothing but the message.
    void imagePickerControllerDidFinishPickingMediaWithInfo(ImagePickerController* picker,
                                                            const QVariantMap& info) override;

    // "Edit as drawing": hands the preview on screen to whoever opens drawings (the app sets
    // it; this screen cannot reach the editor). Nothing happens while it is unset or there is
    // no preview.
    using EditAsDrawingHandler =
        std::function<void(PixelViewController* screen, const QImage& preview)>;
    void setEditAsDrawingHandler(EditAsDrawingHandler handler);

    // The message shown for a photo that cannot be used; empty when none is shown.
    QString message() const;

    // Test seams. The clock gives the time and runs the delayed main-queue work (the first
    // load, the trailing render); the render queue runs a render's work and hands back its
    // future, whose result is shown on the main thread when it finishes (a cancelled one is
    // skipped).
    using RenderQueue = std::function<QFuture<QImage>(std::function<QImage()> work)>;
    void setClock(std::shared_ptr<MainQueueClock> clock);
    void setRenderQueue(RenderQueue queue);
    static RenderQueue backgroundRenderQueue();

    InterfaceOrientationMask supportedInterfaceOrientations() const override;
    InterfaceOrientation preferredInterfaceOrientationForPresentation() const override;
    bool shouldAutorotate() const override;
    bool prefersStatusBarHidden() const override;

public slots:
    void sliderAction();
    void loadAction();
    void saveAction();
    void editAsDrawingAction();
    void backPressed();

protected:
    void viewDidLoad() override;
    void viewDidLayoutSubviews() override;

private:
    void presentPhotoPicker();
    // The normalised copy of picture, or a null image after saying why it cannot be used.
    QImage normalisedOrRefused(const QImage& picture);
    void useSourceImage(const QImage& picture, const QImage& normalised, bool animated);
    void showRenderedPixelation(const QImage& result, quint64 generation, double v);
    void scheduleTrailingPixelation();
    bool hasNormalisedSource() const;
    double previewWidth();
    void showMessage(const QString& text);
    void updateControls();

    std::unique_ptr<Ui::PixelViewController> ui_;
    std::shared_ptr<MainQueueClock> clock_;
    RenderQueue renderQueue_;
    EditAsDrawingHandler editAsDrawingHandler_;

    qint64 normalisedKey_ = 0;                // cache key of the normalised picture in sourceImage
    std::optional<double> pendingBlockSize_;  // the latest request the throttle held back
    bool trailingScheduled_ = false;
    quint64 renderGeneration_ = 0;  // counts queued renders and loaded photos
    quint64 shownGeneration_ = 0;   // the newest of them the preview shows
};
