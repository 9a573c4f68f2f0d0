#include "store_test_util.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

#include "store/core_data_manager.h"

RawStore::RawStore(const QString& path) {
    static int counter = 0;
    name_ = QStringLiteral("raw-store-%1").arg(++counter);
    QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name_);
    database.setDatabaseName(path);
    EXPECT_TRUE(database.open()) << database.lastError().text().toStdString();
}

RawStore::~RawStore() {
    QSqlDatabase::database(name_).close();
    QSqlDatabase::removeDatabase(name_);
}

QVariantList RawStore::column(const QString& sql) {
    QSqlQuery query(QSqlDatabase::database(name_));
    QVariantList values;
    EXPECT_TRUE(query.exec(sql)) << sql.toStdString() << ": "
                                 << query.lastError().text().toStdString();
    while (query.next()) {
        values << query.value(0);
    }
    return values;
}

void RawStore::exec(const QString& sql, const QVariantList& values) {
    QSqlQuery query(QSqlDatabase::database(name_));
    ASSERT_TRUE(query.prepare(sql)) << sql.toStdString();
    for (int i = 0; i < values.size(); ++i) {
        query.bindValue(i, values[i]);
    }
    EXPECT_TRUE(query.exec()) << sql.toStdString() << ": "
                              << query.lastError().text().toStdString();
}

std::vector<Color> sampleColors(int64_t width, int64_t height, double shift) {
    std::vector<Color> colors;
    for (int64_t i = 0; i < width * height; ++i) {
        const double t = static_cast<double>(i) / static_cast<double>(width * height);
        colors.push_back(i % 5 == 0 ? Color::withWhite(t / 3.0 + shift / 2.0)
                                    : Color::withRGB(t, 1.0 - t, shift, 0.5 + t / 2.0));
    }
    return colors;
}

Drawing* saveNewDrawing(const QString& title, const std::vector<Color>& colors, int64_t side) {
    Drawing* drawing = Drawing::create(colors, side, side);
    Thumbnail* thumbnail =
        Thumbnail::create(title, QStringLiteral("1 May 2024 at 10:00"), title.toUtf8() + "-png");
    drawing->setThumbnail(thumbnail);
    thumbnail->setDrawing(drawing);
    CoreDataManager::saveDrawing(drawing, nullptr);
    return drawing;
}

Thumbnail* resaveDrawing(Drawing* drawing, const QString& title, const std::vector<Color>& colors) {
    drawing->setColorArray(colors);
    Thumbnail* thumbnail =
        Thumbnail::create(title, QStringLiteral("2 May 2024 at 11:00"), title.toUtf8() + "-png2");
    Thumbnail* previous = drawing->thumbnail();
    drawing->setThumbnail(thumbnail);
    thumbnail->setDrawing(drawing);
    CoreDataManager::saveDrawing(drawing, previous);
    return thumbnail;
}

std::vector<QString> titles(const std::vector<Thumbnail*>& thumbnails) {
    std::vector<QString> out;
    for (const Thumbnail* thumbnail : thumbnails) {
        out.push_back(thumbnail->fileName());
    }
    return out;
}

void expectFailureLines(const std::string& output, const std::vector<QString>& messages) {
    QStringList lines = QString::fromStdString(output).split(QLatin1Char('\n'));
    ASSERT_EQ(lines.takeLast(), QString()) << "output must end with a line break: " << output;
    ASSERT_EQ(static_cast<size_t>(lines.size()), messages.size()) << output;
    for (size_t i = 0; i < messages.size(); ++i) {
        const QString& line = lines[static_cast<qsizetype>(i)];
        SCOPED_TRACE(line.toStdString());
        ASSERT_TRUE(line.startsWith(messages[i]));
        const qsizetype comma = line.indexOf(QStringLiteral(", {"), messages[i].size());
        ASSERT_GT(comma, messages[i].size()) << "no description before the details";
        EXPECT_TRUE(line.endsWith(QLatin1Char('}')));
    }
}
