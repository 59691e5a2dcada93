#pragma once

#include <QTimer>
#include <QWidget>

// A small indeterminate spinner. It keeps its place in a layout while stopped and draws
// nothing then, so starting and stopping never moves the controls around it.
class PLYProgressIndicator : public QWidget {
    Q_OBJECT
public:
    explicit PLYProgressIndicator(QWidget* parent = nullptr, int diameter = 16);

    void startAnimation();
    void stopAnimation();
    bool isAnimating() const { return m_timer.isActive(); }

    QSize sizeHint() const override { return QSize(m_diameter, m_diameter); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    int m_diameter;
    int m_step = 0;
    bool m_wanted = false;
    QTimer m_timer;
};
