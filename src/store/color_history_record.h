#pragma once

#include <optional>

#include "platform/color.h"
#include "store/managed_object.h"

// A "ColorHistory" entry. It has no class of its own for callers: they insert it by entity
// name and read and write its one attribute by the key "color".
class ColorHistoryRecord : public ManagedObject {
public:
    enum Attribute : unsigned { colorBit = 1 };

    // Nothing when the stored archive held no readable colour.
    const std::optional<Color>& color() const { return color_; }
    void setColor(const Color& color);

    QVariant value(const QString& key) const override;
    bool setValue(const QString& key, const QVariant& value) override;

protected:
    void keepSavedState() override { savedColor_ = color_; }
    void restoreSavedState() override { color_ = savedColor_; }
    void dropSavedState() override { savedColor_.reset(); }
    void dropLinks() override {}
    ManagedObject* heldPartner() const override { return nullptr; }

private:
    friend class ManagedObjectContext;
    explicit ColorHistoryRecord(ManagedObjectContext* context)
        : ManagedObject(context, Entity::colorHistory) {}

    std::optional<Color> color_;
    std::optional<Color> savedColor_;
};
