#include "screens/activity_view_controller.h"

#include <QAbstractItemView>
#include <QClipboard>
#include <QComboBox>
#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>
#include <algorithm>

#include <sys/stat.h>
#include <unistd.h>
#include "imaging/picture_file_writer.h"
#include "imaging/pictures_folder.h"
#include "platform/app_paths.h"
#include "platform/private_files.h"
#include "platform/screen_metrics.h"
#include "screens/activity_type.h"
#include "screens/screen_stack.h"
#include "widgets/card_widget.h"
#include "widgets/sheet_style.h"

namespace {
constexpr int kGap = 8;
constexpr int kPreviewSize = 64;
constexpr int kIconSize = 26;
// Copies made for the image viewer are removed on a later share once this old.
constexpr qint64 kViewerCopyLifetimeSeconds = 24 * 60 * 60;

QString quoted(const QString& text) {
    return QStringLiteral("\u201C%1\u201D").arg(text);
}

// Line icons drawn in code so that they stay crisp at any scale.
QIcon activityIcon(const QString& type, qreal scale) {
    const int side = int(kIconSize * scale);
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(scale, scale);
    QPen pen(SheetStyle::accent(), 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    if (type == ActivityType::saveToPictures) {
        painter.drawRoundedRect(QRectF(3, 5, 20, 16), 3, 3);
        painter.drawEllipse(QPointF(9, 10.5), 1.8, 1.8);
        QPainterPath hills;
        hills.moveTo(4, 19.5);
        hills.lineTo(10, 14);
        hills.lineTo(13.5, 17);
        hills.lineTo(17, 13);
        hills.lineTo(22, 18.5);
        painter.drawPath(hills);
    } else if (type == ActivityType::saveAs) {
        QPainterPath folder;
        folder.moveTo(3, 7);
        folder.lineTo(3, 20);
        folder.quadTo(3, 21, 4, 21);
        folder.lineTo(22, 21);
        folder.quadTo(23, 21, 23, 20);
        folder.lineTo(23, 9.5);
        folder.quadTo(23, 8.5, 22, 8.5);
        folder.lineTo(12, 8.5);
        folder.lineTo(10, 5.5);
        folder.lineTo(4, 5.5);
        folder.quadTo(3, 5.5, 3, 7);
        painter.drawPath(folder);
        painter.drawLine(QPointF(13, 12), QPointF(13, 18));
        painter.drawLine(QPointF(10, 15), QPointF(16, 15));
    } else if (type == ActivityType::openInImageViewer) {
        QPainterPath box;
        box.moveTo(11, 5);
        box.lineTo(6, 5);
        box.quadTo(4, 5, 4, 7);
        box.lineTo(4, 20);
        box.quadTo(4, 22, 6, 22);
        box.lineTo(19, 22);
        box.quadTo(21, 22, 21, 20);
        box.lineTo(21, 15);
        painter.drawPath(box);
        painter.drawLine(QPointF(12, 14), QPointF(22, 4));
        painter.drawLine(QPointF(16, 4), QPointF(22, 4));
        painter.drawLine(QPointF(22, 4), QPointF(22, 10));
    } else {
        painter.drawRoundedRect(QRectF(8, 3.5, 13, 15), 2.5, 2.5);
        painter.drawRoundedRect(QRectF(4, 8, 13, 15), 2.5, 2.5);
    }
    painter.end();
    pixmap.setDevicePixelRatio(scale);
    return QIcon(pixmap);
}

QPixmap previewPixmap(const QImage& image, qreal scale) {
    const int side = int(kPreviewSize * scale);
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);
    if (image.isNull()) {
        return pixmap;
    }
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    QPainterPath clip;
    clip.addRoundedRect(QRectF(0, 0, side, side), 10 * scale, 10 * scale);
    painter.fillPath(clip, QColor(Qt::white));
    painter.setClipPath(clip);
    const QSize fitted = image.size().scaled(side, side, Qt::KeepAspectRatio);
    const QRect target((side - fitted.width()) / 2, (side - fitted.height()) / 2, fitted.width(),
                       fitted.height());
    painter.drawImage(target, image);
    painter.setClipping(false);
    painter.setPen(QPen(SheetStyle::separator(), scale));
    painter.drawPath(clip);
    painter.end();
    pixmap.setDevicePixelRatio(scale);
    return pixmap;
}

// The height a card needs at width; labels that wrap make it depend on the width.
int heightAt(QWidget* widget, int width) {
    return widget->hasHeightForWidth() ? widget->heightForWidth(width)
                                       : widget->sizeHint().height();
}

// Only files this sheet writes there: finished copies, and parts a crash left behind.
void removeOldViewerCopies(const QString& folder) {
    static const QRegularExpression ownName(QStringLiteral(
        "^(Tilebloom \\d{4}-\\d{2}-\\d{2} at \\d{2}\\.\\d{2}\\.\\d{2}( \\(\\d+\\))?\\.png|"
        "\\.tilebloom-[0-9a-f-]{36}\\.part)$"));
    const qint64 cutoff = QDateTime::currentSecsSinceEpoch() - kViewerCopyLifetimeSeconds;
    const QStringList names =
        QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& name : names) {
        if (!ownName.match(name).hasMatch()) {
            continue;
        }
        const QByteArray path = QFile::encodeName(QDir(folder).filePath(name));
        struct stat info {};
        if (::lstat(path.constData(), &info) == 0 && S_ISREG(info.st_mode) &&
            info.st_mtime < cutoff) {
            ::unlink(path.constData());
        }
    }
}

