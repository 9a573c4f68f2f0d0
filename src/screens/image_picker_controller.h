#pragma once

#include <QDateTime>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <atomic>
#include <functional>
#include <memory>

#include "screens/platform_view_controller.h"

class CardWidget;
class ImagePickerController;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QThreadPool;

// Told what the user picked. Held weakly by the picker.
class ImagePickerControllerDelegate {
public:
    virtual ~ImagePickerControllerDelegate() = default;
    // info holds the decoded picture (a QImage) under ImagePickerController::originalImageKey.
    virtual void imagePickerControllerDidFinishPickingMediaWithInfo(ImagePickerController* picker,
                                                                    const QVariantMap& info) = 0;
    // By default the picker dismisses itself.
    virtual void imagePickerControllerDidCancel(ImagePickerController* picker);
};

// The photo picker: the user's Pictures folder as a grid of thumbnails, newest first, with
// "Browse…" for a picture anywhere else and "Cancel". Listing and decoding run off the main
// thread, on a pool of the picker's own that nothing on the main thread ever waits for; a
// picture that cannot be opened (not a picture, damaged, enormous, not a regular file) is
// refused with a message on the picker, which stays open. Only regular files with a picture's
// name are listed, and the listing stops after so many entries or so much time, whatever
// the folder holds.
class ImagePickerController : public PlatformViewController {
    Q_OBJECT
public:
    enum class SourceType : int {
        photoLibrary = 0,
        camera = 1,
        savedPhotosAlbum = 2,
    };

    static inline const QString originalImageKey =
        QStringLiteral("UIImagePickerControllerOriginalImage");

    // The library sources need a Pictures folder that exists or can be made; this
    // platform has no camera.
    static bool isSourceTypeAvailable(SourceType type);

    explicit ImagePickerController(QWidget* parent = nullptr);
    ~ImagePickerController() override;

    SourceType sourceType() const { return sourceType_; }
    void setSourceType(SourceType type);
    // Kept for callers that ask for it; the picked picture is handed on uncropped.
    bool allowsEditing() const { return allowsEditing_; }
    void setAllowsEditing(bool allowsEditing) { allowsEditing_ = allowsEditing; }

    ImagePickerControllerDelegate* delegate() const;
    void setDelegate(ImagePickerControllerDelegate* delegate);

    // The folder shown; PicturesFolder::location() unless set before the picker shows.
    QString picturesFolder() const { return picturesFolder_; }
    void setPicturesFolder(const QString& folder);

    // Asks for a picture file anywhere; returns its path, empty when cancelled.
    using OpenFileNameProvider = std::function<QString(QWidget* parent, const QString& startFolder,
                                                       const QString& nameFilter)>;
    void setOpenFileNameProvider(OpenFileNameProvider provider);

    // Lists the folder again (it is listed when the picker first shows).
    void reload();
    bool isListing() const { return listing_; }
    // The pictures in the grid, newest first.
    QStringList photoPaths() const;
    // Thumbnails still being decoded.
    int pendingThumbnails() const { return pendingThumbnails_; }
    // Whether the last listing stopped at a limit before it had seen the whole folder.
    bool listingWasCut() const { return listingWasCut_; }

    // How far a listing goes: entries of any kind visited (folders and other files count
    // too) and time spent.
    struct ScanLimits {
        int maxEntries = 20000;
        int maxMilliseconds = 3000;
    };
    void setScanLimits(const ScanLimits& limits) { scanLimits_ = limits; }

    // Where listing and decoding run. Never the global pool: the raster paint engine waits
    // for that one on the main thread, so a file that stalls a decoder would stall painting;
    // nor is this one waited for when the app quits.
    static QThreadPool& workPool();

    // What a tap on a picture does: decodes it off the main thread and hands it to the
    // delegate, or shows why it cannot be opened.
    void pickPhoto(const QString& path);
    bool isPicking() const { return picking_; }
    void browse();
    void cancel();

    // The refusal or problem currently shown, empty when none.
    QString messageText() const;
    QListWidget* grid() const { return grid_; }
    QPushButton* cancelButton() const { return cancelButton_; }
    QPushButton* browseButton() const { return browseButton_; }

    // At most this many of the newest pictures are shown.
    static constexpr int kMaxPhotos = 500;
    static constexpr int kThumbnailPoints = 180;

signals:
    void listingFinished();
    void pickFinished(bool picked);

protected:
    void viewDidLoad() override;
    void viewDidLayoutSubviews() override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void updateGridSize();
    struct Listing;
    void applyListing(int generation, const std::shared_ptr<Listing>& listing);
    void applyThumbnail(int generation, int row, const QImage& image, bool failed);
    void finishPick(const QString& path, const QImage& image, const QString& error);
    void showMessage(const QString& text);
    void updateEmptyState();
    void updateHeader();
    void layoutContent();

    SourceType sourceType_ = SourceType::photoLibrary;
    bool allowsEditing_ = false;
    ImagePickerControllerDelegate* delegate_ = nullptr;
    QPointer<QObject> delegateObject_;  // when the delegate is a QObject, to notice it going
    bool delegateIsObject_ = false;
    QString picturesFolder_;
    OpenFileNameProvider openFileNameProvider_;

    // Background work checks this and stops once the picker is gone.
    std::shared_ptr<std::atomic_bool> cancelled_;
    int generation_ = 0;
    bool listing_ = false;
    bool picking_ = false;
    int pendingThumbnails_ = 0;
    int totalFound_ = 0;
    bool listingWasCut_ = false;
    ScanLimits scanLimits_;

    QWidget* header_;
    QPushButton* cancelButton_;
    QPushButton* browseButton_;
    QLabel* titleLabel_;
    QLabel* subtitleLabel_;
    QListWidget* grid_;
    QLabel* emptyLabel_;
    CardWidget* messageCard_;
    QLabel* messageLabel_;
    CardWidget* busyCard_;
};
