#include "color/color_picker_view_controller.h"

#include <QAbstractListModel>
#include <QLineEdit>
#include <QListView>
#include <QPainter>
#include <QPainterPath>
#include <QStyledItemDelegate>
#include <algorithm>

#include "color/hex_color.h"
#include "screens/storyboard.h"
#include "store/core_data_manager.h"
#include "ui_color_picker_view_controller.h"
#include "widgets/sheet_style.h"

namespace {
// Keeps light history colours visible on the white sheet.
const QColor kCellEdge(0, 0, 0, 28);
constexpr double kCellInset = 4.0;
constexpr double kCellCornerRadius = 9.0;
}  // namespace

// Presents the picker's history to the list view: one row per cell, the colour as its
// background, grey cells disabled so that they cannot be picked.
class ColorPickerViewController::HistoryModel : public QAbstractListModel {
public:
    HistoryModel(ColorPickerViewController* picker, QObject* parent)
        : QAbstractListModel(parent), picker_(picker) {}

    void reload() {
        beginResetModel();
        endResetModel();
    }

    int rowCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : picker_->numberOfItemsInSection(0);
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid()) {
            return {};
        }
        const HistoryCell cell = picker_->cellForItemAt(index.row());
        switch (role) {
            case Qt::BackgroundRole:
                return cell.contentBackgroundColor.toQColor();
            case Qt::AccessibleTextRole:
            case Qt::ToolTipRole:
                if (!cell.selectable) {
                    return QStringLiteral("Empty");
                }
                return QStringLiteral("Use recent colour %1 (%2)")
                    .arg(index.row() + 1)
                    .arg(cell.contentBackgroundColor.toQColor().name().toUpper());
            default:
                return {};
        }
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override {
        if (!index.isValid() || !picker_->cellForItemAt(index.row()).selectable) {
            return Qt::NoItemFlags;
        }
        return Qt::ItemIsEnabled;
    }

private:
    ColorPickerViewController* picker_;
};

// Draws a history cell as a rounded swatch of its colour, ringed while the pointer is on it.
class ColorPickerViewController::HistoryCellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const QColor color = index.data(Qt::BackgroundRole).value<QColor>();
        const QRectF swatch =
            QRectF(option.rect).adjusted(kCellInset, kCellInset, -kCellInset, -kCellInset);
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing, true);
        QPainterPath path;
        path.addRoundedRect(swatch, kCellCornerRadius, kCellCornerRadius);
        painter->fillPath(path, color);
        painter->setPen(QPen(kCellEdge, 1.0));
        painter->drawPath(path);
        const bool live = index.flags().testFlag(Qt::ItemIsEnabled);
        if (live && option.state.testFlag(QStyle::State_MouseOver)) {
            QPainterPath ring;
            ring.addRoundedRect(swatch.adjusted(-2.5, -2.5, 2.5, 2.5), kCellCornerRadius + 2,
                                kCellCornerRadius + 2);
            painter->setPen(QPen(SheetStyle::accent(), 2.0));
            painter->drawPath(ring);
        }
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override {
        if (const auto* view = qobject_cast<const QListView*>(option.widget)) {
            return view->gridSize();
        }
        return {44, 44};
    }
};

// The wheel's and the bar's indicators may reach past their views' edges (a fully saturated
// colour sits on the rim). Views clip what they paint, so this transparent layer over the
// sheet paints the parts that stick out.
class ColorPickerViewController::IndicatorOverhang : public QWidget {
public:
    IndicatorOverhang(ColorPickerViewController* picker) : QWidget(picker), picker_(picker) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setFocusPolicy(Qt::NoFocus);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        if (ColorWheel* wheel = picker_->colorPicker(); wheel && wheel->isVisibleTo(picker_)) {
            paintOutside(painter, wheel, wheel->indicatorLayer());
        }
        if (BrightnessView* bar = picker_->brightnessView(); bar && bar->isVisibleTo(picker_)) {
            paintOutside(painter, bar, bar->indicator());
        }
    }

private:
    void paintOutside(QPainter& painter, QWidget* view, const ShapeLayer& layer) {
        const QPoint origin = view->mapTo(picker_, QPoint(0, 0)) - pos();
        painter.save();
        painter.setClipRegion(QRegion(rect()).subtracted(QRect(origin, view->size())));
        painter.translate(origin);
        layer.paint(painter);
        painter.restore();
    }

    ColorPickerViewController* picker_;
};

ColorPickerViewController::ColorPickerViewController(QWidget* parent)
    : PlatformViewController(parent) {
    // Built with the controller and kept hidden until the screen places them.
    brightnessView_ = new BrightnessView(QRectF(0, 0, 350, 50), Color::blue(), this);
    brightnessView_->hide();
    colorPicker_ = new ColorWheel(QRectF(0, 0, 200, 200), Color::blue(), this);
    colorPicker_->hide();
    setAccessibleName(QStringLiteral("Colour picker"));
}