// Qt's own dialog adds the suffix before it asks whether to replace a file, so the question
// is about the file that will be written; desktop dialogs ask about the name as typed.
QString askForSaveFileName(QWidget* parent, const QString& suggested) {
    QFileDialog dialog(parent, QStringLiteral("Save Picture As"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(QStringLiteral("PNG image (*.png)"));
    dialog.setDefaultSuffix(QStringLiteral("png"));
    dialog.setDirectory(QFileInfo(suggested).absolutePath());
    dialog.selectFile(QFileInfo(suggested).fileName());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return QString();
    }
    return dialog.selectedFiles().first();
}
}  // namespace

ActivityViewController::ActivityViewController(const QList<QImage>& activityItems, QWidget* parent)
    : OverlayScreen(parent),
      picturesFolder_(PicturesFolder::location()),
      viewerFolder_(AppPaths::viewerDirectory()),
      card_(new CardWidget(this)),
      closeCard_(new CardWidget(this)),
      cardLayout_(new QVBoxLayout(card_)),
      statusLabel_(new QLabel(card_)),
      closeButton_(new QPushButton(QStringLiteral("Cancel"))) {
    for (const QImage& item : activityItems) {
        if (!item.isNull()) {
            items_.append(item);
        }
    }
    if (ScreenMetrics::main().width >= 600) {
        popover_ = std::make_unique<PopoverPresentationController>();
    }
    setAccessibleName(QStringLiteral("Share"));
    saveFileNameProvider_ = askForSaveFileName;
    urlOpener_ = [](const QUrl& url) { return QDesktopServices::openUrl(url); };

    cardLayout_->setContentsMargins(0, 0, 0, 0);
    cardLayout_->setSpacing(0);

    // Header: what is being shared.
    auto* header = new QWidget(card_);
    auto* headerLayout = new QHBoxLayout(header);
    headerLayout->setContentsMargins(16, 14, 16, 14);
    headerLayout->setSpacing(14);
    auto* preview = new QLabel(header);
    preview->setFixedSize(kPreviewSize, kPreviewSize);
    preview->setPixmap(
        previewPixmap(items_.isEmpty() ? QImage() : items_.first(), qApp->devicePixelRatio()));
    preview->setAccessibleName(QStringLiteral("Preview"));
    headerLayout->addWidget(preview);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    auto* title = new QLabel(items_.size() > 1 ? QStringLiteral("%1 Pictures").arg(items_.size())
                                               : QStringLiteral("Picture"),
                             header);
    title->setFont(SheetStyle::font(17, QFont::DemiBold));
    QString detail = QStringLiteral("Nothing to share");
    if (!items_.isEmpty()) {
        detail = QStringLiteral("%1 \u00D7 %2 pixels \u00B7 PNG")
                     .arg(items_.first().width())
                     .arg(items_.first().height());
    }
    auto* subtitle = new QLabel(detail, header);
    subtitle->setFont(SheetStyle::font(14));
    QPalette secondary = subtitle->palette();
    secondary.setColor(QPalette::WindowText, SheetStyle::secondaryText());
    subtitle->setPalette(secondary);
    texts->addStretch();
    texts->addWidget(title);
    texts->addWidget(subtitle);
    texts->addStretch();
    headerLayout->addLayout(texts, 1);
    cardLayout_->addWidget(header);

    statusLabel_->setWordWrap(true);
    statusLabel_->setFont(SheetStyle::font(15));
    statusLabel_->setContentsMargins(16, 12, 16, 14);
    statusLabel_->setTextFormat(Qt::PlainText);
    statusLabel_->hide();

    closeButton_->setAccessibleName(QStringLiteral("Cancel"));
    connect(closeButton_, &QPushButton::clicked, this, &ActivityViewController::closeSheet);
    auto* closeLayout = new QVBoxLayout(closeCard_);
    closeLayout->setContentsMargins(0, 0, 0, 0);
    closeCard_->setColor(QColor(Qt::white));
    if (popover_) {
        // A popover keeps everything in one card.
        SheetStyle::styleFlatButton(closeButton_, SheetStyle::accent(), true, Qt::AlignCenter,
                                    QStringLiteral("bl br"));
        closeCard_->hide();
    } else {
        SheetStyle::styleFlatButton(closeButton_, SheetStyle::accent(), true, Qt::AlignCenter,
                                    QStringLiteral("tl tr bl br"));
        closeLayout->addWidget(closeButton_);
    }
    rebuildRows();
}

