#pragma once

#include <QPainterPath>
#include <QPointer>
#include <QWidget>

class QPushButton;

// A popover: a rounded bubble whose arrow points at a rectangle of the control it explains (or
// belongs to), shown beside or below it. The program closes it with closePopover().
//
// A transient popover (one the user asked for) is a Qt::Popup: a click elsewhere closes it,
// which is announced as closedByUser(). A popover that appears on its own lies inside the
// window instead, over the views: it takes neither the keyboard nor clicks outside itself, and
// stays until the program closes it.
//
// Where the desktop cannot show transparent pixels (X11 without a compositing manager) a
// transient popover is drawn opaque and cut to the bubble's shape.
class PLYOnboardingPopover : public QWidget {
    Q_OBJECT
public:
    enum class Presentation { Transient, InWindow };
    // To the right of the anchor (its maximum x), to its left (its minimum x), or under it.
    enum class Edge { MaxX, MinX, Below };
    static constexpr int ArrowLength = 9;
    static constexpr int ArrowHalfWidth = 9;
    static constexpr int CornerRadius = 8;

    // Takes `content`; `parent` only ties the popover's life to it.
    PLYOnboardingPopover(QWidget* content, QWidget* parent, Presentation presentation = Presentation::Transient);

    QWidget* content() const { return m_content; }
    Edge edge() const { return m_edge; }
    Presentation presentation() const { return m_presentation; }
    // Drawn with transparent corners (otherwise opaque and cut to the bubble's shape).
    bool isTranslucent() const { return m_translucent; }

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
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPainterPath bubblePath() const;
    void place();

    QWidget* m_content;
    Edge m_edge = Edge::MaxX;
    int m_arrowY = 0;
    int m_arrowX = 0;
    bool m_closingByProgram = false;
    Presentation m_presentation;
    bool m_translucent = true;
    // What it points at, kept to follow the window's size when it lies inside it.
    QPointer<QWidget> m_anchorView;
    QRect m_anchorRect;
};
