#include "app/picture_import.h"

#include <QAbstractItemView>
#include <QBoxLayout>
#include <QClipboard>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QKeySequence>
#include <QLabel>
#include <QMimeData>
#include <QShortcut>
#include <QUrl>

#include "app/view_controller.h"
#include "editor/drawing_view_controller.h"
#include "gallery/result_view_controller.h"
#include "platform/settings_manager.h"
#include "platform/user_defaults.h"
#include "screens/alert_controller.h"
#include "screens/app_window.h"
#include "screens/screen_stack.h"
#include "screens/storyboard.h"

int PictureImport::paletteSize() {
    const int64_t stored = UserDefaults::standard().integerForKey(QLatin1String(kPaletteSizeKey));
    for (const int size : GridRecovery::kPaletteSizes) {
        if (stored == size) {
            return size;
        }
    }
    return GridRecovery::kDefaultPaletteSize;
}

QWidget* PictureImport::addPaletteChoice(QWidget* after) {
    auto* list = after ? qobject_cast<QBoxLayout*>(after->parentWidget()->layout()) : nullptr;
    if (!list) {
        return nullptr;
    }
    auto* row = new QFrame(after->parentWidget());
    row->setObjectName(QStringLiteral("paletteRow"));
    row->setAccessibleName(QStringLiteral("Colours in opened pictures"));
    row->setMinimumHeight(60);
    row->setStyleSheet(QStringLiteral(
        "#paletteRow { background: #24214a; border-radius: 12px; }"
        "#paletteTitle { color: white; font-size: 17px; }"
        "QComboBox { color: white; background: #3a3670; border: none; border-radius: 9px;"
        " padding: 4px 12px; font-size: 17px; min-height: 30px; }"));
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(16, 8, 12, 8);
    auto* title = new QLabel(QStringLiteral("Colours in opened pictures"), row);
    title->setObjectName(QStringLiteral("paletteTitle"));
    title->setWordWrap(true);
    auto* choice = new QComboBox(row);
    choice->setAccessibleName(QStringLiteral("Most colours in an opened picture"));
    choice->view()->setAccessibleName(QStringLiteral("Colour counts"));
    choice->setToolTip(QStringLiteral(
        "Photos and other pictures that are not pixel pictures are reduced to this many "
        "colours when they open as drawings"));
    for (const int size : GridRecovery::kPaletteSizes) {
        choice->addItem(QString::number(size), size);
        if (size == paletteSize()) {
            choice->setCurrentIndex(choice->count() - 1);
        }
    }
    choice->setAccessibleDescription(choice->currentText());
    QObject::connect(choice, &QComboBox::currentIndexChanged, choice, [choice] {
        UserDefaults::standard().setInteger(choice->currentData().toInt(),
                                            QLatin1String(kPaletteSizeKey));
        choice->setAccessibleDescription(choice->currentText());
    });
    title->setBuddy(choice);
    layout->addWidget(title, 1);
    layout->addWidget(choice);
    list->insertWidget(list->indexOf(after) + 1, row);
    return row;
}

PictureOpener::Options PictureImport::currentOptions() {
    PictureOpener::Options options;
    options.gridSide =
        int(std::clamp<int64_t>(std::max(SettingsManager::gridWidth, SettingsManager::gridHeight),
                                1, GridRecovery::kMaxCells));
    options.maxColors = paletteSize();
    return options;
}

bool PictureImport::present(PlatformViewController* presenter,
                            const PictureOpener::Result& result) {
    if (!presenter) {
        return false;
    }
    if (!result.ok()) {
        auto* alert = new AlertController(QStringLiteral("Couldn\u2019t open the picture"),
                                          result.error.isEmpty()
                                              ? QStringLiteral("This picture could not be opened.")
                                              : result.error);
        alert->addAction(AlertAction(QStringLiteral("OK"), AlertActionStyle::cancel));
        presenter->present(alert, true);
        return false;
    }
    auto* editor = qobject_cast<DrawingViewController*>(
        Storyboard::main().instantiateViewController(QStringLiteral("draw")));
    if (!editor) {
        return false;
    }
    editor->startingCells = DrawingViewController::StartingCells{
        PictureOpener::canvasColors(result.cells), result.cells.width, result.cells.height};
    editor->setModalPresentationStyle(ModalPresentationStyle::fullScreen);
    presenter->present(editor, true);
    return true;
}

bool PictureImport::openFile(PlatformViewController* presenter, const QString& path) {
    return present(presenter, PictureOpener::openFile(path, currentOptions()));
}

bool PictureImport::openMimeData(PlatformViewController* presenter, const QMimeData* data) {
    return present(presenter, PictureOpener::openMimeData(data, currentOptions()));
}

PictureImport* PictureImport::install(AppWindow* window) {
    return new PictureImport(window);
}

PictureImport::PictureImport(AppWindow* window) : QObject(window), window_(window) {
    window->setAcceptDrops(true);
    window->installEventFilter(this);
    auto* paste = new QShortcut(QKeySequence::Paste, window);
    paste->setContext(Qt::WindowShortcut);
    connect(paste, &QShortcut::activated, this, &PictureImport::paste);
}

PlatformViewController* PictureImport::topScreen() const {
    return window_->screenStack() ? window_->screenStack()->topViewController() : nullptr;
}

void PictureImport::paste() {
    PlatformViewController* top = topScreen();
    if (!qobject_cast<ViewController*>(top) && !qobject_cast<ResultViewController*>(top)) {
        return;
    }
    QClipboard* clipboard = QGuiApplication::clipboard();
    openMimeData(top, clipboard ? clipboard->mimeData() : nullptr);
}

namespace {
bool carriesPicture(const QMimeData* data) {
    if (!data) {
        return false;
    }
    if (data->hasImage()) {
        return true;
    }
    for (const QString& format : data->formats()) {
        if (format.startsWith(QLatin1String("image/"))) {
            return true;
        }
    }
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile()) {
            return true;
        }
    }
    return false;
}
}  // namespace

bool PictureImport::eventFilter(QObject* watched, QEvent* event) {
    if (watched != window_) {
        return false;
    }
    switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDragMoveEvent*>(event);
            if (carriesPicture(drag->mimeData())) {
                drag->setDropAction(Qt::CopyAction);
                drag->accept();
            } else {
                drag->ignore();
            }
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            drop->setDropAction(Qt::CopyAction);
            drop->accept();
            // Opened once the drop has finished, so that the source is not kept waiting on
            // the decoding or on an alert.
            const QMimeData* data = drop->mimeData();
            QMimeData* copy = new QMimeData;
            for (const QString& format : data->formats()) {
                copy->setData(format, data->data(format));
            }
            if (data->hasImage()) {
                copy->setImageData(data->imageData());
            }
            QMetaObject::invokeMethod(
                this,
                [this, copy] {
                    openMimeData(topScreen(), copy);
                    delete copy;
                },
                Qt::QueuedConnection);
            return true;
        }
        default:
            return false;
    }
}
