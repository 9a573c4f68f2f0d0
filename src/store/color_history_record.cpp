#include "store/color_history_record.h"

void ColorHistoryRecord::setColor(const Color& color) {
    if (color_ != color) {
        willChange();
        color_ = color;
        markChanged(colorBit);
    }
}

QVariant ColorHistoryRecord::value(const QString& key) const {
    if (key == u"color" && color_) {
        return QVariant::fromValue(*color_);
    }
    return {};
}

bool ColorHistoryRecord::setValue(const QString& key, const QVariant& value) {
    if (key != u"color" || value.metaType() != QMetaType::fromType<Color>()) {
        return false;
    }
    setColor(value.value<Color>());
    return true;
}