ActivityViewController::~ActivityViewController() = default;

QWidget* ActivityViewController::card() const {
    return card_;
}

QStringList ActivityViewController::availableActivityTypes() {
    return {ActivityType::saveToPictures, ActivityType::saveAs, ActivityType::openInImageViewer,
            ActivityType::copyToPasteboard};
}

QString ActivityViewController::titleForActivityType(const QString& type) {
    if (type == ActivityType::saveToPictures) {
        return QStringLiteral("Save to Pictures");
    }
    if (type == ActivityType::saveAs) {
        return QStringLiteral("Save As\u2026");
    }
    if (type == ActivityType::openInImageViewer) {
        return QStringLiteral("Open in Image Viewer");
    }
    if (type == ActivityType::copyToPasteboard) {
        return QStringLiteral("Copy");
    }
    return QString();
}

QStringList ActivityViewController::offeredActivityTypes() const {
    QStringList offered;
    for (const QString& type : availableActivityTypes()) {
        if (!excluded_.contains(type)) {
            offered.append(type);
        }
    }
    return offered;
}

void ActivityViewController::setExcludedActivityTypes(const QStringList& types) {
    excluded_ = types;
    rebuildRows();
}

void ActivityViewController::setCompletionWithItemsHandler(CompletionWithItemsHandler handler) {
    completion_ = std::move(handler);
}

void ActivityViewController::setSaveFileNameProvider(SaveFileNameProvider provider) {
    saveFileNameProvider_ = std::move(provider);
}

void ActivityViewController::setUrlOpener(UrlOpener opener) {
    urlOpener_ = std::move(opener);
}

void ActivityViewController::setSaveAsChoices(const QList<SaveAsChoice>& choices) {
    saveAsChoices_ = choices;
    rebuildRows();
}

QString ActivityViewController::fileNameForTitle(const QString& title) {
    QString name;
    for (const QChar c : title) {
        name += (c.category() == QChar::Other_Control || c == QLatin1Char('/') ||
                 c == QLatin1Char('\\'))
                    ? QLatin1Char('-')
                    : c;
    }
    name = name.trimmed();
    while (name.startsWith(QLatin1Char('.'))) {
        name.remove(0, 1);
    }
    return name.left(120).trimmed();
}

QPushButton* ActivityViewController::activityButton(const QString& type) const {
    const auto it = rows_.find(type);
    return it == rows_.end() ? nullptr : it->second;
}

