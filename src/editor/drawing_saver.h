#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include "screens/activity_view_controller.h"

class DrawingViewController;

// Save, leave and share for one editor: keeps the drawing record and its exporter up to date
// with the canvas, stores it with a thumbnail, and asks before leaving.
class DrawingSaver {
public:
    explicit DrawingSaver(DrawingViewController& editor) : editor_(editor) {}

    void showSaveAlert();
    void saveCurrentDrawing(const QString& title);
    void refreshPictureExporter();
    bool storeDrawingWithThumbnail(const QByteArray& pngData, const QString& title);
    void showExitAlert();
    void shareDrawing();
    // Puts the picture the share sheet shares (1000 points on its longer side) on the
    // clipboard.
    void copyPictureToClipboard();

private:
    // Brings the drawing record up to date with the canvas and rebuilds the exporter.
    bool updateDrawingRecord();
    void discardUnsavedRecordChanges();
    // The shared picture and every whole scale the exporter's cells can be saved at.
    QList<ActivityViewController::SaveAsChoice> saveAsChoices(const QImage& shared) const;

    DrawingViewController& editor_;
};
