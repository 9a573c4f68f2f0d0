#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <QVariantList>
#include <memory>
#include <string>
#include <vector>

#include "platform/color.h"
#include "store/drawing.h"
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

private:
    ScopedDataDir dir_;
    std::unique_ptr<StoreTestDelegate> delegate_ = std::make_unique<StoreTestDelegate>();
};

// Reads and changes the store file through a connection of its own, as another program
// would.
class RawStore {
public:
    explicit RawStore(const QString& path);
    ~RawStore();
    // The first column of every row; fails the test on an error.
    QVariantList column(const QString& sql);
    int count(const QString& table) {
        return column("SELECT count(*) FROM " + table).value(0).toInt();
    }
    void exec(const QString& sql, const QVariantList& values = {});

private:
    QString name_;
};

// Colours that differ from cell to cell, in both colour spaces.
std::vector<Color> sampleColors(int64_t width, int64_t height, double shift = 0.0);

// A saved drawing with its thumbnail, made the way the editor makes one.
Drawing* saveNewDrawing(const QString& title, const std::vector<Color>& colors, int64_t side = 20);

// Gives a stored drawing new colours and a new thumbnail, and saves it as the editor does.
Thumbnail* resaveDrawing(Drawing* drawing, const QString& title, const std::vector<Color>& colors);

std::vector<QString> titles(const std::vector<Thumbnail*>& thumbnails);

// Checks that output is exactly one failure line per message, in order: the message, a
// description, ", " and the details dictionary in braces.
void expectFailureLines(const std::string& output, const std::vector<QString>& messages);
