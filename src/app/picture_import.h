#pragma once

#include <QObject>
#include <QString>
#include <functional>

#include "imaging/picture_opener.h"

class AppWindow;
class PlatformViewController;
class QMimeData;

// Pictures opened as new drawings from wherever they come: the home screen's "Open picture…",
// a file dropped on the window, the command line, the clipboard. Each goes through
// PictureOpener; a picture that opens becomes an unsaved drawing in the editor, one that does
// not is explained in an alert on the screen on top.
class PictureImport : public QObject {
    Q_OBJECT
public:
    // The palette size users chose; GridRecovery::kDefaultPaletteSize when none or an unknown
    // one is stored.
    static constexpr const char* kPaletteSizeKey = "paletteSize";
    static int paletteSize();
    // Adds the palette-size choice ("Colours in opened pictures") to a settings list after
    // the widget after; it stores the choice under kPaletteSizeKey as it changes.
    static QWidget* addPaletteChoice(QWidget* after);
    // The configured grid's longer side and the chosen palette.
    static PictureOpener::Options currentOptions();

    // Opens the result's cells in the editor over presenter, or shows its error there. Returns
    // whether the editor opened.
    static bool present(PlatformViewController* presenter, const PictureOpener::Result& result);
    static bool openFile(PlatformViewController* presenter, const QString& path);
    static bool openMimeData(PlatformViewController* presenter, const QMimeData* data);

    // Lets the window take dropped files and Ctrl+V: a drop opens over whatever screen is on
    // top, a paste only over the home screen and the gallery. The object lives as long as the
    // window.
    static PictureImport* install(AppWindow* window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit PictureImport(AppWindow* window);
    void paste();
    PlatformViewController* topScreen() const;

    AppWindow* window_;
};