void ActivityViewController::rebuildRows() {
    if (rowsArea_) {
        // The status line and, in a popover, the close button outlive the rows.
        statusLabel_->setParent(card_);
        if (popover_) {
            closeButton_->setParent(card_);
        }
        delete rowsArea_;
    }
    rows_.clear();
    rowsArea_ = new QWidget(card_);
    auto* layout = new QVBoxLayout(rowsArea_);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    const QStringList offered = offeredActivityTypes();
    const qreal scale = qApp->devicePixelRatio();
    saveAsSizeBox_ = nullptr;  // went with the old rows
    for (int i = 0; i < offered.size(); ++i) {
        const QString type = offered[i];
        layout->addWidget(SheetStyle::makeSeparator(Qt::Horizontal, rowsArea_));
        auto* row = new QPushButton(titleForActivityType(type), rowsArea_);
        row->setAccessibleName(titleForActivityType(type));
        row->setIcon(activityIcon(type, scale));
        row->setIconSize(QSize(kIconSize, kIconSize));
        const bool last = i + 1 == offered.size() && !popover_;
        SheetStyle::styleFlatButton(row, SheetStyle::text(), false, Qt::AlignLeft,
                                    last ? QStringLiteral("bl br") : QString());
        row->setMinimumHeight(kRowHeight);
        row->setEnabled(!items_.isEmpty());
        connect(row, &QPushButton::clicked, this, [this, type] { performActivity(type); });
        layout->addWidget(row);
        rows_[type] = row;
        if (type == ActivityType::saveAs && !saveAsChoices_.isEmpty()) {
            auto* sizeRow = new QWidget(rowsArea_);
            auto* sizeLayout = new QHBoxLayout(sizeRow);
            sizeLayout->setContentsMargins(16, 0, 16, 8);
            auto* label = new QLabel(QStringLiteral("Size"), sizeRow);
            label->setFont(SheetStyle::font(15));
            saveAsSizeBox_ = new QComboBox(sizeRow);
            saveAsSizeBox_->setAccessibleName(QStringLiteral("Save As size"));
            saveAsSizeBox_->view()->setAccessibleName(QStringLiteral("Picture sizes"));
            saveAsSizeBox_->setToolTip(QStringLiteral("The size of the picture Save As writes"));
            for (const SaveAsChoice& choice : saveAsChoices_) {
                saveAsSizeBox_->addItem(choice.title);
            }
            saveAsSizeBox_->setEnabled(!items_.isEmpty());
            label->setBuddy(saveAsSizeBox_);
            sizeLayout->addWidget(label);
            sizeLayout->addWidget(saveAsSizeBox_, 1);
            layout->addWidget(sizeRow);
        }
    }
    layout->addWidget(statusLabel_);
    if (popover_) {
        layout->addWidget(SheetStyle::makeSeparator(Qt::Horizontal, rowsArea_));
        layout->addWidget(closeButton_);
    }
    cardLayout_->addWidget(rowsArea_);
    statusLabel_->setVisible(!statusLabel_->text().isEmpty());
    closeButton_->show();
    if (items_.isEmpty()) {
        showStatus(QStringLiteral("There is no picture to share."), true);
    }
    if (isViewLoaded()) {
        layoutCards();
    }
}

QString ActivityViewController::statusText() const {
    return statusLabel_->text();
}

void ActivityViewController::showStatus(const QString& text, bool isError) {
    statusIsError_ = isError;
    statusLabel_->setText(text);
    QPalette palette = statusLabel_->palette();
    palette.setColor(QPalette::WindowText,
                     isError ? SheetStyle::destructive() : SheetStyle::success());
    statusLabel_->setPalette(palette);
    statusLabel_->setAccessibleName(text);
    statusLabel_->setVisible(!text.isEmpty());
    if (isViewLoaded()) {
        layoutCards();
    }
}

