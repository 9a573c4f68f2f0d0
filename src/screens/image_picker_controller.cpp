#include "screens/image_picker_controller.h"

#include <QApplication>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTextDocument>
#include <QThread>
#include <QThreadPool>
#include <QTouchEvent>
#include <QVBoxLayout>
#include <QVariantAnimation>
#include <algorithm>

#include "imaging/photo_loader.h"
#include "imaging/pictures_folder.h"
#include "platform/animation.h"
#include "platform/thread_handoff.h"
#include "widgets/card_widget.h"
#include "widgets/sheet_style.h"

namespace {
constexpr int kHeaderHeight = 64;
constexpr int kMinCellPoints = 120;
constexpr int kGridInset = 2;

enum ItemRole {
    PathRole = Qt::UserRole,
    StateRole,
};
enum ThumbnailState {
    Loading = 0,
    Ready = 1,
    Failed = 2,
};

QStringList photoNameFilters() {
    static const QStringList filters = [] {
        const QList<QByteArray> supported = QImageReader::supportedImageFormats();
        QStringList list;
        for (const char* format : {"jpg", "jpeg", "png", "gif", "bmp", "webp", "tif", "tiff",
                                   "heic", "heif", "avif", "jxl", "ppm", "pgm", "pbm"}) {
            if (supported.contains(QByteArray(format))) {
                list << QStringLiteral("*.") + QString::fromLatin1(format);
            }
        }
        return list;
    }();
    return filters;
}

struct PhotoEntry {
    QString path;
    QDateTime modified;
};

// Draws each picture as a rounded square filled by its thumbnail.
class ThumbnailDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    int cell = kMinCellPoints;
    // The focus ring shows only while the keyboard is in use; a tap needs none.
    bool showFocus = false;

    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override {
        return QSize(cell, cell);
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setRenderHint(QPainter::SmoothPixmapTransform);
        const QRectF tile =
            QRectF(option.rect).adjusted(kGridInset, kGridInset, -kGridInset, -kGridInset);
        QPainterPath shape;
        shape.addRoundedRect(tile, 4, 4);
        const int state = index.data(StateRole).toInt();
        const QPixmap pixmap = index.data(Qt::DecorationRole).value<QPixmap>();
        if (state == Ready && !pixmap.isNull()) {
            painter->setClipPath(shape);
            painter->drawPixmap(tile, pixmap, QRectF(pixmap.rect()));
            painter->setClipping(false);
        } else {
            painter->fillPath(shape,
                              QColor(state == Failed ? 0xE2 : 0xEC, state == Failed ? 0xE2 : 0xEC,
                                     state == Failed ? 0xE7 : 0xF1));
            if (state == Failed) {
                // A picture frame crossed out: this file could not be previewed.
                const QPointF c = tile.center();
                painter->setPen(QPen(SheetStyle::secondaryText(), 1.6));
                painter->drawRoundedRect(QRectF(c.x() - 14, c.y() - 11, 28, 22), 3, 3);
                painter->drawLine(QPointF(c.x() - 10, c.y() + 8), QPointF(c.x() + 10, c.y() - 8));
            }
        }
        const bool highlighted = (option.state & QStyle::State_Selected) ||
                                 (showFocus && (option.state & QStyle::State_HasFocus));
        if (highlighted) {
            painter->setPen(QPen(SheetStyle::accent(), 3));
            painter->setBrush(Qt::NoBrush);
            painter->drawRoundedRect(tile.adjusted(1.5, 1.5, -1.5, -1.5), 4, 4);
        }
        painter->restore();
    }
};

