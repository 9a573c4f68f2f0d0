#include "gallery/result_view_controller.h"

#include <QBuffer>
#include <QImageReader>
#include <QPainter>
#include <QSvgRenderer>
#include <QtConcurrent/QtConcurrentMap>
#include <algorithm>

#include "editor/drawing_view_controller.h"
#include "gallery/custom_table_view_cell.h"
#include "platform/color.h"
#include "platform/console.h"
#include "platform/screen_metrics.h"
#include "screens/storyboard.h"
#include "store/core_data_manager.h"
#include "store/drawing.h"
#include "store/thumbnail.h"
#include "ui_result_view_controller.h"
#include "widgets/asset_image_view.h"

namespace {
// Thumbnails are 300 points at the display's scale; anything far larger is not one of ours.
constexpr int kMaximumThumbnailSide = 4096;

// The empty state: a blank grid waiting for its first tiles, and what to do about it; or, for
// a store that could not be opened, that the drawings are kept.
QPixmap emptyStatePicture(const QSize& size, qreal scale, const QFont& baseFont,
                          const QString& titleText, const QString& bodyText) {
    QPixmap pixmap((QSizeF(size) * scale).toSize());
    pixmap.setDevicePixelRatio(scale);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QSvgRenderer art(QStringLiteral(":/images/empty_gallery.svg"));
    const QSizeF natural = art.defaultSize();
    const QRectF artRect((size.width() - natural.width()) / 2, 0, natural.width(),
                         natural.height());
    if (art.isValid()) {
        art.render(&painter, artRect);
    }
    QFont title = baseFont;
    title.setPixelSize(22);
    title.setWeight(QFont::DemiBold);
    painter.setFont(title);
    painter.setPen(Qt::white);
    const QRectF titleRect(0, artRect.bottom() + 18, size.width(), 60);
    QRectF titleUsed;
    painter.drawText(titleRect, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, titleText,
                     &titleUsed);
    QFont body = baseFont;
    body.setPixelSize(15);
    painter.setFont(body);
    painter.setPen(QColor(0xcf, 0xcb, 0xf5));
    painter.drawText(QRectF(10, titleUsed.bottom() + 6, size.width() - 20, 80),
                     Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, bodyText);
    return pixmap;
}
}  // namespace

ResultViewController::ResultViewController(QWidget* parent)
    : PlatformViewController(parent), ui_(std::make_unique<Ui::ResultViewController>()) {
    ui_->setupUi(this);
    emptyLabel = ui_->emptyLabel;
    tableView = ui_->tableView;
    // Arrow keys, Return and the menu key work on the list as soon as the screen shows.
    setFocusProxy(tableView);
}

ResultViewController::~ResultViewController() {
    // The list outlives this part of the screen by a moment; it must not ask for rows then.
    if (tableView) {
        tableView->setDataSource(nullptr);
        tableView->setDelegate(nullptr);
    }
}

void ResultViewController::viewDidLoad() {
    PlatformViewController::viewDidLoad();
    backgroundView_ = AssetImageView::screenBackground(QStringLiteral("bg_main"), this);
    loadThumbnails();
    tableView->registerRow(customTableViewCell::kReuseIdentifier,
                           [] { return new customTableViewCell; });
    tableView->setDelegate(this);
    tableView->setDataSource(this);
    tableView->reloadData();
}

void ResultViewController::loadThumbnails() {
    const std::optional<std::vector<Thumbnail*>> thumbnails = CoreDataManager::loadThumbnails();
    thumbnailArray.clear();
    if (thumbnails) {
        thumbnailArray.assign(thumbnails->begin(), thumbnails->end());
    }
    // Nothing, rather than no rows: the file is there but could not be read.
    showEmptyState(!thumbnails.has_value());
}

void ResultViewController::showEmptyState(bool unreadable) {
    if (!emptyLabel || emptyStateUnreadable_ == unreadable) {
        return;
    }
    emptyStateUnreadable_ = unreadable;
    const QString title =
        unreadable ? tr("Your drawings could not be opened") : tr("No drawings yet");
    const QString body = unreadable ? tr("The file was kept as it is.")
                                    : tr("Start a new drawing on the home screen and save it: "
                                         "it will show up here.");
    emptyLabel->setPixmap(emptyStatePicture(emptyLabel->minimumSize(), ScreenMetrics::main().scale,
                                            font(), title, body));
    emptyLabel->setAccessibleName(unreadable ? title + QStringLiteral(". ") + body
                                             : tr("No saved drawings yet"));
}

