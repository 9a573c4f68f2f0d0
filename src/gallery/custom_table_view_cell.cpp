#include "gallery/custom_table_view_cell.h"

#include "ui_custom_table_view_cell.h"

customTableViewCell::customTableViewCell(QWidget* parent)
    : SwipeActionRow(kReuseIdentifier, parent), ui_(std::make_unique<Ui::customTableViewCell>()) {
    ui_->setupUi(contentView());
    imgView = ui_->imgView;
    label = ui_->label;
    // Titles are whatever the user typed (or whatever the store holds): shown as they are,
    // never read as markup that could pull in files.
    label->setTextFormat(Qt::PlainText);
}

customTableViewCell::~customTableViewCell() = default;

void customTableViewCell::prepareForReuse() {
    SwipeActionRow::prepareForReuse();
    imgView->clear();
    label->clear();
    setAccessibleName({});
}