bool ActivityViewController::performActivity(const QString& type) {
    if (closing_ || !offeredActivityTypes().contains(type) || items_.isEmpty()) {
        return false;
    }
    Outcome outcome;
    if (type == ActivityType::saveToPictures) {
        outcome = saveToPictures();
    } else if (type == ActivityType::saveAs) {
        outcome = saveAs();
    } else if (type == ActivityType::openInImageViewer) {
        outcome = openInImageViewer();
    } else {
        outcome = copyToPasteboard();
    }
    if (!outcome.completed && outcome.error.isEmpty()) {
        return false;  // the user cancelled a dialog; nothing happened
    }
    lastType_ = type;
    lastCompleted_ = outcome.completed;
    lastError_ = outcome.error;
    if (outcome.completed) {
        showStatus(outcome.message, false);
        closeButton_->setText(QStringLiteral("Done"));
        closeButton_->setAccessibleName(QStringLiteral("Done"));
    } else {
        showStatus(outcome.error, true);
    }
    return outcome.completed;
}

ActivityViewController::Outcome ActivityViewController::saveToPictures() {
    Outcome outcome;
    lastWritten_.clear();
    const QString folder = PicturesFolder::saveFolder(picturesFolder_);
    for (const QImage& image : items_) {
        const PictureFileWriter::Result written = PictureFileWriter::writeNew(image, folder);
        if (!written.ok()) {
            outcome.error = QStringLiteral("Couldn\u2019t save the picture. ") + written.error;
            return outcome;
        }
        lastWritten_.append(written.path);
    }
    outcome.completed = true;
    outcome.message = lastWritten_.size() == 1
                          ? QStringLiteral("Saved to %1.")
                                .arg(quoted(PicturesFolder::displayPath(lastWritten_[0])))
                          : QStringLiteral("Saved %1 pictures to %2.")
                                .arg(lastWritten_.size())
                                .arg(quoted(PicturesFolder::displayPath(folder)));
    return outcome;
}

ActivityViewController::Outcome ActivityViewController::saveAs() {
    Outcome outcome;
    QStringList written;
    QList<QImage> pictures = items_;
    if (!saveAsChoices_.isEmpty()) {
        // One picture, at the chosen size.
        const int index = saveAsSizeBox_ ? std::max(0, saveAsSizeBox_->currentIndex()) : 0;
        const SaveAsChoice& choice =
            saveAsChoices_[std::min(index, int(saveAsChoices_.size()) - 1)];
        const QImage picture = choice.render ? choice.render() : QImage();
        if (picture.isNull()) {
            outcome.error =
                QStringLiteral("Couldn\u2019t make the picture at %1.").arg(choice.title);
            return outcome;
        }
        pictures = {picture};
    }
    const QString titleName = fileNameForTitle(suggestedFileName_);
    for (const QImage& image : pictures) {
        const QString suggested =
            QDir(picturesFolder_)
                .filePath(titleName.isEmpty()
                              ? PictureFileWriter::fileName(QDateTime::currentDateTime())
                              : titleName + QStringLiteral(".png"));
        QString path = saveFileNameProvider_ ? saveFileNameProvider_(this, suggested) : QString();
        if (path.isEmpty()) {
            break;  // cancelled: what was saved so far stays saved
        }
        if (!path.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive)) {
            path += QStringLiteral(".png");
        }
        const PictureFileWriter::Result result = PictureFileWriter::writeTo(image, path);
        if (!result.ok()) {
            outcome.error = QStringLiteral("Couldn\u2019t save the picture. ") + result.error;
            lastWritten_ = written;
            return outcome;
        }
        written.append(result.path);
    }
    if (written.isEmpty()) {
        return outcome;
    }
    lastWritten_ = written;
    outcome.completed = true;
    outcome.message =
        QStringLiteral("Saved to %1.").arg(quoted(PicturesFolder::displayPath(written.last())));
    return outcome;
}

ActivityViewController::Outcome ActivityViewController::openInImageViewer() {
    Outcome outcome;
    lastWritten_.clear();
    // Other users must not see the copy, nor trick the sheet into writing or deleting
    // elsewhere: the folder is the user's own, not a link, and closed to others.
    const QString folderError =
        PrivateFiles::makeFolder(viewerFolder_, PrivateFiles::Links::refuse);
    if (!folderError.isEmpty()) {
        outcome.error = QStringLiteral("Couldn\u2019t open the picture. ") + folderError;
        return outcome;
    }
    removeOldViewerCopies(viewerFolder_);
    for (const QImage& image : items_) {
        const PictureFileWriter::Result written =
            PictureFileWriter::writeNew(image, viewerFolder_, QDateTime::currentDateTime(),
                                        PictureFileWriter::Access::ownerOnly);
        if (!written.ok()) {
            outcome.error = QStringLiteral("Couldn\u2019t open the picture. ") + written.error;
            return outcome;
        }
        if (!urlOpener_ || !urlOpener_(QUrl::fromLocalFile(written.path))) {
            QFile::remove(written.path);
            outcome.error = QStringLiteral(
                "Couldn\u2019t open the picture: no image viewer is set up on this computer.");
            return outcome;
        }
        lastWritten_.append(written.path);
    }
    outcome.completed = true;
    outcome.message = QStringLiteral("Opened in the image viewer.");
    return outcome;
}