int ResultViewController::indexOf(const Thumbnail* thumbnail) const {
    for (size_t i = 0; i < thumbnailArray.size(); ++i) {
        if (thumbnailArray[i] == thumbnail) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int ResultViewController::numberOfRows(SwipeActionList* /*list*/) {
    emptyLabel->setVisible(thumbnailArray.empty());
    return static_cast<int>(thumbnailArray.size());
}

namespace {
// One stored thumbnail decoded and scaled to its row; safe on any thread.
struct DecodedThumbnail {
    QImage image;
    QSize declared;
};

DecodedThumbnail decodeThumbnail(QByteArray data, const QSize& pixels) {
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "PNG");
    DecodedThumbnail decoded{QImage(), reader.size()};
    // A stored thumbnail is at most a few hundred pixels wide; a far larger size is not
    // decoded.
    if (decoded.declared.isValid() && decoded.declared.width() <= kMaximumThumbnailSide &&
        decoded.declared.height() <= kMaximumThumbnailSide) {
        decoded.image = reader.read();
    }
    if (!decoded.image.isNull()) {
        decoded.image = decoded.image.scaled(pixels, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
    return decoded;
}
}  // namespace

QPixmap ResultViewController::thumbnailPixmap(const Thumbnail* thumbnail, const QSize& size) {
    const qreal scale = ScreenMetrics::main().scale;
    if (const QPixmap* cached = pixmaps_.object(thumbnail->id())) {
        return *cached;
    }
    // Decoded here, for rows in sight only, and scaled down to the size shown. A row that is
    // not decoded yet is usually the first of a screenful: the rows that follow it on screen
    // are decoded with it, on every core, since decoding is most of what opening costs.
    const int start = std::max(0, indexOf(thumbnail));
    const int inSight =
        tableView ? tableView->viewport()->height() / tableView->rowHeight() + 1 : 1;
    std::vector<const Thumbnail*> batch;
    for (int row = start;
         row < static_cast<int>(thumbnailArray.size()) && static_cast<int>(batch.size()) < inSight;
         ++row) {
        const Thumbnail* candidate = thumbnailArray[static_cast<size_t>(row)];
        if (candidate == thumbnail || !pixmaps_.contains(candidate->id())) {
            batch.push_back(candidate);
        }
    }
    if (batch.empty() || batch.front() != thumbnail) {
        batch.insert(batch.begin(), thumbnail);
    }
    const QSize pixels = (QSizeF(size) * scale).toSize();
    const QList<DecodedThumbnail> decoded = QtConcurrent::blockingMapped(
        QList<const Thumbnail*>(batch.begin(), batch.end()),
        [pixels](const Thumbnail* item) { return decodeThumbnail(item->imageData(), pixels); });
    QPixmap requested;
    for (qsizetype i = 0; i < decoded.size(); ++i) {
        const Thumbnail* item = batch[size_t(i)];
        const auto& [image, declared] = decoded[i];
        QPixmap pixmap;
        if (image.isNull()) {
            printLine(QStringLiteral("Gallery: the picture of \u201c%1\u201d cannot be shown (%2); "
                                     "its row shows the title only.")
                          .arg(item->fileName(),
                               declared.isValid()
                                   ? QStringLiteral("%1 x %2 pixels, damaged or too large")
                                         .arg(declared.width())
                                         .arg(declared.height())
                                   : QStringLiteral("not a PNG picture")));
        } else {
            pixmap = QPixmap::fromImage(image);
            pixmap.setDevicePixelRatio(scale);
        }
        if (i == 0) {
            requested = pixmap;
        }
        pixmaps_.insert(item->id(), new QPixmap(pixmap));
    }
    return requested;
}

SwipeActionRow* ResultViewController::rowAt(SwipeActionList* list, int row) {
    if (row < 0 || row >= static_cast<int>(thumbnailArray.size())) {
        return nullptr;
    }
    auto* cell = static_cast<customTableViewCell*>(
        list->dequeueReusableRow(customTableViewCell::kReuseIdentifier, row));
    if (!cell) {
        return nullptr;
    }
    const Thumbnail* thumbnail = thumbnailArray[static_cast<size_t>(row)];
    // Image data that does not decode leaves the picture empty; the title still shows.
    cell->imgView->setPixmap(thumbnailPixmap(thumbnail, cell->imgView->minimumSize()));
    cell->label->setText(thumbnail->fileName());
    cell->setAccessibleName(thumbnail->fileName().isEmpty()
                                ? tr("Untitled drawing")
                                : tr("Drawing \u201c%1\u201d").arg(thumbnail->fileName()));
    cell->setAccessibleDescription(tr("Saved %1").arg(thumbnail->date()));
    return cell;
}

void ResultViewController::didSelectRow(SwipeActionList* list, int row) {
    list->deselectRow(row, true);
    if (row < 0 || row >= static_cast<int>(thumbnailArray.size())) {
        return;
    }
    Drawing* drawing = thumbnailArray[static_cast<size_t>(row)]->drawing();
    if (!drawing) {
        // Opening the editor on nothing would start a blank canvas that saves as a new
        // drawing: not what the row promised.
        printLine(
            QStringLiteral("Gallery: the drawing of this row is missing; it cannot be opened."));
        return;
    }
    openEditor(drawing);
}

SwipeActionsConfiguration ResultViewController::trailingSwipeActions(SwipeActionList* /*list*/,
                                                                     int row) {
    if (row < 0 || row >= static_cast<int>(thumbnailArray.size())) {
        return {};
    }
    // Handlers find their row again by record: the list may have changed in between.
    Thumbnail* thumbnail = thumbnailArray[static_cast<size_t>(row)];
    QPointer<ResultViewController> self = this;
    SwipeAction remove;
    remove.style = SwipeAction::Style::destructive;
    remove.title = tr("Delete");
    remove.backgroundColor = Color::red().toQColor();
    remove.handler = [self, thumbnail](const SwipeAction::Completion& completion) {
        if (!self || self->indexOf(thumbnail) < 0) {
            completion(false);
            return;
        }
        self->deleteRow(thumbnail);
        completion(true);
    };
    SwipeAction duplicate;
    duplicate.style = SwipeAction::Style::normal;
    duplicate.title = tr("Duplicate");
    duplicate.backgroundColor = Color::darkGray().toQColor();
    duplicate.handler = [self, thumbnail](const SwipeAction::Completion& completion) {
        completion(self && self->duplicateRow(thumbnail));
    };
    return {{remove, duplicate}, true};
}

void ResultViewController::deleteRow(Thumbnail* thumbnail) {
    const int index = indexOf(thumbnail);
    if (index < 0) {
        return;
    }
    thumbnailArray.erase(thumbnailArray.begin() + index);
    CoreDataManager::deleteThumbnail(thumbnail);
    pixmaps_.remove(thumbnail->id());
    tableView->reloadData();
}

bool ResultViewController::duplicateRow(Thumbnail* row) {
    if (indexOf(row) < 0) {
        return false;
    }
    Drawing* drawing = row->drawing();
    Thumbnail* thumbnail = drawing ? drawing->thumbnail() : nullptr;
    if (!thumbnail) {
        printLine(QStringLiteral(
            "Gallery: the drawing of this row is missing; it cannot be duplicated."));
        return false;
    }
    Drawing* copy = Drawing::create(drawing->colorArray(), drawing->width(), drawing->height());
    Thumbnail* copyThumbnail =
        Thumbnail::create(thumbnail->fileName(), thumbnail->date(), thumbnail->imageData());
    if (!copy || !copyThumbnail) {
        return false;
    }
    copy->setThumbnail(copyThumbnail);
    copyThumbnail->setDrawing(copy);
    CoreDataManager::saveDuplicate(copy);
    loadThumbnails();
    tableView->reloadData();
    return true;
}

void ResultViewController::openEditor(Drawing* drawing) {
    PlatformViewController* screen = Storyboard::main().instantiateViewController("draw");
    auto* editor = qobject_cast<DrawingViewController*>(screen);
    if (!editor) {
        delete screen;
        return;
    }
    editor->setModalPresentationStyle(ModalPresentationStyle::fullScreen);
    editor->previousDrawing = drawing;
    keepRecordFor(editor, drawing);  // the editor's plain pointer stays good while it is open
    // A save in the editor replaces the drawing's thumbnail with a new one, listed last;
    // without a fresh list this screen would go on showing, and offering to delete, a
    // record that is gone.
    // Queued: an editor that goes without Exit throws its unsaved records away as it goes,
    // and the list must not pick them up before.
    connect(
        editor, &QObject::destroyed, this,
        [this] {
            loadThumbnails();
            tableView->reloadData();
        },
        Qt::QueuedConnection);
    present(editor, true);
}

void ResultViewController::backPressed() {
    dismiss(true);
}
