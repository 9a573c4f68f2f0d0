#include "app/settings_view_controller.h"

#include <QDesktopServices>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyle>
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "app/picture_import.h"
#include "platform/settings_manager.h"
#include "platform/user_defaults.h"
#include "screens/photo_library.h"
#include "ui_settings_view_controller.h"

namespace {
// Flathub is the app store of the Linux desktop; each page installs the app.
const char* const kLinks[SettingsViewController::kLinkCount] = {
    "https://flathub.org/apps/org.kde.krita",
    "https://flathub.org/apps/org.gimp.GIMP",
    "https://flathub.org/apps/org.inkscape.Inkscape",
    "https://flathub.org/apps/org.blender.Blender",
    "https://flathub.org/apps/org.darktable.Darktable",
    "https://flathub.org/apps/org.kde.kdenlive",
    "https://flathub.org/apps/org.audacityteam.Audacity",
};
}  // namespace

SettingsViewController::SettingsViewController(QWidget* parent)
    : PlatformViewController(parent),
      ui_(std::make_unique<Ui::SettingsViewController>()),
      urlOpener_([](const QUrl& url) { return QDesktopServices::openUrl(url); }) {
    setAttribute(Qt::WA_StyledBackground);
    ui_->setupUi(this);
    pixelLabel = ui_->pixelLabel;
    stepperL = ui_->stepperL;
    customSizeCheck = ui_->customSizeCheck;
    customWidthSpin = ui_->customWidthSpin;
    customHeightSpin = ui_->customHeightSpin;
    customWidthSpin->setRange(int(SettingsManager::kSmallestSide),
                              int(SettingsManager::kLargestSide));
    customHeightSpin->setRange(int(SettingsManager::kSmallestSide),
                               int(SettingsManager::kLargestSide));
    stepperL->setMaximumValue(double(SettingsManager::kSquareSides.size() - 1));
    // With the custom-size row the list outgrows a phone's screen, and its scroll bar shows.
    // The boxes' own text fields are controls too, and say what the boxes say.
    for (QSpinBox* box : {customWidthSpin.data(), customHeightSpin.data()}) {
        if (auto* field = box->findChild<QLineEdit*>()) {
            field->setAccessibleName(box->accessibleName());
        }
    }
    PictureImport::addPaletteChoice(ui_->section0Footer);
    // The list no longer fits a phone-sized window: its scroll bar shows and needs a name.
    ui_->tableView->verticalScrollBar()->setAccessibleName(QStringLiteral("Scroll the settings"));
}

SettingsViewController::~SettingsViewController() = default;

QString SettingsViewController::labelTextForSize(SettingsManager::GridSize size) {
    return QStringLiteral("%1x%2").arg(size.width).arg(size.height);
}

int SettingsViewController::stepperIndexForSize(SettingsManager::GridSize size) {
    const int64_t side = std::max(size.width, size.height);
    const auto& sides = SettingsManager::kSquareSides;
    int best = 0;
    for (int i = 1; i < int(sides.size()); ++i) {
        if (std::llabs(sides[size_t(i)] - side) <= std::llabs(sides[size_t(best)] - side)) {
            best = i;
        }
    }
    return best;
}

QString SettingsViewController::linkForRow(int row) {
    if (row < 0 || row >= kLinkCount) {
        return {};
    }
    return QString::fromLatin1(kLinks[row]);
}

InterfaceOrientationMask SettingsViewController::supportedInterfaceOrientations() const {
    return InterfaceOrientationMask::allButUpsideDown;
}

bool SettingsViewController::prefersStatusBarHidden() const {
    return false;
}

void SettingsViewController::viewDidLoad() {
    PlatformViewController::viewDidLoad();
    stepperL->setEnabled(true);
    // Every stored position other than 0 and 1 means 28 x 28 unless a newer size is stored
    // with it; the stepper shows the size the label does, so that they and the grid agree.
    const SettingsManager::GridSize size =
        SettingsManager::storedGridSize(UserDefaults::standard(), true);
    const bool listed =
        size.width == size.height &&
        SettingsManager::kSquareSides[size_t(stepperIndexForSize(size))] == size.width;
    showGridSize(size, !listed);
    updatePhotoAccess();
}

void SettingsViewController::showEvent(QShowEvent* event) {
    PlatformViewController::showEvent(event);
    // The answer may have changed elsewhere (the question asked by the photo screen).
    updatePhotoAccess();
}