// Touch on the grid: a drag scrolls it and flings on when let go, a tap reports the point.
// The mouse keeps Qt's own handling (clicks, wheel, scroll bar).
class TouchPanner : public QObject {
public:
    TouchPanner(QAbstractItemView* view, std::function<void(const QPoint&)> tapped)
        : QObject(view),
          view_(view),
          tapped_(std::move(tapped)),
          fling_(new QVariantAnimation(this)) {
        view->viewport()->setAttribute(Qt::WA_AcceptTouchEvents);
        view->viewport()->installEventFilter(this);
        fling_->setEasingCurve(QEasingCurve::OutCubic);
        connect(fling_, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
            view_->verticalScrollBar()->setValue(value.toInt());
        });
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
            case QEvent::TouchBegin:
            case QEvent::TouchUpdate:
            case QEvent::TouchEnd:
                break;
            case QEvent::TouchCancel:
                dragging_ = false;
                return true;
            default:
                return false;
        }
        auto* touch = static_cast<QTouchEvent*>(event);
        if (touch->points().isEmpty()) {
            return true;
        }
        // The first finger leads; more fingers change nothing.
        const QPointF point = touch->points().first().position();
        const double now = double(touch->timestamp());
        QScrollBar* bar = view_->verticalScrollBar();
        if (event->type() == QEvent::TouchBegin) {
            fling_->stop();
            start_ = point;
            startValue_ = bar->value();
            dragging_ = false;
            velocity_ = 0;
            lastY_ = point.y();
            lastTime_ = now;
            event->accept();
            return true;
        }
        if (!dragging_ && std::abs(point.y() - start_.y()) > kSlop) {
            dragging_ = true;
        }
        if (dragging_) {
            bar->setValue(startValue_ - int(std::lround(point.y() - start_.y())));
            if (now > lastTime_) {
                // Points a millisecond, smoothed so that one jittery sample does not decide.
                const double instant = (point.y() - lastY_) / (now - lastTime_);
                velocity_ = 0.7 * instant + 0.3 * velocity_;
            }
            lastY_ = point.y();
            lastTime_ = now;
        }
        if (event->type() == QEvent::TouchEnd) {
            if (dragging_) {
                flingOn();
            } else {
                tapped_(start_.toPoint());
            }
            dragging_ = false;
        }
        return true;
    }

private:
    static constexpr double kSlop = 8;  // points a finger may wander and still tap
    static constexpr int kFlingMs = 600;

    void flingOn() {
        QScrollBar* bar = view_->verticalScrollBar();
        const int target = std::clamp(bar->value() - int(velocity_ * kFlingMs * 0.4),
                                      bar->minimum(), bar->maximum());
        if (!Animation::enabled() || std::abs(velocity_) < 0.1) {
            bar->setValue(target);
            return;
        }
        fling_->setStartValue(bar->value());
        fling_->setEndValue(target);
        fling_->setDuration(kFlingMs);
        fling_->start();
    }

    QAbstractItemView* view_;
    std::function<void(const QPoint&)> tapped_;
    QVariantAnimation* fling_;
    QPointF start_;
    int startValue_ = 0;
    bool dragging_ = false;
    double velocity_ = 0;  // points per millisecond, downward positive
    double lastY_ = 0;
    double lastTime_ = 0;
};

// A thumbnail cropped to a square of side pixels.
QImage squareThumbnail(const QImage& image, int side) {
    const QImage scaled =
        image.scaled(side, side, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
    return scaled.copy((scaled.width() - side) / 2, (scaled.height() - side) / 2, side, side);
}
}  // namespace

struct ImagePickerController::Listing {
    QList<PhotoEntry> entries;
    int totalFound = 0;
    bool cut = false;
};

QThreadPool& ImagePickerController::workPool() {
    // Never deleted: quitting must not wait for a decoder that is still busy.
    static QThreadPool* const pool = [] {
        auto* created = new QThreadPool;
        created->setMaxThreadCount(std::max(2, QThread::idealThreadCount()));
        return created;
    }();
    return *pool;
}

void ImagePickerControllerDelegate::imagePickerControllerDidCancel(ImagePickerController* picker) {
    if (picker) {
        picker->dismiss(true);
    }
}

bool ImagePickerController::isSourceTypeAvailable(SourceType type) {
    switch (type) {
        case SourceType::photoLibrary:
        case SourceType::savedPhotosAlbum:
            return PicturesFolder::isUsable(PicturesFolder::location());
        case SourceType::camera:
            return false;
    }
    return false;
}

