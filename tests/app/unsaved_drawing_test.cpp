// At start-up the app offers the drawing its last run left unsaved, before anything else.
#include <QSqlQuery>

#include "app_fixture.h"
#include "canvas/canvas.h"
#include "canvas/pixel.h"
#include "editor/drawing_view_controller.h"
#include "screens/alert_controller.h"
#include "store/draft_store.h"
#include "store/persistent_container.h"

namespace {
const Color kLeftRed = Color::withRGB(1, 0, 0, 1);

// What an editor of an earlier run left: a blank 20 x 20 grid with one red cell, painted in
// one step, and the drawing colour red.
DraftWrite leftBehind(const QString& id, uint32_t cell = 5) {
    DraftWrite write;
    write.id = id;
    write.width = 20;
    write.height = 20;
    write.cells.assign(400, Color::white());
    write.cells[cell] = kLeftRed;
    write.color = kLeftRed;
    write.tool = "paintBrushButton";
    write.applied = 1;
    write.steps.emplace(0, [cell] { return DraftStep{false, {{cell, Color::white(), kLeftRed}}}; });
    return write;
}

struct UnsavedDrawingTest : AppFixture {
    UnsavedDrawingTest() : AppFixture(false) {}

    // A run of the app that leaves drafts behind and ends.
    void earlierRun(const std::vector<DraftWrite>& writes) {
        AppDelegate run;
        Application::shared().setDelegate(&run);
        for (const DraftWrite& write : writes) {
            std::unique_ptr<DraftJournal> journal = run.persistentContainer()->drafts()->journal();
            journal->submit(write);
            ASSERT_TRUE(journal->flush());
            QTest::qWait(2);  // one millisecond apart at least: newest first
        }
        Application::shared().setDelegate(nullptr);
    }
    AlertController* offer() { return top<AlertController>(); }
    QVariantList sql(const QString& statement) {
        QSqlQuery query(delegate->persistentContainer()->database());
        EXPECT_TRUE(query.exec(statement)) << statement.toStdString();
        QVariantList out;
        while (query.next()) {
            out << query.value(0);
        }
        return out;
    }
};
}  // namespace

TEST_F(UnsavedDrawingTest, TheUnsavedDrawingIsOfferedFirstAndRestoreOpensItAsItWas) {
    earlierRun({leftBehind("left")});
    EXPECT_EQ(start(), "");
    AlertController* alert = offer();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->escapeKeyActionIndex(), -1) << "Escape must not throw the drawing away";
    ASSERT_TRUE(alert->triggerAction("Restore"));
    processEvents();
    auto* editor = top<DrawingViewController>();
    ASSERT_TRUE(editor);
    Canvas& canvas = *editor->canvasView->canvas();
    EXPECT_EQ(canvas.pixelArray()[5]->fillColor(), kLeftRed);
    EXPECT_EQ(editor->currentDrawingColor, kLeftRed);
    editor->undoButtonPressedWithSender();
    EXPECT_EQ(canvas.getColorArray(), std::vector<Color>(400, Color::white()));
    // Until Save or Exit, the draft stays: a crash now loses nothing either.
    quit();
    start();
    EXPECT_TRUE(offer());
}

TEST_F(UnsavedDrawingTest, DiscardDeletesTheDraftAndOffersTheNextOne) {
    earlierRun({leftBehind("older", 7), leftBehind("newer", 9)});
    start();
    ASSERT_TRUE(offer());
    ASSERT_TRUE(offer()->triggerAction("Discard"));
    processEvents();
    EXPECT_EQ(sql("SELECT id FROM Draft"), QVariantList{"older"});
    ASSERT_TRUE(offer()) << "the next one is offered";
    ASSERT_TRUE(offer()->triggerAction("Discard"));
    processEvents();
    EXPECT_TRUE(top<ViewController>());
    EXPECT_EQ(sql("SELECT count(*) FROM Draft"), QVariantList{0});
    EXPECT_EQ(sql("SELECT count(*) FROM DraftStep"), QVariantList{0});
}

// A draft that cannot be read is never deleted: it is kept aside, said once, and the app
// starts as usual.
TEST_F(UnsavedDrawingTest, AnUnreadableDraftIsKeptAsideAndTheAppStartsNormally) {
    earlierRun({leftBehind("damaged")});
    {
        AppDelegate run;
        QSqlQuery query(run.persistentContainer()->database());
        ASSERT_TRUE(query.exec("UPDATE Draft SET cells = substr(cells, 1, 30)"));
    }
    EXPECT_EQ(start(),
              "Drafts: the unsaved drawing damaged cannot be read (its cells cannot be read: the "
              "palette runs past the end); it is kept aside in the store.\n");
    EXPECT_TRUE(top<ViewController>());
    EXPECT_EQ(sql("SELECT keptAside FROM Draft WHERE id = 'damaged'"),
              QVariantList{"its cells cannot be read: the palette runs past the end"});
    EXPECT_EQ(sql("SELECT count(*) FROM DraftStep"), QVariantList{1});
    quit();
    EXPECT_EQ(start(), "");
    EXPECT_TRUE(top<ViewController>());
}