ActivityViewController::Outcome ActivityViewController::copyToPasteboard() {
    Outcome outcome;
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard) {
        outcome.error = QStringLiteral("Couldn\u2019t copy the picture: there is no clipboard.");
        return outcome;
    }
    clipboard->setImage(items_.first());
    outcome.completed = true;
    outcome.message = QStringLiteral("Copied to the clipboard.");
    return outcome;
}

void ActivityViewController::closeSheet() {
    if (closing_) {
        return;
    }
    closing_ = true;
    std::function<void()> completion;
    if (completion_) {
        completion = [handler = completion_, type = lastType_, completed = lastCompleted_,
                      error = lastError_] { handler(type, completed, error); };
    }
    ScreenStack* stack = screenStack();
    if (stack && stack->presentingViewController(this)) {
        stack->dismiss(this, true, completion);
        return;
    }
    hide();
    if (completion) {
        completion();
    }
}

QRect ActivityViewController::popoverSourceRect() const {
    QWidget* source = popover_ ? popover_->sourceView() : nullptr;
    if (!source || source->window() != window()) {
        return QRect();
    }
    const QRect local =
        popover_->sourceRect().isEmpty() ? source->rect() : popover_->sourceRect().toAlignedRect();
    const QPoint topLeft = mapFrom(window(), source->mapTo(window(), local.topLeft()));
    return QRect(topLeft, local.size());
}

void ActivityViewController::layoutCards() {
    const int margin = SheetStyle::kMargin;
    cardLayout_->activate();
    if (popover_) {
        const int w = std::min(kPopoverWidth, std::max(0, width() - 2 * margin));
        const int h = std::min(heightAt(card_, w), std::max(0, height() - 2 * margin));
        const QRect source = popoverSourceRect();
        QPoint origin((width() - w) / 2, (height() - h) / 2);
        if (!source.isEmpty()) {
            origin.setX(source.center().x() - w / 2);
            if (source.bottom() + kGap + h <= height() - margin) {
                origin.setY(source.bottom() + kGap);
            } else if (source.top() - kGap - h >= margin) {
                origin.setY(source.top() - kGap - h);
            } else {
                origin.setY(source.center().y() - h / 2);
            }
        }
        origin.setX(std::clamp(origin.x(), margin, std::max(margin, width() - margin - w)));
        origin.setY(std::clamp(origin.y(), margin, std::max(margin, height() - margin - h)));
        card_->setGeometry(QRect(origin, QSize(w, h)));
        return;
    }
    const int w = std::min(kPhoneMaxWidth, std::max(0, width() - 2 * kGap));
    const int x = (width() - w) / 2;
    const int closeHeight = SheetStyle::kButtonHeight + 6;
    const int closeY = height() - kGap - closeHeight;
    closeCard_->setGeometry(x, closeY, w, closeHeight);
    const int h = std::min(heightAt(card_, w), std::max(0, closeY - 2 * kGap));
    card_->setGeometry(x, closeY - kGap - h, w, h);
}

void ActivityViewController::viewDidLayoutSubviews() {
    layoutCards();
}

void ActivityViewController::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Escape:
            closeSheet();
            event->accept();
            return;
        case Qt::Key_Down:
            focusNextChild();
            event->accept();
            return;
        case Qt::Key_Up:
            focusPreviousChild();
            event->accept();
            return;
        default:
            OverlayScreen::keyPressEvent(event);
    }
}

void ActivityViewController::backdropTapped() {
    closeSheet();
}
