#pragma once

#include <QFrame>

class PLYPrepProgress;
class QLabel;
class QProgressBar;

// The card that the post window centres over itself while a new post's images are prepared:
// "Preparing Images (x/y)" above a bar of the fraction prepared.
class PLYImageProcessView : public QFrame {
    Q_OBJECT
public:
    static constexpr int ProgressRange = 1000;

    explicit PLYImageProcessView(QWidget* parent = nullptr);

    void setProgress(const PLYPrepProgress& progress);

    QLabel* imageProcessLabel() const { return m_label; }
    QProgressBar* imageProcessProgressIndicator() const { return m_progress; }

    QSize sizeHint() const override { return {320, 96}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QLabel* m_label;
    QProgressBar* m_progress;
};