ColorPickerViewController::~ColorPickerViewController() = default;

void ColorPickerViewController::registerScreen() {
    Storyboard::main().registerScreen(QString::fromLatin1(kStoryboardIdentifier),
                                      [] { return new ColorPickerViewController; });
}

void ColorPickerViewController::setInitialColor(const Color& color) {
    initialColor_ = color;
    if (!isViewLoaded()) {
        currentColor_ = color;
    }
}

void ColorPickerViewController::viewDidLoad() {
    ui_ = std::make_unique<Ui::ColorPickerViewController>();
    ui_->setupUi(this);
    collectionView_ = ui_->collectionView;
    colorWheel_ = ui_->colorWheel;
    brightView_ = ui_->brightView;

    if (auto history = CoreDataManager::loadColorHistory()) {
        // A colour shows once, where it was chosen last, however many stored entries show it.
        for (const Color& color : *history) {
            if (std::none_of(colorHistory_.begin(), colorHistory_.end(), [&](const Color& shown) {
                    return CoreDataManager::showSameColor(shown, color);
                })) {
                colorHistory_.push_back(color);
            }
        }
    }

    QPalette clear = collectionView_->palette();
    clear.setColor(QPalette::Base, Qt::transparent);
    clear.setColor(QPalette::Window, Qt::transparent);
    collectionView_->setPalette(clear);
    collectionView_->setAutoFillBackground(false);
    collectionView_->viewport()->setAutoFillBackground(false);

    colorPicker_->setColorDelegate(this);
    brightnessView_->setDelegate(this);
    historyModel_ = new HistoryModel(this, this);
    collectionView_->setModel(historyModel_);
    collectionView_->setItemDelegate(new HistoryCellDelegate(collectionView_));
    collectionView_->setMouseTracking(true);
    connect(collectionView_, &QAbstractItemView::clicked, this,
            [this](const QModelIndex& index) { didSelectItemAt(index.row()); });

    colorPicker_->setParent(colorWheel_);
    colorPicker_->move(0, 0);
    colorPicker_->show();
    brightnessView_->setParent(brightView_);
    brightnessView_->move(0, 0);
    brightnessView_->show();

    // Looks: the sheet is painted here; the rest follows the shared sheet style.
    ui_->titleLabel->setFont(SheetStyle::font(19, QFont::Bold));
    QPalette title = ui_->titleLabel->palette();
    title.setColor(QPalette::WindowText, SheetStyle::text());
    ui_->titleLabel->setPalette(title);
    ui_->historyLabel->setFont(SheetStyle::font(13));
    QPalette secondary = ui_->historyLabel->palette();
    secondary.setColor(QPalette::WindowText, SheetStyle::secondaryText());
    ui_->historyLabel->setPalette(secondary);
    SheetStyle::styleFlatButton(ui_->doneButton, SheetStyle::accent(), true);
    // Less side padding, so that the word lines up with the bar's right end.
    ui_->doneButton->setStyleSheet(ui_->doneButton->styleSheet() +
                                   QStringLiteral("QPushButton { padding: 0 6px; }"));

    ui_->hexField->setFont(SheetStyle::font(15));
    connect(ui_->hexField, &QLineEdit::textEdited, this, &ColorPickerViewController::hexEdited);
    showHexState(false);

    overhang_ = new IndicatorOverhang(this);
    overhang_->setGeometry(rect());
    overhang_->raise();
    connect(colorPicker_, &ColorWheel::indicatorChanged, overhang_, qOverload<>(&QWidget::update));
    connect(brightnessView_, &BrightnessView::indicatorChanged, overhang_,
            qOverload<>(&QWidget::update));

    showColor(initialColor_.value_or(Color::blue()));
}

void ColorPickerViewController::viewDidLayoutSubviews() {
    if (overhang_) {
        overhang_->setGeometry(rect());
        overhang_->raise();
    }
}

void ColorPickerViewController::paintEvent(QPaintEvent*) {
    // A white sheet with rounded top corners; the screen below shows past the corners.
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    const QRectF sheet = QRectF(rect());
    const double r = SheetStyle::kCornerRadius;
    QPainterPath path;
    path.moveTo(sheet.left(), sheet.bottom());
    path.lineTo(sheet.left(), sheet.top() + r);
    path.arcTo(QRectF(sheet.left(), sheet.top(), 2 * r, 2 * r), 180, -90);
    path.lineTo(sheet.right() - r, sheet.top());
    path.arcTo(QRectF(sheet.right() - 2 * r, sheet.top(), 2 * r, 2 * r), 90, -90);
    path.lineTo(sheet.right(), sheet.bottom());
    path.closeSubpath();
    painter.fillPath(path, SheetStyle::card());
}

