#include "store/store_error.h"

#include <QRegularExpression>

namespace {
QString quoted(const QString& text) {
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_.:/+-]+$"));
    if (plain.match(text).hasMatch()) {
        return text;
    }
    QString out = QStringLiteral("\"");
    for (const QChar c : text) {
        switch (c.unicode()) {
            case '"':
                out += QStringLiteral("\\\"");
                break;
            case '\\':
                out += QStringLiteral("\\\\");
                break;
            case '\n':
                out += QStringLiteral("\\n");
                break;
            case '\r':
                out += QStringLiteral("\\r");
                break;
            case '\t':
                out += QStringLiteral("\\t");
                break;
            default:
                out += c;
        }
    }
    return out + QLatin1Char('"');
}

QString textOf(const QVariant& value);

QString textOf(const QVariantMap& map) {
    QStringList entries;
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        entries << quoted(it.key()) + QStringLiteral(" = ") + textOf(it.value());
    }
    return QLatin1Char('{') + entries.join(QStringLiteral("; ")) + QLatin1Char('}');
}

QString textOf(const QVariant& value) {
    switch (value.typeId()) {
        case QMetaType::QVariantMap:
            return textOf(value.toMap());
        case QMetaType::QVariantList:
        case QMetaType::QStringList: {
            QStringList items;
            for (const QVariant& item : value.toList()) {
                items << textOf(item);
            }
            return QLatin1Char('(') + items.join(QStringLiteral(", ")) + QLatin1Char(')');
        }
        case QMetaType::Int:
        case QMetaType::LongLong:
        case QMetaType::UInt:
        case QMetaType::ULongLong:
        case QMetaType::Double:
        case QMetaType::Bool:
            return value.toString();
        default:
            return quoted(value.toString());
    }
}
}  // namespace

QString StoreError::userInfoText() const {
    return textOf(userInfo_);
}

QString StoreError::consoleLine(const QString& message) const {
    return message + description_ + QStringLiteral(", ") + userInfoText();
}
