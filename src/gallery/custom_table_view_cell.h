#pragma once

#include <QLabel>
#include <QPointer>
#include <memory>

#include "widgets/swipe_action_row.h"

namespace Ui {
class customTableViewCell;
}

// A gallery row: the drawing's thumbnail and its title.
class customTableViewCell : public SwipeActionRow {
    Q_OBJECT
public:
    static inline const QString kReuseIdentifier = QStringLiteral("listcell");

    explicit customTableViewCell(QWidget* parent = nullptr);
    ~customTableViewCell() override;

    // Outlets from the layout file.
    QPointer<QLabel> imgView;
    QPointer<QLabel> label;

    void prepareForReuse() override;

private:
    std::unique_ptr<Ui::customTableViewCell> ui_;
};
