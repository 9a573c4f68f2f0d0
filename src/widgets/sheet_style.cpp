#include "widgets/sheet_style.h"

#include <QPushButton>

QColor SheetStyle::accent() {
    return QColor(0x00, 0x6E, 0xE6);
}
QColor SheetStyle::destructive() {
    return QColor(0xE0, 0x2E, 0x24);
}
QColor SheetStyle::success() {
    return QColor(0x1E, 0x7F, 0x3A);
}
QColor SheetStyle::text() {
    return QColor(0x1C, 0x1C, 0x1E);
}
QColor SheetStyle::secondaryText() {
    return QColor(0x5F, 0x5F, 0x66);
}
QColor SheetStyle::card() {
    return QColor(0xFA, 0xFA, 0xFC);
}
QColor SheetStyle::groupedBackground() {
    return QColor(0xF0, 0xF0, 0xF5);
}
QColor SheetStyle::separator() {
    return QColor(0xD1, 0xD1, 0xD6);
}
QColor SheetStyle::backdrop() {
    return QColor(0, 0, 0, 102);
}

QFont SheetStyle::font(int pixelSize, QFont::Weight weight) {
    QFont font;
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    return font;
}

void SheetStyle::styleFlatButton(QPushButton* button, const QColor& color, bool bold,
                                 Qt::Alignment alignment, const QString& roundedCorners) {
    const QString align =
        (alignment & Qt::AlignLeft) ? QStringLiteral("left") : QStringLiteral("center");
    QString corners;
    const int r = kCornerRadius;
    if (roundedCorners.contains(QLatin1String("bl"))) {
        corners += QStringLiteral("border-bottom-left-radius: %1px;").arg(r);
    }
    if (roundedCorners.contains(QLatin1String("br"))) {
        corners += QStringLiteral("border-bottom-right-radius: %1px;").arg(r);
    }
    if (roundedCorners.contains(QLatin1String("tl"))) {
        corners += QStringLiteral("border-top-left-radius: %1px;").arg(r);
    }
    if (roundedCorners.contains(QLatin1String("tr"))) {
        corners += QStringLiteral("border-top-right-radius: %1px;").arg(r);
    }
    button->setStyleSheet(
        QStringLiteral("QPushButton { border: none; background: transparent; color: %1;"
                       " text-align: %2; padding: 0 16px; %3 }"
                       "QPushButton:focus { background: rgba(0, 110, 230, 26); }"
                       "QPushButton:pressed { background: rgba(0, 0, 0, 31); }"
                       "QPushButton:disabled { color: #A0A0A6; }")
            .arg(color.name(), align, corners));
    button->setFont(font(17, bold ? QFont::DemiBold : QFont::Normal));
    button->setMinimumHeight(kButtonHeight);
    button->setCursor(Qt::PointingHandCursor);
    // Return on a focused button presses it, as keyboard users expect.
    button->setAutoDefault(true);
}

QWidget* SheetStyle::makeSeparator(Qt::Orientation orientation, QWidget* parent) {
    auto* line = new QWidget(parent);
    line->setAutoFillBackground(true);
    QPalette palette = line->palette();
    palette.setColor(QPalette::Window, separator());
    line->setPalette(palette);
    if (orientation == Qt::Horizontal) {
        line->setFixedHeight(1);
    } else {
        line->setFixedWidth(1);
    }
    return line;
}