ImagePickerController::ImagePickerController(QWidget* parent)
    : PlatformViewController(parent),
      picturesFolder_(PicturesFolder::location()),
      cancelled_(std::make_shared<std::atomic_bool>(false)),
      header_(new QWidget(this)),
      cancelButton_(new QPushButton(QStringLiteral("Cancel"), header_)),
      browseButton_(new QPushButton(QStringLiteral("Browse\u2026"), header_)),
      titleLabel_(new QLabel(header_)),
      subtitleLabel_(new QLabel(header_)),
      grid_(new QListWidget(this)),
      emptyLabel_(new QLabel(this)),
      messageCard_(new CardWidget(this)),
      messageLabel_(new QLabel(messageCard_)),
      busyCard_(new CardWidget(this)) {
    setAccessibleName(QStringLiteral("Choose a Picture"));
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::white);
    palette.setColor(QPalette::Base, Qt::white);
    setPalette(palette);
    openFileNameProvider_ = [](QWidget* parent, const QString& start, const QString& filter) {
        return QFileDialog::getOpenFileName(parent, QStringLiteral("Choose a Picture"), start,
                                            filter);
    };

    SheetStyle::styleFlatButton(cancelButton_, SheetStyle::accent(), false);
    SheetStyle::styleFlatButton(browseButton_, SheetStyle::accent(), true);
    cancelButton_->setAccessibleName(QStringLiteral("Cancel"));
    browseButton_->setAccessibleName(QStringLiteral("Browse\u2026"));
    browseButton_->setToolTip(QStringLiteral("Choose a picture from another folder"));
    connect(cancelButton_, &QPushButton::clicked, this, &ImagePickerController::cancel);
    connect(browseButton_, &QPushButton::clicked, this, &ImagePickerController::browse);
    titleLabel_->setFont(SheetStyle::font(17, QFont::DemiBold));
    titleLabel_->setAlignment(Qt::AlignCenter);
    subtitleLabel_->setFont(SheetStyle::font(13));
    subtitleLabel_->setAlignment(Qt::AlignCenter);
    QPalette secondary = subtitleLabel_->palette();
    secondary.setColor(QPalette::WindowText, SheetStyle::secondaryText());
    subtitleLabel_->setPalette(secondary);
    auto* headerLine = SheetStyle::makeSeparator(Qt::Horizontal, header_);
    headerLine->setObjectName(QStringLiteral("headerLine"));

    auto* delegate = new ThumbnailDelegate(grid_);
    grid_->setItemDelegate(delegate);
    grid_->setViewMode(QListView::IconMode);
    grid_->setMovement(QListView::Static);
    grid_->setResizeMode(QListView::Adjust);
    grid_->setFlow(QListView::LeftToRight);
    grid_->setWrapping(true);
    grid_->setUniformItemSizes(true);
    grid_->setSelectionMode(QAbstractItemView::SingleSelection);
    grid_->setFrameShape(QFrame::NoFrame);
    grid_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    grid_->setAccessibleName(QStringLiteral("Pictures"));
    grid_->setStyleSheet(QStringLiteral(
        "QListWidget { background: white; outline: none; }"
        "QScrollBar:vertical { width: 8px; background: transparent; margin: 2px; }"
        "QScrollBar::handle:vertical { background: rgba(0, 0, 0, 70); border-radius: 2px;"
        " min-height: 40px; }"
        "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"
        "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }"));
    grid_->installEventFilter(this);
    grid_->viewport()->installEventFilter(this);
    new TouchPanner(grid_, [this](const QPoint& point) {
        if (QListWidgetItem* item = grid_->itemAt(point)) {
            grid_->setCurrentItem(item);
            pickPhoto(item->data(PathRole).toString());
        }
    });
    connect(grid_, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { pickPhoto(item->data(PathRole).toString()); });
    connect(grid_, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { pickPhoto(item->data(PathRole).toString()); });
    setFocusProxy(grid_);

    emptyLabel_->setWordWrap(true);
    emptyLabel_->setAlignment(Qt::AlignCenter);
    emptyLabel_->setFont(SheetStyle::font(16));
    emptyLabel_->setPalette(secondary);
    emptyLabel_->hide();

    messageCard_->setColor(QColor(0xFD, 0xEC, 0xEB));
    auto* messageLayout = new QVBoxLayout(messageCard_);
    messageLayout->setContentsMargins(16, 12, 16, 12);
    messageLabel_->setWordWrap(true);
    messageLabel_->setFont(SheetStyle::font(15));
    messageLabel_->setTextFormat(Qt::PlainText);
    QPalette error = messageLabel_->palette();
    error.setColor(QPalette::WindowText, SheetStyle::destructive());
    messageLabel_->setPalette(error);
    messageLayout->addWidget(messageLabel_);
    messageCard_->installEventFilter(this);  // a tap puts the message away
    messageCard_->hide();

    busyCard_->setColor(QColor(0x1C, 0x1C, 0x1E, 220));
    auto* busyLayout = new QVBoxLayout(busyCard_);
    auto* busyLabel = new QLabel(QStringLiteral("Opening\u2026"), busyCard_);
    busyLabel->setAlignment(Qt::AlignCenter);
    busyLabel->setFont(SheetStyle::font(16, QFont::DemiBold));
    QPalette light = busyLabel->palette();
    light.setColor(QPalette::WindowText, Qt::white);
    busyLabel->setPalette(light);
    busyLayout->addWidget(busyLabel);
    busyCard_->hide();
    updateHeader();
}

