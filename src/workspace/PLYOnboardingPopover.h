#pragma once

#include <QPointer>
#include <QWidget>

class QPushButton;

// A popover: a rounded bubble whose arrow points at a rectangle of the control it explains (or
// belongs to), shown beside or below it as a Qt::Popup. The program closes it with closePopover(); a click elsewhere
// closes it too, which is announced as closedByUser().
class PLYOnboardingPopover : public QWidget {
    Q_OBJECT
public:
    // To the right of the anchor (its maximum x), to its left (its minimum x), or under it.
    enum class Edge { MaxX, MinX, Below };
    static constexpr int ArrowLength = 9;
    static constexpr int ArrowHalfWidth = 9;
    static constexpr int CornerRadius = 8;

    // Takes `content`; `parent` only ties the popover's life to its window.
    PLYOnboardingPopover(QWidget* content, QWidget* parent);

    QWidget* content() const { return m_content; }
    Edge edge() const { return m_edge; }

    // Shows the popover beside `rect` (in `view`'s coordinates), on the preferred edge.
    void showRelativeToRect(const QRect& rect, QWidget* view, Edge preferredEdge);
    // Closes it without announcing anything.
    void closePopover();

    // Where a popover of `size` goes beside `anchor` (both global), kept inside `screen` when
    // that is valid; the arrow then points at the anchor's vertical centre (its horizontal centre
    // for a popover below it).
    static QPoint originFor(const QRect& anchor, const QSize& size, Edge edge, const QRect& screen = {});

    // The content of an onboarding popover: a heading, a line of explanation and a button
    // "Got it" named `buttonName`.
    static QWidget* makeContent(const QString& objectName, const QString& heading, const QString& text,
                                const QString& buttonName);

signals:
    void closedByUser();

protected:
    void paintEvent(QPaintEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QWidget* m_content;
    Edge m_edge = Edge::MaxX;
    int m_arrowY = 0;
    int m_arrowX = 0;
    bool m_closingByProgram = false;
};