int ColorPickerViewController::numberOfItemsInSection(int section) const {
    return section == 0 ? kHistoryCellCount : 0;
}

ColorPickerViewController::HistoryCell ColorPickerViewController::cellForItemAt(int item) const {
    HistoryCell cell{QString::fromLatin1(kHistoryReuseIdentifier), Color::gray(), false};
    if (item >= 0 && static_cast<size_t>(item) < colorHistory_.size()) {
        cell.contentBackgroundColor = colorHistory_[static_cast<size_t>(item)];
        cell.selectable = true;
    }
    return cell;
}

void ColorPickerViewController::didSelectItemAt(int item) {
    if (closing_ || item < 0 || item >= kHistoryCellCount ||
        static_cast<size_t>(item) >= colorHistory_.size()) {
        return;
    }
    const Color color = colorHistory_[static_cast<size_t>(item)];
    recordColor(color);
    if (ColorChoiceDelegate* delegate = colorChoiceDelegate_.get()) {
        delegate->colorChosen(color);
    }
    showColor(color);
}

void ColorPickerViewController::showColor(const Color& color) {
    colorPicker_->setViewColor(color);
    brightnessView_->setViewColor(color);
    brightnessView_->setPoint(brightnessView_->pointForColor(color));
    // What is on show is what Done hands back.
    updateCurrentColor(color);
}

void ColorPickerViewController::hexEdited(const QString& text) {
    const std::optional<Color> color = hex_color::parse(text);
    showHexState(!color);
    if (!color) {
        return;
    }
    fromHexField_ = true;
    showColor(*color);
    fromHexField_ = false;
}

void ColorPickerViewController::showHexState(bool rejected) {
    hexRejected_ = rejected;
    if (!ui_) {
        return;
    }
    const QColor edge = rejected ? SheetStyle::destructive() : SheetStyle::separator();
    const QColor text = rejected ? SheetStyle::destructive() : SheetStyle::text();
    ui_->hexField->setStyleSheet(
        QStringLiteral("QLineEdit { border: %1px solid %2; border-radius: 8px; padding: 0 6px;"
                       " color: %3; background: white; }")
            .arg(rejected ? 2 : 1)
            .arg(edge.name(), text.name()));
    ui_->hexField->setAccessibleDescription(rejected ? QStringLiteral("Not a colour") : QString());
}

void ColorPickerViewController::recordColor(const Color& color) {
    // Replaces every entry that shows the same colour, whatever space it was kept in.
    CoreDataManager::recordColor(color);
}

void ColorPickerViewController::colorSelected(const Color& color) {
    brightnessView_->setViewColor(color);
    updateCurrentColor(color);
}

void ColorPickerViewController::brightnessSelected(double brightness) {
    colorPicker_->setViewBrightness(brightness);
}

void ColorPickerViewController::donePressed() {
    // A second press while the sheet slides away would record the colour twice.
    if (closing_) {
        return;
    }
    closing_ = true;
    const Color color = currentColor_;
    recordColor(color);
    if (ColorChoiceDelegate* delegate = colorChoiceDelegate_.get()) {
        delegate->colorChosen(color);
    }
    showColor(color);
    dismiss(true);
}

void ColorPickerViewController::updateCurrentColor(const Color& color) {
    currentColor_ = color;
    if (ui_) {
        const QColor shown = color.toQColor();
        ui_->currentColorSwatch->setAccessibleDescription(shown.name().toUpper());
        ui_->currentColorSwatch->setStyleSheet(
            QStringLiteral("background-color: rgba(%1, %2, %3, %4); border-radius: 13px;"
                           " border: 1px solid rgba(0, 0, 0, 40);")
                .arg(shown.red())
                .arg(shown.green())
                .arg(shown.blue())
                .arg(shown.alpha()));
        // What the user is typing stays as typed; any other change shows the new colour.
        if (!fromHexField_) {
            ui_->hexField->setText(hex_color::format(color));
            showHexState(false);
        }
    }
}

InterfaceOrientationMask ColorPickerViewController::supportedInterfaceOrientations() const {
    return InterfaceOrientationMask::portrait;
}

InterfaceOrientation ColorPickerViewController::preferredInterfaceOrientationForPresentation()
    const {
    return InterfaceOrientation::portrait;
}

bool ColorPickerViewController::shouldAutorotate() const {
    return true;
}

bool ColorPickerViewController::prefersStatusBarHidden() const {
    return true;
}