ImagePickerController::~ImagePickerController() {
    cancelled_->store(true);
}

void ImagePickerController::setSourceType(SourceType type) {
    sourceType_ = type;
    updateHeader();
    if (isViewLoaded()) {
        reload();
    }
}

ImagePickerControllerDelegate* ImagePickerController::delegate() const {
    if (delegateIsObject_ && !delegateObject_) {
        return nullptr;
    }
    return delegate_;
}

void ImagePickerController::setDelegate(ImagePickerControllerDelegate* delegate) {
    delegate_ = delegate;
    // A delegate that is a QObject is watched, so that the picker never calls one that is gone.
    auto* object = dynamic_cast<QObject*>(delegate);
    delegateIsObject_ = object != nullptr;
    delegateObject_ = object;
}

void ImagePickerController::setPicturesFolder(const QString& folder) {
    picturesFolder_ = folder;
    updateHeader();
    if (isViewLoaded()) {
        reload();
    }
}

void ImagePickerController::setOpenFileNameProvider(OpenFileNameProvider provider) {
    openFileNameProvider_ = std::move(provider);
}

void ImagePickerController::viewDidLoad() {
    reload();
}

QStringList ImagePickerController::photoPaths() const {
    QStringList paths;
    for (int row = 0; row < grid_->count(); ++row) {
        paths.append(grid_->item(row)->data(PathRole).toString());
    }
    return paths;
}

