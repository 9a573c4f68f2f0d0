#include "app/settings_view_controller.h"

#include <QDesktopServices>
#include <QScrollBar>
#include <QStyle>
#include <algorithm>
#include <cmath>

#include "app/picture_import.h"
#include "platform/settings_manager.h"
#include "platform/user_defaults.h"
#include "screens/photo_library.h"
#include "ui_settings_view_controller.h"

namespace {
const QString kStepperKey = QStringLiteral("stepper");

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
    PictureImport::addPaletteChoice(ui_->section0Footer);
    // The list no longer fits a phone-sized window: its scroll bar shows and needs a name.
    ui_->tableView->verticalScrollBar()->setAccessibleName(QStringLiteral("Scroll the settings"));
}

SettingsViewController::~SettingsViewController() = default;

QString SettingsViewController::labelTextForPosition(int64_t position) {
    const int64_t size = SettingsManager::gridSizeForPosition(position);
    return QStringLiteral("%1x%1").arg(size);
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
    const int64_t position = UserDefaults::standard().integerForKey(kStepperKey);
    showGridSize(labelTextForPosition(position));
    // Every position other than 0 and 1 means 28 x 28; the stepper shows such a stored value
    // at its 28 x 28 end, so that label, stepper and grid size agree.
    const int64_t shown = position == 0 || position == 1 ? position : 2;
    stepperL->setValue(static_cast<double>(shown));
    updatePhotoAccess();
}

void SettingsViewController::showEvent(QShowEvent* event) {
    PlatformViewController::showEvent(event);
    // The answer may have changed elsewhere (the question asked by the photo screen).
    updatePhotoAccess();
}

void SettingsViewController::showGridSize(const QString& text) {
    pixelLabel->setText(text);
    // Both controls are named for what they do; the size itself reaches assistive technology
    // as their description.
    pixelLabel->setAccessibleDescription(text);
    if (stepperL) {
        stepperL->setAccessibleDescription(text);
    }
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
    showGridSize(v == 0   ? QStringLiteral("20x20")
                 : v == 1 ? QStringLiteral("24x24")
                          : QStringLiteral("28x28"));
    // The stepper keeps v within 0 to 2; the guard keeps a stray value from overflowing.
    const double truncated = std::isfinite(v) ? std::trunc(std::clamp(v, -1e15, 1e15)) : 2;
    UserDefaults::standard().setInteger(static_cast<int64_t>(truncated), kStepperKey);
    const int64_t size = v == 0 ? 20 : v == 1 ? 24 : 28;
    SettingsManager::gridWidth = size;
    SettingsManager::gridHeight = size;
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
