#pragma once

#include <QFrame>

class PLYPrepProgress;
class QLabel;
class QProgressBar;
class QPushButton;

// The card that the post window centres over itself while a new post's images are prepared:
// "Preparing Images (x/y)" above a bar of the fraction prepared, and a Cancel button that closes
// the card while the images go on being prepared in the background.
class PLYImageProcessView : public QFrame {
    Q_OBJECT
public:
    static constexpr int ProgressRange = 1000;

    explicit PLYImageProcessView(QWidget* parent = nullptr);

    void setProgress(const PLYPrepProgress& progress);

    QLabel* imageProcessLabel() const { return m_label; }
    QProgressBar* imageProcessProgressIndicator() const { return m_progress; }
    QPushButton* cancelButton() const { return m_cancel; }

    QSize sizeHint() const override { return {320, 132}; }

signals:
    void cancelRequested();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QLabel* m_label;
    QProgressBar* m_progress;
    QPushButton* m_cancel;
};
