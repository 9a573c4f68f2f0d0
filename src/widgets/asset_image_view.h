#pragma once

#include <QPixmap>
#include <QString>
#include <QWidget>

// An image view showing one image asset by name, scaled to fill the view while keeping its
// aspect ratio (what overflows is cropped). Renders the artwork once per size, not per paint,
// so a full-screen background stays cheap while screens slide over it.
class AssetImageView : public QWidget {
    Q_OBJECT
public:
    explicit AssetImageView(const QString& assetName = {}, QWidget* parent = nullptr);

    // A view of the asset filling the screen behind everything else on `screen`, named
    // "backgroundView"; it follows the screen's size.
    static AssetImageView* screenBackground(const QString& assetName, QWidget* screen);

    QString assetName() const { return assetName_; }
    void setAssetName(const QString& name);

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QString assetName_;
    QPixmap rendered_;
};
