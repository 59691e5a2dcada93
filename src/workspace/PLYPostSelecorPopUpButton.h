#pragma once

#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <functional>
#include <memory>

class PLYPersistantPost;
class PLYPostManager;

// One line of the post switcher's menu.
struct PLYPostSwitcherEntry {
    bool separator = false;
    // The post's name as a menu item's text ("&" doubled).
    QString title;
    // The post's index in the list the menu was made from.
    int tag = -1;
    bool checked = false;
    bool operator==(const PLYPostSwitcherEntry&) const = default;
};

// The post switcher of the window's toolbar: a pop-up button listing the account's posts,
// published ones first, whose leftmost 14 points are a separate zone that goes home.
class PLYPostSelecorPopUpButton : public QPushButton {
    Q_OBJECT
public:
    static constexpr double HomeZoneWidth = 14.0;
    static constexpr int ArrowStripWidth = 21;

    explicit PLYPostSelecorPopUpButton(QWidget* parent = nullptr);

    // What a click in the home zone does. By default it goes home: the core manager's current
    // post manager becomes nothing, and the root navigation shows the home screen. Without an
    // action the home zone is part of the pop-up.
    using HomeAction = std::function<void(PLYPostSelecorPopUpButton* sender)>;
    void setHomeAction(HomeAction action) { m_homeAction = std::move(action); }
    bool hasHomeAction() const { return bool(m_homeAction); }
    static void goHome(PLYPostSelecorPopUpButton* sender);
    // The last press began in the home zone.
    bool triggerHome() const { return m_triggerHome; }

    // Titles the button with the name of the manager's post; empty while the post is still to
    // be made (the new-post sheet names it).
    void setTitleFromPostManager(const std::shared_ptr<PLYPostManager>& manager);
    // Shows `name` as typed: drawn elided, and no "&" in it becomes a keyboard shortcut.
    void setTitle(const QString& name);
    QString title() const { return m_title; }

    // The menu of `posts` (already in menu order: by name, then creation date): published posts,
    // a separator (always), unpublished posts; the current post checked.
    static QList<PLYPostSwitcherEntry> menuEntries(const QList<std::shared_ptr<PLYPersistantPost>>& posts,
                                                   const QString& currentPostIdentifier);
    // Pops the menu of the current account's posts up under the button.
    void showPostMenu();
    // The menu shown last; nothing before the first.
    QMenu* postMenu() const { return m_menu; }
    // Makes the post at `tag` of the last menu current (nothing when it is already current).
    void moveToPost(int tag);

    QSize sizeHint() const override;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    HomeAction m_homeAction;
    QString m_title;
    bool m_triggerHome = false;
    QList<std::shared_ptr<PLYPersistantPost>> m_tmpPosts;
    QPointer<QMenu> m_menu;
};
