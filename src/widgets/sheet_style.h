#pragma once

#include <QColor>
#include <QFont>
#include <QString>

class QPushButton;
class QWidget;

// The look shared by the system screens (alerts, share sheet, photo picker): sizes in
// points, colours and fonts, so they read as one family and stay large enough for a finger.
class SheetStyle {
public:
    SheetStyle() = delete;

    static constexpr int kCornerRadius = 14;
    static constexpr int kButtonHeight = 50;  // every tappable row or button
    static constexpr int kMargin = 16;

    static QColor accent();
    static QColor destructive();
    static QColor success();
    static QColor text();
    static QColor secondaryText();
    static QColor card();
    static QColor groupedBackground();
    static QColor separator();
    static QColor backdrop();  // at full dimming

    // A font of pixelSize points (one point is one logical pixel in this window).
    static QFont font(int pixelSize, QFont::Weight weight = QFont::Normal);

    // A flat button for a card: large target, clear pressed and focused states.
    // corners: which of its corners follow the card's rounding ("bl", "br", "tl", "tr").
    static void styleFlatButton(QPushButton* button, const QColor& color, bool bold,
                                Qt::Alignment alignment = Qt::AlignCenter,
                                const QString& roundedCorners = QString());

    // A one-point line in the separator colour.
    static QWidget* makeSeparator(Qt::Orientation orientation, QWidget* parent = nullptr);
};
