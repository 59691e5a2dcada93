#pragma once

#include <QIcon>
#include <QList>
#include <QWidget>

class QToolButton;

// A row of joined segments of which at most one is selected. A click on a segment selects it
// and emits `segmentChosen`; setting the selection in code is silent and may select none.
class PLYSegmentedControl : public QWidget {
    Q_OBJECT
public:
    explicit PLYSegmentedControl(QWidget* parent = nullptr);

    // Adds a segment showing `text`, or `icon` when it is not null; answers its index.
    int addSegment(const QString& text, const QString& toolTip, const QIcon& icon = {});
    int count() const { return int(m_segments.size()); }
    QToolButton* segment(int index) const { return m_segments.value(index); }

    // -1 when no segment is selected.
    int selectedSegment() const { return m_selected; }
    // Out-of-range indexes select none.
    void setSelectedSegment(int index);

signals:
    void segmentChosen(int index);

private:
    void restyle();

    QList<QToolButton*> m_segments;
    int m_selected = -1;
};
