#include "gallery/result_view_controller.h"

#include <QPainter>
#include <QSvgRenderer>

#include "gallery/custom_table_view_cell.h"
#include "platform/asset_image_view.h"
#include "platform/screen_metrics.h"
#include "ui_result_view_controller.h"

namespace {
// The empty state: a blank grid waiting for its first tiles, and what to do about it.
QPixmap emptyStatePicture(const QSize& size, qreal scale, const QFont& baseFont) {
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
    const QRectF titleRect(0, artRect.bottom() + 18, size.width(), 30);
    painter.drawText(titleRect, Qt::AlignHCenter | Qt::AlignTop, QObject::tr("No drawings yet"));
    QFont body = baseFont;
    body.setPixelSize(15);
    painter.setFont(body);
    painter.setPen(QColor(0xcf, 0xcb, 0xf5));
    painter.drawText(QRectF(10, titleRect.bottom() + 6, size.width() - 20, 80),
                     Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap,
                     QObject::tr("Start a new drawing on the home screen and save it: it "
                                 "will show up here."));
    return pixmap;
}
}  // namespace

ResultViewController::ResultViewController(QWidget* parent)
    : PlatformViewController(parent), ui_(std::make_unique<Ui::ResultViewController>()) {
    ui_->setupUi(this);
    emptyLabel = ui_->emptyLabel;
    tableView = ui_->tableView;
}

ResultViewController::~ResultViewController() = default;

void ResultViewController::viewDidLoad() {
    PlatformViewController::viewDidLoad();
    const ScreenMetrics& screen = ScreenMetrics::main();
    backgroundView_ = new AssetImageView(QStringLiteral("bg_main"), this);
    backgroundView_->setObjectName(QStringLiteral("backgroundView"));
    backgroundView_->setGeometry(0, 0, static_cast<int>(screen.width),
                                 static_cast<int>(screen.height));
    backgroundView_->lower();
    backgroundView_->show();
    emptyLabel->setPixmap(emptyStatePicture(emptyLabel->minimumSize(), screen.scale, font()));
    tableView->registerRow(customTableViewCell::kReuseIdentifier,
                           [] { return new customTableViewCell; });
}

void ResultViewController::backPressed() {
    dismiss(true);
}
