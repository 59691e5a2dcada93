#pragma once

#include <QPointer>
#include <QWidget>

class PLYPublishButton;
class QLabel;

// Told when the publish button is clicked.
class PLYPublishButtonDelegate {
public:
    virtual ~PLYPublishButtonDelegate() = default;
    virtual void buttonWasClicked(PLYPublishButton* button) = 0;
};

// The publish panel's own button: a rounded, lightly bordered gradient with an icon and a label.
// It does not own its delegate: a delegate that is gone is simply not told.
class PLYPublishButton : public QWidget {
    Q_OBJECT
public:
    explicit PLYPublishButton(QWidget* parent = nullptr);

    QLabel* label() const { return m_label; }
    QLabel* icon() const { return m_icon; }

    // A QObject that implements PLYPublishButtonDelegate; held weakly.
    void setDelegate(QObject* delegate) { m_delegate = delegate; }
    QObject* delegate() const { return m_delegate; }

    // Kept for the interface file's callers; the button has no other look.
    void moveToDefaultState() {}
    void moveToProgressAnimation() {}

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void click();

    QPointer<QObject> m_delegate;
    QLabel* m_label;
    QLabel* m_icon;
    bool m_pressed = false;
};
