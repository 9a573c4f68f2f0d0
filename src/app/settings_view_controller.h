#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QPointer>
#include <QSpinBox>
#include <QString>
#include <QUrl>
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/settings_manager.h"
#include "screens/platform_view_controller.h"
#include "widgets/stepper.h"

namespace Ui {
class SettingsViewController;
}

// Chooses the grid size of new drawings (kept as SettingsManager describes) and links to other
// creative apps. Section 0 holds the grid-size row, where the stepper walks the square sizes,
// and the custom-size row; section 1 the seven links.
class SettingsViewController : public PlatformViewController {
    Q_OBJECT
public:
    using UrlOpener = std::function<bool(const QUrl&)>;

    static constexpr int kLinkSection = 1;
    static constexpr int kLinkCount = 7;

    explicit SettingsViewController(QWidget* parent = nullptr);
    ~SettingsViewController() override;

    // Outlets from the layout file.
    QPointer<QLabel> pixelLabel;
    QPointer<Stepper> stepperL;
    QPointer<QCheckBox> customSizeCheck;
    QPointer<QSpinBox> customWidthSpin;
    QPointer<QSpinBox> customHeightSpin;

    // Width by height, as "30x18".
    static QString labelTextForSize(SettingsManager::GridSize size);
    // The stepper's place for a size: its own square's, or that of the square nearest to the
    // longer side.
    static int stepperIndexForSize(SettingsManager::GridSize size);
    // The link of a section-1 row as text; empty for any other row.
    static QString linkForRow(int row);

    // Opens links; QDesktopServices unless a test puts something else in.
    void setUrlOpener(UrlOpener opener) { urlOpener_ = std::move(opener); }

    void didSelectRow(int section, int row);

    // The platform's defaults: this screen does not pin itself to portrait.
    InterfaceOrientationMask supportedInterfaceOrientations() const override;
    bool prefersStatusBarHidden() const override;

public slots:
    void stepperAction();
    // The custom size switched on (the spin boxes' size applies) or off (the stepper's).
    void customSizeToggled(bool on);
    void customSizeChanged();
    void back();
    // A row of the layout file was pressed; its "section" and "row" properties say which.
    void rowPressed();
    // Grants photo access, or takes it back when it is granted.
    void togglePhotoAccess();

protected:
    void viewDidLoad() override;
    void showEvent(QShowEvent* event) override;

private:
    // Shows the grid size on the label and tells assistive technology on label and stepper.
    void updatePhotoAccess();
    // Applies and stores a size, and shows it; custom says which of the two rows chose it.
    void chooseGridSize(SettingsManager::GridSize size, bool custom);
    void showGridSize(SettingsManager::GridSize size, bool custom);

    std::unique_ptr<Ui::SettingsViewController> ui_;
    UrlOpener urlOpener_;
};
