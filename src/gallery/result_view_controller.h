#pragma once

#include <QLabel>
#include <QPointer>
#include <memory>

#include "platform/platform_view_controller.h"
#include "platform/swipe_action_list.h"

class AssetImageView;

namespace Ui {
class ResultViewController;
}

// The gallery: the saved drawings, oldest first.
class ResultViewController : public PlatformViewController {
    Q_OBJECT
public:
    explicit ResultViewController(QWidget* parent = nullptr);
    ~ResultViewController() override;

    // Outlets from the layout file.
    QPointer<QLabel> emptyLabel;
    QPointer<SwipeActionList> tableView;

    AssetImageView* backgroundView() const { return backgroundView_; }

public slots:
    void backPressed();

protected:
    void viewDidLoad() override;

private:
    std::unique_ptr<Ui::ResultViewController> ui_;
    AssetImageView* backgroundView_ = nullptr;
};