void SettingsViewController::updatePhotoAccess() {
    using Status = PhotoLibrary::AuthorizationStatus;
    const Status status = PhotoLibrary::authorizationStatus();
    const bool granted = status == Status::authorized || status == Status::limited;
    QString text;
    switch (status) {
        case Status::authorized:
            text = tr("Allowed");
            break;
        case Status::limited:
            text = tr("Limited");
            break;
        case Status::notDetermined:
            text = tr("Ask first");
            break;
        case Status::restricted:
        case Status::denied:
            text = tr("Off");
            break;
    }
    ui_->photoAccessStatus->setText(text);
    ui_->photoAccessButton->setText(granted ? tr("Turn off") : tr("Allow"));
    ui_->photoAccessButton->setAccessibleName(granted ? tr("Turn off photo access")
                                                      : tr("Allow photo access"));
    ui_->photoAccessButton->setProperty("granted", granted);
    // The style sheet looks at "granted"; have it look again.
    ui_->photoAccessButton->style()->unpolish(ui_->photoAccessButton);
    ui_->photoAccessButton->style()->polish(ui_->photoAccessButton);
}

void SettingsViewController::togglePhotoAccess() {
    using Status = PhotoLibrary::AuthorizationStatus;
    const Status status = PhotoLibrary::authorizationStatus();
    const bool granted = status == Status::authorized || status == Status::limited;
    PhotoLibrary::setAuthorizationStatus(granted ? Status::denied : Status::authorized);
    updatePhotoAccess();
}

void SettingsViewController::stepperAction() {
    Stepper* stepper = qobject_cast<Stepper*>(sender());
    if (!stepper) {
        stepper = stepperL;
    }
    if (!stepper) {
        return;
    }
    const double v = stepper->value();
    // The stepper keeps v within the list; the guard keeps a stray value inside it too.
    const auto last = double(SettingsManager::kSquareSides.size() - 1);
    const auto index = static_cast<size_t>(std::isfinite(v) ? std::clamp(v, 0.0, last) : last);
    const int64_t side = SettingsManager::kSquareSides[index];
    chooseGridSize({side, side}, false);
}

void SettingsViewController::customSizeToggled(bool on) {
    if (on) {
        chooseGridSize({customWidthSpin->value(), customHeightSpin->value()}, true);
        return;
    }
    const int64_t side = SettingsManager::kSquareSides[size_t(stepperL->value())];
    chooseGridSize({side, side}, false);
}

void SettingsViewController::customSizeChanged() {
    // The boxes are off while the stepper's size applies; a value set on them then anyway
    // (through accessibility) waits until they are switched on.
    if (customSizeCheck->isChecked()) {
        chooseGridSize({customWidthSpin->value(), customHeightSpin->value()}, true);
    }
}

void SettingsViewController::chooseGridSize(SettingsManager::GridSize size, bool custom) {
    SettingsManager::storeGridSize(UserDefaults::standard(), size);
    SettingsManager::applyGridSize(size);
    showGridSize(size, custom);
}

void SettingsViewController::showGridSize(SettingsManager::GridSize size, bool custom) {
    const QString text = labelTextForSize(size);
    pixelLabel->setText(text);
    // Both controls are named for what they do; the size itself reaches assistive technology
    // as their description.
    pixelLabel->setAccessibleDescription(text);
    stepperL->setAccessibleDescription(text);
    stepperL->setValue(double(stepperIndexForSize(size)));
    const QSignalBlocker blockCheck(customSizeCheck.data());
    const QSignalBlocker blockWidth(customWidthSpin.data());
    const QSignalBlocker blockHeight(customHeightSpin.data());
    customSizeCheck->setChecked(custom);
    customWidthSpin->setValue(int(size.width));
    customHeightSpin->setValue(int(size.height));
    customWidthSpin->setEnabled(custom);
    customHeightSpin->setEnabled(custom);
}

void SettingsViewController::back() {
    dismiss(true);
}

void SettingsViewController::rowPressed() {
    const QObject* row = sender();
    if (!row) {
        return;
    }
    didSelectRow(row->property("section").toInt(), row->property("row").toInt());
}

void SettingsViewController::didSelectRow(int section, int row) {
    // Rows are buttons; none stays highlighted after a press, which is the deselection.
    if (section != kLinkSection || row < 0 || row >= kLinkCount) {
        return;
    }
    const QUrl url(linkForRow(row), QUrl::StrictMode);
    if (!url.isValid() || url.scheme() != QLatin1String("https") || url.host().isEmpty()) {
        return;
    }
    if (urlOpener_) {
        urlOpener_(url);
    }
}
