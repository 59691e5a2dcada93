#pragma once

#include <QLabel>

// A one-line label that keeps its whole text but shows what fits, ending (or, in the middle
// mode, joining) it with an ellipsis, so a long name neither widens its pane nor spills out.
class PLYElidedLabel : public QLabel {
    Q_OBJECT
public:
    explicit PLYElidedLabel(QWidget* parent = nullptr, Qt::TextElideMode mode = Qt::ElideRight);
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Qt::TextElideMode m_mode;
};
