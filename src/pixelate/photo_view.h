#pragma once

#include <QImage>
#include <QString>
#include <QWidget>

#include "pixelate/resampler.h"

class QVariantAnimation;

// An image view: shows one picture, fitted inside its bounds or filling them (cropping the
// rest), optionally dimmed, and changes pictures at once or with a cross-dissolve. The
// picture is scaled once per change to the view's device pixels, so large pictures (a
// 66 MB render) cost nothing per frame: smoothly for photos, or nearest neighbour for
// pictures whose hard edges must stay hard (blocks), placed on whole device pixels.
class PhotoView : public QWidget {
    Q_OBJECT
    // Fill the bounds and crop (true) or fit inside them (false, the default).
    Q_PROPERTY(bool aspectFill READ aspectFill WRITE setAspectFill)
    // Opacity of a black veil over the picture, 0 to 1.
    Q_PROPERTY(double dimming READ dimming WRITE setDimming)
    // Blurs the picture into soft colour, for a backdrop behind other content.
    Q_PROPERTY(bool soft READ soft WRITE setSoft)
    // Shown while there is no picture.
    Q_PROPERTY(QString placeholderText READ placeholderText WRITE setPlaceholderText)

public:
    explicit PhotoView(QWidget* parent = nullptr);
    ~PhotoView() override;

    QImage image() const { return image_; }
    // Shows image at once, ending any cross-dissolve. Setting the picture already shown the
    // same way changes nothing, so a running cross-dissolve to it carries on.
    void setImage(const QImage& image, InterpolationQuality quality = InterpolationQuality::smooth);
    // Cross-dissolves from what is on screen now to image over seconds; at once when
    // animations are off or seconds is not positive.
    void transition(const QImage& image, double seconds,
                    InterpolationQuality quality = InterpolationQuality::smooth);
    // How the picture shown is scaled to the view.
    InterpolationQuality quality() const { return quality_; }
    bool isTransitioning() const;

    bool aspectFill() const { return aspectFill_; }
    void setAspectFill(bool fill);
    bool soft() const { return soft_; }
    void setSoft(bool soft);
    double dimming() const { return dimming_; }
    void setDimming(double dimming);
    QString placeholderText() const { return placeholderText_; }
    void setPlaceholderText(const QString& text);

    // Where the picture lands, in this view's coordinates; empty without a picture.
    QRectF imageRect() const;

signals:
    void imageChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QImage renderFrame(const QImage& image) const;
    QImage composedFrame();
    void stopTransition();

    QImage image_;
    InterpolationQuality quality_ = InterpolationQuality::smooth;
    QImage frame_;          // image_ as drawn, at device pixels, transparent around it
    QImage previousFrame_;  // what a running cross-dissolve fades out
    double progress_ = 1;
    QVariantAnimation* fade_ = nullptr;
    bool aspectFill_ = false;
    bool soft_ = false;
    double dimming_ = 0;
    QString placeholderText_;
};
