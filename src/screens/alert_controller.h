#pragma once

#include <QList>
#include <QString>
#include <functional>
#include <vector>

#include "screens/alert_action.h"
#include "screens/overlay_screen.h"

class CardWidget;
class QLabel;
class QLineEdit;
class QPushButton;
class QVBoxLayout;

enum class AlertControllerStyle : int {
    actionSheet = 0,
    alert = 1,
};

// A phone-style alert: a centred card with a bold title, a message, optional text fields
// and its actions (side by side when there are two), over the dimmed screen below. An
// action sheet shows the same content as a card along the bottom with "Cancel" apart.
//
// A tap on an action dismisses the alert and then runs the action's handler; the alert
// object itself is deleted later, from the event loop, so a handler can still read the
// text fields through its weak reference. Return triggers the preferred action (or the
// only default-style one), Escape the cancel-style action.
class AlertController : public OverlayScreen {
    Q_OBJECT
public:
    AlertController(const QString& title, const QString& message,
                    AlertControllerStyle preferredStyle = AlertControllerStyle::alert,
                    QWidget* parent = nullptr);
    ~AlertController() override;

    QString title() const { return title_; }
    void setTitle(const QString& title);
    QString message() const { return message_; }
    void setMessage(const QString& message);
    AlertControllerStyle preferredStyle() const { return preferredStyle_; }

    void addAction(AlertAction action);
    const std::vector<AlertAction>& actions() const { return actions_; }
    // The action Return triggers, named by its title; it is drawn bold.
    void setPreferredAction(const QString& title);
    QString preferredAction() const { return preferredAction_; }

    // Adds a text field (alert style only); configure sets its placeholder and text. Its
    // accessible name is its placeholder.
    void addTextField(const std::function<void(QLineEdit*)>& configure = {});
    QList<QLineEdit*> textFields() const { return textFields_; }

    // The button of the action with this title, or nullptr.
    QPushButton* actionButton(const QString& title) const;
    // What a tap on that button does. False when there is no such action or an action
    // already ran.
    bool triggerAction(const QString& title);
    // The actions Return and Escape trigger, as indexes into actions(); -1 for none.
    int returnKeyActionIndex() const;
    int escapeKeyActionIndex() const;

    // The card holding the content (for layout checks and screenshots).
    QWidget* card() const;

    static constexpr int kAlertWidth = 300;
    static constexpr int kSheetMaxWidth = 500;

protected:
    void viewDidLayoutSubviews() override;
    void keyPressEvent(QKeyEvent* event) override;
    void backdropTapped() override;

private:
    void trigger(size_t index);
    void rebuildActions();
    void updateLabels();
    void layoutCards();
    int cardWidth() const;
    bool actionsSideBySide(int width) const;
    // The action drawn bold: the Return-key action, else the cancel action.
    int emphasisedActionIndex() const;

    QString title_;
    QString message_;
    AlertControllerStyle preferredStyle_;
    std::vector<AlertAction> actions_;
    std::vector<QPushButton*> buttons_;  // parallel to actions_
    QList<QLineEdit*> textFields_;
    QString preferredAction_;
    bool triggered_ = false;
    bool sideBySide_ = false;

    CardWidget* card_;
    CardWidget* cancelCard_;  // action sheets only
    QLabel* titleLabel_;
    QLabel* messageLabel_;
    QVBoxLayout* fieldsLayout_;
    QWidget* actionsArea_ = nullptr;
};
