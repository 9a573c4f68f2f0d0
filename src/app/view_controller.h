#pragma once

#include <functional>
#include <memory>

#include "screens/image_picker_controller.h"
#include "screens/platform_view_controller.h"

class AssetImageView;

namespace Ui {
class ViewController;
}

// The home screen: a new drawing, a photo turned into pixels, the gallery and the settings.
class ViewController : public PlatformViewController, public ImagePickerControllerDelegate {
    Q_OBJECT
public:
    explicit ViewController(QWidget* parent = nullptr);
    ~ViewController() override;

    AssetImageView* backgroundView() const { return backgroundView_; }

public slots:
    // The editor on a blank canvas of the configured size.
    void clickCreateNFT();
    // The photo picker; a picked photo opens the pixelation screen.
    void clickPixel();
    // A file dialog in the Pictures folder; the chosen picture opens as a new drawing.
    void clickOpenPicture();
    void showGallery();
    void showSettings();

public:
    // Asks which picture to open, starting in a folder; returns the path, empty when the
    // user cancelled. A file dialog unless set (tests set their own).
    using OpenFileNameProvider = std::function<QString(QWidget* parent, const QString& folder)>;
    void setOpenFileNameProvider(OpenFileNameProvider provider);

    // A picked photo opens the pixelation screen once this callback has returned.
    void imagePickerControllerDidFinishPickingMediaWithInfo(ImagePickerController* picker,
                                                            const QVariantMap& info) override;

protected:
    void viewDidLoad() override;

private:
    void openPixelScreen(const QImage& photo);

    std::unique_ptr<Ui::ViewController> ui_;
    AssetImageView* backgroundView_ = nullptr;
    OpenFileNameProvider openFileNameProvider_;
};
