#include "editor/drawing_saver.h"

#include <QClipboard>
#include <QDateTime>
#include <QGuiApplication>
#include <QLineEdit>
#include <QLocale>
#include <QPainter>
#include <QPointer>
#include <QRegularExpression>
#include <algorithm>

#include "canvas/canvas.h"
#include "canvas/canvas_view.h"
#include "editor/draft_keeper.h"
#include "editor/drawing_view_controller.h"
#include "export/exact_scale_export.h"
#include "export/picture_exporter.h"
#include "imaging/png_encoder.h"
#include "platform/impact_feedback_generator.h"
#include "screens/activity_type.h"
#include "screens/alert_controller.h"
#include "screens/popover_presentation_controller.h"
#include "store/core_data_manager.h"
#include "store/drawing.h"
#include "store/managed_object_context.h"
#include "store/thumbnail.h"

namespace {
// The shared and copied picture's longer side, in points.
constexpr int64_t kSharedSide = 1000;
// The gallery's picture of a drawing, in points, square whatever the grid.
constexpr int64_t kThumbnailSide = 300;

// The thumbnail: a grid that is not square keeps square cells, centred, with clear room on
// either side, rather than stretched to fill the square.
std::optional<QImage> thumbnailOf(const PictureExporter& exporter) {
    if (exporter.canvasWidth == exporter.canvasHeight) {
        return exporter.exportImage(kThumbnailSide, kThumbnailSide);
    }
    const std::optional<QImage> cells = exporter.exportSquareCells(kThumbnailSide);
    if (!cells) {
        return std::nullopt;
    }
    const int side = std::max(cells->width(), cells->height());
    QImage framed(side, side, QImage::Format_ARGB32);
    framed.fill(Qt::transparent);
    {
        QPainter painter(&framed);
        painter.drawImage(QPoint((side - cells->width()) / 2, (side - cells->height()) / 2),
                          *cells);
    }
    framed.setDevicePixelRatio(cells->devicePixelRatio());
    return framed;
}

// The date as a long date and a short time in the user's locale, without the weekday.
QString savedAtText(const QDateTime& moment) {
    const QLocale locale;
    QString pattern = locale.dateFormat(QLocale::LongFormat);
    pattern.remove(QRegularExpression(QStringLiteral("d{4}[,.]?\\s*")));
    return locale.toString(moment.date(), pattern.trimmed()) + QStringLiteral(", ") +
           locale.toString(moment.time(), QLocale::ShortFormat);
}
}  // namespace

void DrawingSaver::copyPictureToClipboard() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!editor_.canvasView || !clipboard) {
        return;
    }
    // From the canvas itself: copying is not sharing and leaves the stored record alone.
    const Canvas* canvas = editor_.canvasView->canvas();
    const PictureExporter exporter(canvas->getColorArray(), canvas->width, canvas->height);
    if (const std::optional<QImage> image = exporter.exportSquareCells(kSharedSide)) {
        clipboard->setImage(*image);
    }
}

void DrawingSaver::showSaveAlert() {
    ImpactFeedbackGenerator(ImpactFeedbackGenerator::FeedbackStyle::light).impactOccurred();
    auto* alert = new AlertController(QStringLiteral("Save Tilebloom"), QString());
    alert->addTextField([](QLineEdit* field) {
        field->setPlaceholderText(QStringLiteral("Title"));
        field->setAccessibleName(QStringLiteral("Title"));
    });
    const QPointer<AlertController> weakAlert(alert);
    alert->addAction(
        AlertAction(QStringLiteral("Save"), AlertActionStyle::defaultStyle, [this, weakAlert] {
            if (!weakAlert || weakAlert->textFields().isEmpty()) {
                return;
            }
            saveCurrentDrawing(weakAlert->textFields().first()->text());
        }));
    alert->addAction(AlertAction(QStringLiteral("Cancel"), AlertActionStyle::cancel, [weakAlert] {
        if (weakAlert) {
            weakAlert->dismiss(true);
        }
    }));
    editor_.present(alert, true);
}

bool DrawingSaver::updateDrawingRecord() {
    if (!editor_.canvasView) {
        return false;
    }
    const Canvas* canvas = editor_.canvasView->canvas();
    std::vector<Color> colors = canvas->getColorArray();
    if (editor_.previousDrawing) {
        editor_.previousDrawing->setColorArray(std::move(colors));
        // A stored size the canvas could not show was replaced by a sound one: the record
        // takes the size of the cells it now holds, so that it can be exported and reopened.
        editor_.previousDrawing->setWidth(canvas->width);
        editor_.previousDrawing->setHeight(canvas->height);
    } else {
        editor_.previousDrawing = Drawing::create(std::move(colors), canvas->width, canvas->height);
    }
    if (editor_.previousDrawing && editor_.drawing != editor_.previousDrawing) {
        // Held while the editor lives. An editor that goes without Save or Exit (closed by
        // anything else) throws away what it left unsaved, so that no later save writes it.
        QObject::connect(&editor_, &QObject::destroyed,
                         [held = RecordRef<Drawing>(editor_.previousDrawing)] {
                             ManagedObjectContext* context = held->managedObjectContext();
                             if (context && held->hasChanges()) {
                                 context->rollback();
                             }
                         });
    }
    editor_.drawing = editor_.previousDrawing;
    refreshPictureExporter();
    return true;
}

