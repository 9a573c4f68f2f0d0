#include "gallery/custom_table_view_cell.h"

#include "ui_custom_table_view_cell.h"

customTableViewCell::customTableViewCell(QWidget* parent)
    : SwipeActionRow(kReuseIdentifier, parent), ui_(std::make_unique<Ui::customTableViewCell>()) {
    ui_->setupUi(contentView());
    imgView = ui_->imgView;
    label = ui_->label;
}

customTableViewCell::~customTableViewCell() = default;

void customTableViewCell::prepareForReuse() {
    SwipeActionRow::prepareForReuse();
    imgView->clear();
    label->clear();
    setAccessibleName({});
}
