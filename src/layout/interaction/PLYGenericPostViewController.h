#pragma once

#include <QWidget>
#include <memory>

class PLYPostManager;

// The base of every pane and tab that works on one post (the layout tab, the gallery, the
// inspector and its tabs, the publish panel). It holds the post's manager; a subclass wires its
// parts in its setPostManager, after calling this one. Handing the same manager over twice is
// harmless for subclasses that check `postManager()` first.
class PLYGenericPostViewController : public QWidget {
    Q_OBJECT
public:
    explicit PLYGenericPostViewController(QWidget* parent = nullptr);
    ~PLYGenericPostViewController() override;

    std::shared_ptr<PLYPostManager> postManager() const { return m_postManager; }
    virtual void setPostManager(std::shared_ptr<PLYPostManager> postManager);

    // The object the pane represents: the post manager, passed on to setPostManager.
    std::shared_ptr<PLYPostManager> representedObject() const { return m_postManager; }
    void setRepresentedObject(std::shared_ptr<PLYPostManager> object);

private:
    std::shared_ptr<PLYPostManager> m_postManager;
};