void DrawingSaver::saveCurrentDrawing(const QString& title) {
    if (!updateDrawingRecord() || !editor_.pictureExporter) {
        return;
    }
    const std::optional<QImage> image = thumbnailOf(*editor_.pictureExporter);
    if (!image) {
        return;
    }
    const QByteArray png = PngEncoder::encode(*image);
    if (png.isEmpty()) {
        return;
    }
    if (!storeDrawingWithThumbnail(png, title)) {
        // The store said no: closing now would lose the drawing, so the editor stays.
        // A store that could not be opened is not a full disk: the user's file is kept.
        auto* alert = new AlertController(
            QStringLiteral("Could not save"),
            CoreDataManager::storeIsOpen()
                ? QStringLiteral("Your drawing is still open. Check that there is free space "
                                 "and try again.")
                : QStringLiteral("Your drawings could not be opened. The file was kept as it "
                                 "is."));
        alert->addAction(AlertAction(QStringLiteral("OK"), AlertActionStyle::cancel));
        editor_.present(alert, true);
        return;
    }
    editor_.dismiss(true);
}

void DrawingSaver::refreshPictureExporter() {
    if (!editor_.drawing) {
        editor_.pictureExporter.reset();
        return;
    }
    editor_.pictureExporter = std::make_unique<PictureExporter>(
        editor_.drawing->colorArray(), editor_.drawing->width(), editor_.drawing->height());
}

bool DrawingSaver::storeDrawingWithThumbnail(const QByteArray& pngData, const QString& title) {
    if (!editor_.drawing) {
        return false;
    }
    const QString date = savedAtText(QDateTime::currentDateTime());
    Thumbnail* thumbnail = Thumbnail::create(title, date, pngData);
    if (!thumbnail) {
        return false;
    }
    Thumbnail* previous = editor_.drawing->thumbnail();
    editor_.drawing->setThumbnail(thumbnail);
    thumbnail->setDrawing(editor_.drawing);
    // The draft goes in the transaction that stores the drawing: a crash leaves one or the
    // other. Written up to date first, so that a refused save leaves it current.
    ManagedObjectContext::WithinSave deleteDraft;
    DraftKeeper* draft = editor_.draftKeeper();
    if (draft) {
        draft->flush();
        deleteDraft = draft->discardWithinSave();
    }
    CoreDataManager::saveDrawing(editor_.drawing, previous, deleteDraft);
    ManagedObjectContext* context = editor_.drawing->managedObjectContext();
    // A save that failed leaves its changes pending in the context.
    const bool saved = context && !context->hasChanges();
    if (saved && draft) {
        draft->close();
    }
    return saved;
}

void DrawingSaver::showExitAlert() {
    auto* alert =
        new AlertController(QStringLiteral("Are you sure?"),
                            QStringLiteral("Your draw will be lost if you don\u2019t save them."));
    alert->addAction(AlertAction(QStringLiteral("Exit"), AlertActionStyle::defaultStyle, [this] {
        discardUnsavedRecordChanges();
        if (DraftKeeper* draft = editor_.draftKeeper()) {
            draft->discard();
        }
        editor_.dismiss(true);
    }));
    alert->addAction(AlertAction(QStringLiteral("Cancel"), AlertActionStyle::cancel));
    editor_.present(alert, true);
}

void DrawingSaver::discardUnsavedRecordChanges() {
    // Sharing and refused saves left the record, and thumbnails, changed in the store's
    // memory; leaving throws all of it away, so that no later, unrelated save writes it.
    if (editor_.previousDrawing && editor_.previousDrawing->hasChanges()) {
        if (ManagedObjectContext* context = editor_.previousDrawing->managedObjectContext()) {
            context->rollback();
        }
    }
}

void DrawingSaver::shareDrawing() {
    if (!updateDrawingRecord() || !editor_.pictureExporter) {
        return;
    }
    // Square cells: a grid that is not square keeps its shape rather than being stretched.
    const std::optional<QImage> image = editor_.pictureExporter->exportSquareCells(kSharedSide);
    if (!image) {
        return;
    }
    auto* sheet = new ActivityViewController({*image});
    sheet->setExcludedActivityTypes({ActivityType::addToReadingList, ActivityType::assignToContact,
                                     ActivityType::openInIBooks, ActivityType::copyToPasteboard});
    sheet->setSaveAsChoices(saveAsChoices(*image));
    if (editor_.drawing && editor_.drawing->thumbnail()) {
        sheet->setSuggestedFileName(editor_.drawing->thumbnail()->fileName());
    }
    if (PopoverPresentationController* popover = sheet->popoverPresentationController()) {
        popover->setSourceView(&editor_);
    }
    editor_.present(sheet, true);
}

QList<ActivityViewController::SaveAsChoice> DrawingSaver::saveAsChoices(
    const QImage& shared) const {
    QList<ActivityViewController::SaveAsChoice> choices;
    if (!editor_.pictureExporter) {
        return choices;
    }
    const auto size = [](int64_t w, int64_t h) {
        return QStringLiteral("%1 \u00D7 %2 pixels").arg(w).arg(h);
    };
    choices.append({QStringLiteral("%1 points (%2)")
                        .arg(kSharedSide)
                        .arg(size(shared.width(), shared.height())),
                    [shared] { return shared; }});
    // A snapshot of the cells, so that later painting does not change what is saved.
    const auto cells = std::make_shared<PictureExporter>(*editor_.pictureExporter);
    const int64_t w = cells->canvasWidth;
    const int64_t h = cells->canvasHeight;
    for (int scale = 1; scale <= ExactScaleExport::largestScale(w, h); ++scale) {
        choices.append(
            {QStringLiteral("%1\u00D7 (%2)").arg(scale).arg(size(w * scale, h * scale)),
             [cells, scale] {
                 return ExactScaleExport::exportAtScale(*cells, scale).value_or(QImage());
             }});
    }
    return choices;
}
