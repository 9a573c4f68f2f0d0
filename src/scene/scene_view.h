#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <QTransform>
#include <QWidget>

class Scene;

// A widget that presents one scene: it maps scene points to view points (aspect fill,
// y flipped), redraws what the scene reports as changed, and runs the frame clock while
// actions are under way.
class SceneView : public QWidget {
    Q_OBJECT
public:
    explicit SceneView(QWidget* parent = nullptr);
    ~SceneView() override;

    // The scene is not owned; it must outlive its presentation or be replaced first.
    void presentScene(Scene* scene);
    Scene* scene() const { return scene_; }

    QPointF convertPointToScene(QPointF viewPoint) const;
    QPointF convertPointFromScene(QPointF scenePoint) const;
    QTransform sceneToViewTransform() const;

    // The scene clock in seconds since this view started presenting.
    double currentTime() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void displayRequested();
    void flush();
    void tick();

    Scene* scene_ = nullptr;
    QTimer frameTimer_;
    QElapsedTimer clock_;
    bool flushQueued_ = false;
};
