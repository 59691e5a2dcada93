#pragma once

#include "PLYSlidingButtonStackDelegate.h"

#include <QList>
#include <QStringList>
#include <QWidget>
#include <memory>

class QPushButton;
class QWidget;

// A row of segments with a highlight that slides to the selected one. The stack retains its
// delegate; only the user's picks reach it.
class PLYSlidingButtonStack : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QRect highlightGeometry READ highlightGeometry WRITE setHighlightGeometry)
public:
    explicit PLYSlidingButtonStack(QWidget* parent = nullptr);

    void setTitles(const QStringList& titles);
    QStringList titles() const;
    int count() const { return int(m_buttons.size()); }
    QPushButton* buttonAt(int index) const { return m_buttons.value(index); }

    int selectedIndex() const { return m_selected; }
    // Selects without telling the delegate; out-of-range indexes are ignored.
    void setSelectedIndex(int index);
    void setSlidingDelegate(std::shared_ptr<PLYSlidingButtonStackDelegate> delegate) { m_delegate = std::move(delegate); }

    QRect highlightGeometry() const;
    void setHighlightGeometry(const QRect& rect);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void picked(int index);
    void slideHighlight(bool animated);

    QList<QPushButton*> m_buttons;
    QWidget* m_highlight;
    int m_selected = 0;
    std::shared_ptr<PLYSlidingButtonStackDelegate> m_delegate;
};
