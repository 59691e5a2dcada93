#pragma once

#include <QWidget>

class QToolButton;

// A pair of up and down arrows that step an integer within a range, beside the field that
// shows the number. Setting the value in code is silent; `stepped` is the user's action.
class PLYStepper : public QWidget {
    Q_OBJECT
public:
    explicit PLYStepper(QWidget* parent = nullptr);

    qint64 value() const { return m_value; }
    // Clamped to the range; emits nothing.
    void setValue(qint64 value);
    void setRange(qint64 minimum, qint64 maximum);
    void setIncrement(qint64 increment) { m_increment = increment > 0 ? increment : 1; }
    qint64 minimum() const { return m_minimum; }
    qint64 maximum() const { return m_maximum; }
    qint64 increment() const { return m_increment; }

    // A step the user made (arrow click or key), as the action sees it.
    void stepBy(qint64 steps);
    // The press under way, by a number of its own: the steps of one arrow or arrow key held
    // down share it, and a caller may take them as one change. 0 outside a press.
    quint64 stroke() const { return m_stroke; }

    QSize sizeHint() const override;

signals:
    void stepped(qint64 value);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    void updateButtons();
    void setHeld(bool held);

    QToolButton* m_up;
    QToolButton* m_down;
    qint64 m_value = 0;
    qint64 m_minimum = 0;
    qint64 m_maximum = 100;
    qint64 m_increment = 1;
    quint64 m_stroke = 0;
    quint64 m_strokes = 0;
};
