// Saves drawings through the real store operations as fast as it can, until it is killed.
// Before each save it prints "saving <drawing id> <seed>", after a save that committed
// "committed <drawing id> <seed>". A third of the saves reopen an earlier drawing of this
// run and save it again with new colours and a new thumbnail, as the editor does.
#include <QCoreApplication>
#include <QRandomGenerator>
#include <vector>

#include "platform/console.h"
#include "save_loop_content.h"
#include "store/core_data_manager.h"
#include "store/drawing.h"
#include "store/managed_object_context.h"
#include "store/thumbnail.h"
#include "store_test_delegate.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    StoreTestDelegate delegate;
    // Held, so that they stay in memory should anything ever let the event loop run.
    std::vector<RecordRef<Drawing>> saved;
    QRandomGenerator* random = QRandomGenerator::global();
    for (;;) {
        const uint64_t seed = random->generate64() >> 1;
        Drawing* drawing = nullptr;
        if (!saved.empty() && random->bounded(3) == 0) {
            drawing = saved[random->bounded(static_cast<quint32>(saved.size()))];
            drawing->setColorArray(save_loop::colorsFor(seed));
        } else {
            drawing = Drawing::create(save_loop::colorsFor(seed), save_loop::side, save_loop::side);
        }
        const QString id = drawing->id().toString(QUuid::WithoutBraces);
        printLine(QStringLiteral("saving %1 %2").arg(id).arg(seed));
        Thumbnail* thumbnail =
            Thumbnail::create(save_loop::titleFor(seed), QStringLiteral("date %1").arg(seed),
                              save_loop::imageFor(seed));
        Thumbnail* previous = drawing->thumbnail();
        drawing->setThumbnail(thumbnail);
        thumbnail->setDrawing(drawing);
        CoreDataManager::saveDrawing(drawing, previous);
        if (drawing->managedObjectContext()->hasChanges()) {
            return 2;  // the failure line is already out
        }
        printLine(QStringLiteral("committed %1 %2").arg(id).arg(seed));
        if (previous == nullptr) {
            saved.push_back(drawing);
        }
    }
}
