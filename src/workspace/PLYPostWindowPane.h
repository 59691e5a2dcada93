#pragma once

#include "PLYGenericPostViewController.h"

#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>
#include <type_traits>

class PLYPostManager;

// One pane of the post window as the window sees it: its widget and how it takes the post.
// Every post pane is a PLYGenericPostViewController and takes the post as its represented
// object; it is plugged in with `PLYPostWindowPane::of(pane)`.
struct PLYPostWindowPane {
    QPointer<QWidget> widget;
    std::function<void(const std::shared_ptr<PLYPostManager>&)> setPostManager;

    bool isValid() const { return !widget.isNull(); }

    template <class Pane>
    static PLYPostWindowPane of(Pane* pane) {
        PLYPostWindowPane result;
        result.widget = pane;
        QPointer<Pane> weak(pane);
        static_assert(std::is_base_of_v<PLYGenericPostViewController, Pane>, "a post pane derives from PLYGenericPostViewController");
        result.setPostManager = [weak](const std::shared_ptr<PLYPostManager>& manager) {
            if (weak) weak->setRepresentedObject(manager);
        };
        return result;
    }
};

// The middle pane, the layout tab, which also plays the window's entrance and takes its zoom.
struct PLYPostWindowLayoutPane : PLYPostWindowPane {
    // Hides the canvas before the window's opening animation.
    std::function<void()> ensureEntrancePostion;
    // Fits the layout and fades the canvas in.
    std::function<void()> performEntrance;
    // 0 fits the layout (animated); any other value is a percentage.
    std::function<void(qint64 percent)> setZoom;

    template <class Pane>
    static PLYPostWindowLayoutPane of(Pane* pane) {
        PLYPostWindowLayoutPane result;
        static_cast<PLYPostWindowPane&>(result) = PLYPostWindowPane::of(pane);
        QPointer<Pane> weak(pane);
        result.ensureEntrancePostion = [weak] {
            if (weak) weak->ensureEntrancePostion();
        };
        result.performEntrance = [weak] {
            if (weak) weak->performEntrance();
        };
        result.setZoom = [weak](qint64 percent) {
            if (weak) weak->setZoom(percent);
        };
        return result;
    }
};
