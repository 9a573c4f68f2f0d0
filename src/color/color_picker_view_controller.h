#pragma once

#include <QListView>
#include <QPointer>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

#include "color/brightness_view.h"
#include "color/color_wheel.h"
#include "color/weak_delegate.h"
#include "platform/color.h"
#include "screens/platform_view_controller.h"

namespace Ui {
class ColorPickerViewController;
}

// Receives the colour chosen on the picker.
class ColorChoiceDelegate {
public:
    virtual ~ColorChoiceDelegate() = default;
    virtual void colorChosen(const Color& color) = 0;
};

// The screen on which the user chooses the drawing colour: a hue and saturation wheel, a
// brightness bar, a field for the colour as hex digits and the most recently chosen colours
// from the stored history. Chosen
// colours are recorded in the history and handed to the colour-choice delegate.
class ColorPickerViewController : public PlatformViewController,
                                  public ColorWheelSelectedDelegate,
                                  public BrightnessViewDelegate {
    Q_OBJECT
public:
    static constexpr int kHistoryCellCount = 31;
    static constexpr const char* kStoryboardIdentifier = "colorpicker";
    static constexpr const char* kHistoryReuseIdentifier = "history";

    explicit ColorPickerViewController(QWidget* parent = nullptr);
    ~ColorPickerViewController() override;

    // Registers this screen in Storyboard::main() under "colorpicker".
    static void registerScreen();

    // The colour shown on opening; set by the presenter before the screen loads. Until the
    // user touches the wheel or the bar it is also the colour Done hands back.
    const std::optional<Color>& initialColor() const { return initialColor_; }
    void setInitialColor(const Color& color);

    // The colour Done hands back: the colour on show, as last set from the wheel, the bar, a
    // history cell or the opening colour.
    const Color& currentColor() const { return currentColor_; }

    // The stored history as loaded on opening, newest first.
    const std::vector<Color>& colorHistory() const { return colorHistory_; }

    // Held weakly.
    ColorChoiceDelegate* colorChoiceDelegate() const { return colorChoiceDelegate_.get(); }
    void setColorChoiceDelegate(ColorChoiceDelegate* delegate) {
        colorChoiceDelegate_.reset(delegate);
    }

    // Outlets from the layout file; absent until the screen has loaded.
    QListView* collectionView() const { return collectionView_; }
    QWidget* colorWheel() const { return colorWheel_; }
    QWidget* brightView() const { return brightView_; }

    // Owned; built with the controller.
    BrightnessView* brightnessView() const { return brightnessView_; }
    ColorWheel* colorPicker() const { return colorPicker_; }

    // The history collection: one section of always 31 cells.
    struct HistoryCell {
        QString reuseIdentifier;
        Color contentBackgroundColor;
        // Cells beyond the history are grey and do nothing when tapped.
        bool selectable = false;
    };
    int numberOfSections() const { return 1; }
    int numberOfItemsInSection(int section) const;
    HistoryCell cellForItemAt(int item) const;
    void didSelectItemAt(int item);

    void showColor(const Color& color);
    // The hex field's text changed by the user: a colour is shown at once, anything else is
    // marked as not a colour and changes nothing.
    void hexEdited(const QString& text);
    // Whether the hex field holds something that is no colour.
    bool hexFieldRejected() const { return hexRejected_; }
    void recordColor(const Color& color);

    void colorSelected(const Color& color) override;
    void brightnessSelected(double brightness) override;

    InterfaceOrientationMask supportedInterfaceOrientations() const override;
    InterfaceOrientation preferredInterfaceOrientationForPresentation() const override;
    bool shouldAutorotate() const override;
    bool prefersStatusBarHidden() const override;

public slots:
    void donePressed();

protected:
    void viewDidLoad() override;
    void viewDidLayoutSubviews() override;
    void paintEvent(QPaintEvent* event) override;

private:
    class HistoryModel;
    class HistoryCellDelegate;
    class IndicatorOverhang;

    void updateCurrentColor(const Color& color);
    void showHexState(bool rejected);

    std::optional<Color> initialColor_;
    Color currentColor_;
    std::vector<Color> colorHistory_;
    WeakDelegate<ColorChoiceDelegate> colorChoiceDelegate_;
    QPointer<QListView> collectionView_;
    QPointer<QWidget> colorWheel_;
    QPointer<QWidget> brightView_;
    // Owned through Qt's parent chain: first by the controller, then by their containers.
    BrightnessView* brightnessView_ = nullptr;
    ColorWheel* colorPicker_ = nullptr;

    std::unique_ptr<Ui::ColorPickerViewController> ui_;
    HistoryModel* historyModel_ = nullptr;
    IndicatorOverhang* overhang_ = nullptr;
    bool closing_ = false;
    bool hexRejected_ = false;
    // Set while a colour typed into the hex field is being shown, which leaves its text alone.
    bool fromHexField_ = false;
};