void ImagePickerController::reload() {
    ++generation_;
    grid_->clear();
    pendingThumbnails_ = 0;
    totalFound_ = 0;
    listingWasCut_ = false;
    if (sourceType_ == SourceType::camera) {
        listing_ = false;
        updateHeader();
        updateEmptyState();
        emit listingFinished();
        return;
    }
    listing_ = true;
    updateEmptyState();
    const int generation = generation_;
    const QString folder = picturesFolder_;
    const QStringList filters = photoNameFilters();
    const ScanLimits limits = scanLimits_;
    QPointer<ImagePickerController> self = this;
    std::shared_ptr<std::atomic_bool> cancelled = cancelled_;
    workPool().start(
        ThreadHandoff::handedOver([self, cancelled, generation, folder, filters, limits] {
            auto listing = std::make_shared<Listing>();
            QElapsedTimer clock;
            clock.start();
            // Every entry counts towards the limits, whether it is a picture or not. Links
            // to folders are not entered; a link to a file counts when what it leads to is
            // a regular file (not a FIFO, a device or nothing at all).
            QDirIterator it(folder, QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot,
                            QDirIterator::Subdirectories);
            int visited = 0;
            while (it.hasNext() && !cancelled->load()) {
                if (visited >= limits.maxEntries || clock.elapsed() >= limits.maxMilliseconds) {
                    listing->cut = true;
                    break;
                }
                it.next();
                ++visited;
                const QFileInfo info = it.fileInfo();
                if (info.isFile() && info.isReadable() && QDir::match(filters, info.fileName())) {
                    listing->entries.append(PhotoEntry{it.filePath(), info.lastModified()});
                }
            }
            std::sort(listing->entries.begin(), listing->entries.end(),
                      [](const PhotoEntry& a, const PhotoEntry& b) {
                          if (a.modified != b.modified) {
                              return a.modified > b.modified;
                          }
                          return a.path < b.path;
                      });
            listing->totalFound = int(listing->entries.size());
            if (listing->entries.size() > kMaxPhotos) {
                listing->entries.resize(kMaxPhotos);
            }
            QMetaObject::invokeMethod(qApp, ThreadHandoff::handedOver([self, generation, listing] {
                                          if (self) {
                                              self->applyListing(generation, listing);
                                          }
                                      }),
                                      Qt::QueuedConnection);
        }));
}

void ImagePickerController::applyListing(int generation, const std::shared_ptr<Listing>& listing) {
    if (generation != generation_) {
        return;
    }
    listing_ = false;
    totalFound_ = listing->totalFound;
    listingWasCut_ = listing->cut;
    const QLocale locale;
    const qreal scale = devicePixelRatioF();
    const int side = int(kThumbnailPoints * scale);
    QPointer<ImagePickerController> self = this;
    std::shared_ptr<std::atomic_bool> cancelled = cancelled_;
    for (int row = 0; row < listing->entries.size(); ++row) {
        const PhotoEntry& entry = listing->entries[row];
        auto* item = new QListWidgetItem(grid_);
        const QString name = QFileInfo(entry.path).fileName();
        item->setData(PathRole, entry.path);
        item->setData(StateRole, Loading);
        // Tool tips read markup; a file name is shown as the text it is.
        item->setToolTip(Qt::convertFromPlainText(name));
        item->setData(Qt::AccessibleTextRole,
                      QStringLiteral("Picture %1, %2")
                          .arg(name, locale.toString(entry.modified, QLocale::ShortFormat)));
        ++pendingThumbnails_;
        const QString path = entry.path;
        workPool().start(ThreadHandoff::handedOver([self, cancelled, generation, row, path, side] {
            if (cancelled->load()) {
                return;
            }
            const PhotoLoader::Result loaded = PhotoLoader::loadThumbnail(path, QSize(side, side));
            QImage thumbnail;
            if (loaded.ok()) {
                thumbnail = squareThumbnail(loaded.image, side);
            }
            QMetaObject::invokeMethod(
                qApp, ThreadHandoff::handedOver([self, generation, row, thumbnail] {
                    if (self) {
                        self->applyThumbnail(generation, row, thumbnail, thumbnail.isNull());
                    }
                }),
                Qt::QueuedConnection);
        }));
    }
    updateHeader();
    updateEmptyState();
    if (grid_->count() > 0) {
        grid_->setCurrentRow(0, QItemSelectionModel::NoUpdate);
    }
    emit listingFinished();
}

void ImagePickerController::applyThumbnail(int generation, int row, const QImage& image,
                                           bool failed) {
    if (generation != generation_) {
        return;
    }
    --pendingThumbnails_;
    QListWidgetItem* item = grid_->item(row);
    if (!item) {
        return;
    }
    if (failed) {
        item->setData(StateRole, Failed);
        return;
    }
    QPixmap pixmap = QPixmap::fromImage(image);
    pixmap.setDevicePixelRatio(devicePixelRatioF());
    item->setData(Qt::DecorationRole, pixmap);
    item->setData(StateRole, Ready);
}

