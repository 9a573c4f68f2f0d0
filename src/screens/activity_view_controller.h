#pragma once

#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>
#include <map>
#include <memory>

#include "screens/overlay_screen.h"
#include "screens/popover_presentation_controller.h"

class CardWidget;
class QComboBox;
class QLabel;
class QPushButton;
class QVBoxLayout;

// The share sheet: hands pictures to this platform's destinations. "Save to Pictures"
// writes a new PNG into the "Tilebloom" folder of the user's Pictures folder, "Save As…"
// writes one where the user chooses, "Open in Image Viewer" opens a copy in the desktop's
// viewer and "Copy" puts the picture on the clipboard. Excluded activity types are never
// offered. The sheet stays open after an activity and says what happened ("Saved to …" or
// why not), until the user closes it; the completion handler then runs once.
//
// A phone-sized window shows the sheet along the bottom; a tablet-sized one shows it as a
// popover next to the popover's source view.
class ActivityViewController : public OverlayScreen {
    Q_OBJECT
public:
    // The last activity that ran (empty when none), whether it completed, and its error.
    using CompletionWithItemsHandler =
        std::function<void(const QString& activityType, bool completed, const QString& error)>;
    // Asks where to save; returns the chosen path, empty when the user cancelled.
    using SaveFileNameProvider =
        std::function<QString(QWidget* parent, const QString& suggestedPath)>;
    using UrlOpener = std::function<bool(const QUrl& url)>;
    // One size "Save As…" can write: its label and what makes the picture (null when it
    // cannot be made).
    struct SaveAsChoice {
        QString title;
        std::function<QImage()> render;
    };

    // Application activities of our own are not supported: the sheet offers the platform's.
    explicit ActivityViewController(const QList<QImage>& activityItems, QWidget* parent = nullptr);
    ~ActivityViewController() override;

    const QList<QImage>& activityItems() const { return items_; }

    QStringList excludedActivityTypes() const { return excluded_; }
    void setExcludedActivityTypes(const QStringList& types);

    void setCompletionWithItemsHandler(CompletionWithItemsHandler handler);

    // Present only on tablet-sized windows (at least 600 points wide).
    PopoverPresentationController* popoverPresentationController() const { return popover_.get(); }

    // This platform's activities, in the order shown.
    static QStringList availableActivityTypes();
    static QString titleForActivityType(const QString& type);
    // What this sheet offers: the available activities minus the excluded ones.
    QStringList offeredActivityTypes() const;

    QPushButton* activityButton(const QString& type) const;
    QPushButton* closeButton() const { return closeButton_; }
    // Runs an offered activity as a tap on its row does; returns whether it completed.
    bool performActivity(const QString& type);
    // Closes the sheet, then runs the completion handler (once).
    void closeSheet();

    // The line that tells the user what happened, and whether it reports a failure.
    QString statusText() const;
    bool statusIsError() const { return statusIsError_; }
    // The files the last save or open wrote.
    QStringList lastWrittenPaths() const { return lastWritten_; }

    // Where "Save to Pictures" saves (inside its "Tilebloom" folder) and "Save As…" starts;
    // PicturesFolder::location() unless set.
    QString picturesFolder() const { return picturesFolder_; }
    void setPicturesFolder(const QString& folder) { picturesFolder_ = folder; }
    // Where copies for the image viewer go (AppPaths::viewerDirectory() unless set). The
    // folder is made private to the user (0700) and refused when it is a link or another
    // user's; the copies are 0600, and copies older than a day are removed on a later open.
    QString viewerFolder() const { return viewerFolder_; }
    void setViewerFolder(const QString& folder) { viewerFolder_ = folder; }
    // A file dialog and the desktop's URL handler unless set. A name the provider returns
    // without ".png" gets it added.
    void setSaveFileNameProvider(SaveFileNameProvider provider);
    void setUrlOpener(UrlOpener opener);
    // The sizes "Save As…" offers, first the default; without any it saves the shared pictures.
    void setSaveAsChoices(const QList<SaveAsChoice>& choices);
    QComboBox* saveAsSizeBox() const { return saveAsSizeBox_; }
    // The name "Save As…" suggests (".png" is added); a time-stamped name when empty.
    void setSuggestedFileName(const QString& name) { suggestedFileName_ = name; }
    // A title made safe as a file name: no folders, no control characters, no leading dot.
    static QString fileNameForTitle(const QString& title);

    QWidget* card() const;

    static constexpr int kPhoneMaxWidth = 500;
    static constexpr int kPopoverWidth = 375;
    static constexpr int kRowHeight = 52;

protected:
    void viewDidLayoutSubviews() override;
    void keyPressEvent(QKeyEvent* event) override;
    void backdropTapped() override;

private:
    struct Outcome {
        bool completed = false;
        QString message;
        QString error;
    };
    Outcome saveToPictures();
    Outcome saveAs();
    Outcome openInImageViewer();
    Outcome copyToPasteboard();

    void rebuildRows();
    void showStatus(const QString& text, bool isError);
    void layoutCards();
    QRect popoverSourceRect() const;

    QList<QImage> items_;
    QStringList excluded_;
    CompletionWithItemsHandler completion_;
    std::unique_ptr<PopoverPresentationController> popover_;
    SaveFileNameProvider saveFileNameProvider_;
    UrlOpener urlOpener_;
    QString picturesFolder_;
    QString viewerFolder_;
    QList<SaveAsChoice> saveAsChoices_;
    QComboBox* saveAsSizeBox_ = nullptr;
    QString suggestedFileName_;

    QString lastType_;
    bool lastCompleted_ = false;
    QString lastError_;
    QStringList lastWritten_;
    bool statusIsError_ = false;
    bool closing_ = false;

    CardWidget* card_;
    CardWidget* closeCard_;  // phone layout only
    QWidget* rowsArea_ = nullptr;
    QVBoxLayout* cardLayout_;
    QLabel* statusLabel_;
    QPushButton* closeButton_;
    std::map<QString, QPushButton*> rows_;
};
