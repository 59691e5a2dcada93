#pragma once

#include <QSet>
#include <QWidget>

class QAction;
class QMenu;

// A pop-up button: a menu of tagged items, each of which may be on (checked) on its own, under
// a title that need not be an item's ("Custom", "multiple"). Choosing an item selects it and
// emits `activated`; everything set in code is silent. The menu opens without blocking.
class PLYPopUpButton : public QWidget {
    Q_OBJECT
public:
    explicit PLYPopUpButton(QWidget* parent = nullptr);

    QAction* addItem(const QString& title, int tag);
    QAction* itemWithTag(int tag) const;
    QList<QAction*> items() const;
    QMenu* menu() const { return m_menu; }

    // The tag of the selected item; -1 when none is selected.
    int selectedTag() const { return m_selectedTag; }
    // Selects the item (its title becomes the button's and it alone is on); -1 or an unknown
    // tag selects nothing and leaves the title.
    void selectItemWithTag(int tag);
    // Turns on exactly the items of these tags; the selection and the title stay.
    void setItemStates(const QSet<int>& onTags);
    QString title() const { return m_title; }
    void setTitle(const QString& title);

    void showMenu();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void activated(int tag);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void choose(QAction* item);

    QMenu* m_menu;
    QString m_title;
    int m_selectedTag = -1;
};