void ImagePickerController::pickPhoto(const QString& path) {
    if (picking_ || path.isEmpty()) {
        return;
    }
    picking_ = true;
    messageCard_->hide();
    busyCard_->show();
    busyCard_->raise();
    QPointer<ImagePickerController> self = this;
    workPool().start(ThreadHandoff::handedOver([self, path] {
        const PhotoLoader::Result loaded = PhotoLoader::load(path);
        QMetaObject::invokeMethod(qApp, ThreadHandoff::handedOver([self, path, loaded] {
                                      if (self) {
                                          self->finishPick(path, loaded.image, loaded.error);
                                      }
                                  }),
                                  Qt::QueuedConnection);
    }));
}

void ImagePickerController::finishPick(const QString&, const QImage& image, const QString& error) {
    picking_ = false;
    busyCard_->hide();
    if (image.isNull()) {
        showMessage(error.isEmpty() ? QStringLiteral("This picture could not be opened.") : error);
        emit pickFinished(false);
        return;
    }
    emit pickFinished(true);
    QVariantMap info;
    info.insert(originalImageKey, image);
    if (ImagePickerControllerDelegate* target = delegate()) {
        target->imagePickerControllerDidFinishPickingMediaWithInfo(this, info);
    } else {
        dismiss(true);
    }
}

void ImagePickerController::browse() {
    if (picking_ || !openFileNameProvider_) {
        return;
    }
    QStringList patterns = photoNameFilters();
    const QString filter = QStringLiteral("Pictures (%1);;All files (*)").arg(patterns.join(' '));
    const QString start = QFileInfo(picturesFolder_).isDir() ? picturesFolder_ : QDir::homePath();
    const QString path = openFileNameProvider_(this, start, filter);
    if (!path.isEmpty()) {
        pickPhoto(path);
    }
}

void ImagePickerController::cancel() {
    if (ImagePickerControllerDelegate* target = delegate()) {
        target->imagePickerControllerDidCancel(this);
    } else {
        dismiss(true);
    }
}

QString ImagePickerController::messageText() const {
    return messageCard_->isVisibleTo(this) ? messageLabel_->text() : QString();
}

void ImagePickerController::showMessage(const QString& text) {
    messageLabel_->setText(text);
    messageCard_->setAccessibleName(text);
    messageCard_->show();
    messageCard_->raise();
    layoutContent();
}

void ImagePickerController::updateHeader() {
    titleLabel_->setText(sourceType_ == SourceType::camera ? QStringLiteral("Camera")
                                                           : QStringLiteral("Pictures"));
    QString subtitle = PicturesFolder::displayPath(picturesFolder_);
    if (sourceType_ == SourceType::camera) {
        subtitle.clear();
    } else if (listingWasCut_) {
        subtitle = QStringLiteral("Part of %1: too many files to look through").arg(subtitle);
    } else if (totalFound_ > grid_->count() && grid_->count() > 0) {
        subtitle = QStringLiteral("The newest %1 in %2").arg(grid_->count()).arg(subtitle);
    }
    subtitleLabel_->setText(subtitle);
    subtitleLabel_->setVisible(!subtitle.isEmpty());
}

void ImagePickerController::updateEmptyState() {
    QString text;
    if (sourceType_ == SourceType::camera) {
        text = QStringLiteral(
            "There is no camera on this computer.\nUse Browse\u2026 to choose a picture file.");
    } else if (!listing_ && grid_->count() == 0) {
        text = QStringLiteral(
                   "No pictures in \u201C%1\u201D yet.\nUse Browse\u2026 to choose a "
                   "picture from another folder.")
                   .arg(PicturesFolder::displayPath(picturesFolder_));
    }
    emptyLabel_->setText(text);
    emptyLabel_->setVisible(!text.isEmpty());
}

