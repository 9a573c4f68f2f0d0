#pragma once

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <cmath>

#include "store/core_data_manager.h"
#include "store/drawing.h"
#include "store/managed_object_context.h"
#include "store/persistent_container_provider.h"
#include "store/thumbnail.h"
#include "store_test_delegate.h"
#include "test_support.h"

// A fresh data folder and an application delegate that opens the store there on first use.
class StoreTest : public testing::Test {
protected:
    StoreTestDelegate& app() { return *delegate_; }
    QString storePath() const { return dir_.path() + QStringLiteral("/tesselet.sqlite"); }
    // What a new run of the app would see: the container and its records are dropped.
    void restart() {
        delegate_.reset();
        delegate_ = std::make_unique<StoreTestDelegate>();
    }
    // The first column of every row of a statement run straight on the store file, with the
    // values bound to its placeholders.
    QVariantList sql(const QString& statement, const QVariantList& values = {}) {
        QSqlQuery query(app().persistentContainer()->database());
        query.prepare(statement);
        for (const QVariant& value : values) {
            query.addBindValue(value);
        }
        EXPECT_TRUE(query.exec()) << statement.toStdString() << ": "
                                  << query.lastError().text().toStdString();
        QVariantList out;
        while (query.next()) {
            out << query.value(0);
        }
        return out;
    }

private:
    ScopedDataDir dir_;
    std::unique_ptr<StoreTestDelegate> delegate_ = std::make_unique<StoreTestDelegate>();
};

inline ManagedObjectContext* context() {
    return PersistentContainerProvider::applicationViewContext();
}

// The stored colour history, newest first; clear when it could not be loaded.
inline std::vector<Color> history() {
    return CoreDataManager::loadColorHistory().value_or(std::vector<Color>{Color::clear()});
}

// Colours that differ from cell to cell, in both colour spaces.
inline std::vector<Color> sampleColors(int64_t side, double shift = 0.0) {
    std::vector<Color> colors;
    for (int64_t i = 0; i < side * side; ++i) {
        const double t = static_cast<double>(i) / static_cast<double>(side * side);
        colors.push_back(i % 5 == 0 ? Color::withWhite(t / 3.0 + shift / 2.0)
                                    : Color::withRGB(t, 1.0 - t, shift, 0.5 + t / 2.0));
    }
    return colors;
}

// Saves the drawing (a new one when none is given) with a new thumbnail, as the editor does.
inline Drawing* saveDrawing(const QString& title, const std::vector<Color>& colors,
                            Drawing* drawing = nullptr) {
    const auto side = static_cast<int64_t>(std::sqrt(static_cast<double>(colors.size())));
    drawing = drawing ? drawing : Drawing::create(colors, side, side);
    drawing->setColorArray(colors);
    Thumbnail* thumbnail = Thumbnail::create(title, "1 May 2024 at 10:00", title.toUtf8() + "-png");
    Thumbnail* previous = drawing->thumbnail();
    drawing->setThumbnail(thumbnail);
    thumbnail->setDrawing(drawing);
    CoreDataManager::saveDrawing(drawing, previous);
    return drawing;
}

inline std::vector<QString> titles() {
    std::vector<QString> out;  // none when the thumbnails cannot be loaded
    for (const Thumbnail* thumbnail :
         CoreDataManager::loadThumbnails().value_or(std::vector<Thumbnail*>{})) {
        out.push_back(thumbnail->fileName());
    }
    return out;
}

// Checks that output is exactly one failure line per message, in order: the message, a
// description, ", " and the details dictionary in braces.
inline void expectFailureLines(const std::string& output, const std::vector<QString>& messages) {
    QStringList lines = QString::fromStdString(output).split('\n');
    ASSERT_EQ(lines.takeLast(), QString()) << "output must end with a line break: " << output;
    ASSERT_EQ(static_cast<size_t>(lines.size()), messages.size()) << output;
    for (size_t i = 0; i < messages.size(); ++i) {
        const QString& line = lines[qsizetype(i)];
        const QString pattern = "^" + QRegularExpression::escape(messages[i]) + ".+, \\{.*\\}$";
        EXPECT_TRUE(QRegularExpression(pattern).match(line).hasMatch()) << line.toStdString();
    }
}
