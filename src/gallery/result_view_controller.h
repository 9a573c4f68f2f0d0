#pragma once

#include <QCache>
#include <QLabel>
#include <QPixmap>
#include <QPointer>
#include <QUuid>
#include <memory>
#include <optional>
#include <vector>

#include "screens/platform_view_controller.h"
#include "store/managed_object.h"
#include "widgets/swipe_action_list.h"

class AssetImageView;
class Drawing;
class Thumbnail;

namespace Ui {
class ResultViewController;
}

// The gallery: the saved drawings, oldest first. A tap reopens a drawing in the editor; a
// swipe to the left offers "Delete" and "Duplicate".
class ResultViewController : public PlatformViewController,
                             public SwipeActionListDataSource,
                             public SwipeActionListDelegate {
    Q_OBJECT
public:
    explicit ResultViewController(QWidget* parent = nullptr);
    ~ResultViewController() override;

    // The rows, in the order the store lists them, held in memory while listed.
    std::vector<RecordRef<Thumbnail>> thumbnailArray;

    // Outlets from the layout file.
    QPointer<QLabel> emptyLabel;
    QPointer<SwipeActionList> tableView;

    AssetImageView* backgroundView() const { return backgroundView_; }

    int numberOfRows(SwipeActionList* list) override;
    SwipeActionRow* rowAt(SwipeActionList* list, int row) override;
    void didSelectRow(SwipeActionList* list, int row) override;
    SwipeActionsConfiguration trailingSwipeActions(SwipeActionList* list, int row) override;

public slots:
    void backPressed();

protected:
    void viewDidLoad() override;

private:
    void loadThumbnails();
    // The picture and name of the empty list: no drawings yet, or drawings that could not be
    // opened.
    void showEmptyState(bool unreadable);
    void openEditor(Drawing* drawing);
    // Where the record is listed now; -1 once it is gone.
    int indexOf(const Thumbnail* thumbnail) const;
    void deleteRow(Thumbnail* thumbnail);
    bool duplicateRow(Thumbnail* thumbnail);
    QPixmap thumbnailPixmap(const Thumbnail* thumbnail, const QSize& size);

    std::unique_ptr<Ui::ResultViewController> ui_;
    AssetImageView* backgroundView_ = nullptr;
    // Decoded thumbnails of rows seen lately, so that scrolling back does not decode again.
    QCache<QUuid, QPixmap> pixmaps_{256};
    std::optional<bool> emptyStateUnreadable_;  // what the empty picture shows now
};