void ImagePickerController::layoutContent() {
    updateHeader();  // the subtitle is elided to the width below
    const int w = width();
    const int h = height();
    header_->setGeometry(0, 0, w, kHeaderHeight);
    const int buttonWidth = std::max(cancelButton_->sizeHint().width(), 88);
    const int browseWidth = std::max(browseButton_->sizeHint().width(), 96);
    cancelButton_->setGeometry(4, (kHeaderHeight - SheetStyle::kButtonHeight) / 2, buttonWidth,
                               SheetStyle::kButtonHeight);
    browseButton_->setGeometry(w - 4 - browseWidth, (kHeaderHeight - SheetStyle::kButtonHeight) / 2,
                               browseWidth, SheetStyle::kButtonHeight);
    const int titleX = 8 + std::max(buttonWidth, browseWidth);
    const int titleWidth = std::max(0, w - 2 * titleX);
    if (subtitleLabel_->isVisibleTo(this)) {
        titleLabel_->setGeometry(titleX, 10, titleWidth, 24);
        subtitleLabel_->setGeometry(titleX, 34, titleWidth, 18);
        subtitleLabel_->setText(subtitleLabel_->fontMetrics().elidedText(
            subtitleLabel_->text(), Qt::ElideMiddle, titleWidth));
    } else {
        titleLabel_->setGeometry(titleX, 0, titleWidth, kHeaderHeight);
    }
    if (QWidget* line = header_->findChild<QWidget*>(QStringLiteral("headerLine"))) {
        line->setGeometry(0, kHeaderHeight - 1, w, 1);
    }

    updateGridSize();

    emptyLabel_->setGeometry(32, kHeaderHeight + 32, std::max(0, w - 64),
                             std::max(0, h - kHeaderHeight - 64) / 2);
    const int messageWidth = std::max(0, std::min(w - 24, 520));
    messageCard_->layout()->activate();
    const int messageHeight = messageCard_->hasHeightForWidth()
                                  ? messageCard_->heightForWidth(messageWidth)
                                  : messageCard_->sizeHint().height();
    messageCard_->setGeometry((w - messageWidth) / 2, h - 16 - messageHeight, messageWidth,
                              messageHeight);
    busyCard_->setGeometry((w - 160) / 2, (h - 96) / 2, 160, 96);
}

void ImagePickerController::updateGridSize() {
    // The view keeps room for its scroll bar at the right whether it shows or not, so the
    // grid is inset by that much on both sides and the tiles sit centred, the scroll bar in
    // the right-hand margin.
    const int bar = grid_->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr,
                                                grid_->verticalScrollBar());
    const int usable = std::max(kMinCellPoints, width() - 2 * bar - 2);
    const int columns = std::max(3, usable / kMinCellPoints);
    const int cell = usable / columns;
    const int inset = (width() - columns * cell) / 2;
    const QRect frame(inset, kHeaderHeight, std::max(0, width() - inset),
                      std::max(0, height() - kHeaderHeight));
    if (grid_->geometry() != frame) {
        grid_->setGeometry(frame);
    }
    if (grid_->gridSize() != QSize(cell, cell)) {
        static_cast<ThumbnailDelegate*>(grid_->itemDelegate())->cell = cell;
        grid_->setGridSize(QSize(cell, cell));
    }
}

bool ImagePickerController::eventFilter(QObject* watched, QEvent* event) {
    auto* delegate = static_cast<ThumbnailDelegate*>(grid_->itemDelegate());
    if (watched == grid_->viewport()) {
        if (event->type() == QEvent::MouseButtonPress && delegate->showFocus) {
            delegate->showFocus = false;
            grid_->viewport()->update();
        }
    } else if (watched == grid_ && event->type() == QEvent::KeyPress && !delegate->showFocus) {
        delegate->showFocus = true;
        grid_->viewport()->update();
    } else if (watched == messageCard_ && event->type() == QEvent::MouseButtonRelease) {
        messageCard_->hide();
    }
    return PlatformViewController::eventFilter(watched, event);
}

void ImagePickerController::viewDidLayoutSubviews() {
    layoutContent();
}

void ImagePickerController::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        cancel();
        event->accept();
        return;
    }
    PlatformViewController::keyPressEvent(event);
}
