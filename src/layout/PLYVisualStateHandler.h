#pragma once

#include <QList>
#include <memory>
#include <optional>

class PLYVisualStateHandler;

// Hears of panel visibility and zoom changes. Every operation is optional. A delegate leaves
// every handler it is registered with when it is destroyed, so a handler never calls a dead one.
class PLYVisualStateHandlerDelegate {
public:
    PLYVisualStateHandlerDelegate() = default;
    PLYVisualStateHandlerDelegate(const PLYVisualStateHandlerDelegate&) = delete;
    PLYVisualStateHandlerDelegate& operator=(const PLYVisualStateHandlerDelegate&) = delete;
    virtual ~PLYVisualStateHandlerDelegate();

    virtual void visualStateHandlerSetPostHeaderVisible(PLYVisualStateHandler*, bool) {}
    virtual void visualStateHandlerSetGalleryVisible(PLYVisualStateHandler*, bool) {}
    virtual void visualStateHandlerSetInspectorVisible(PLYVisualStateHandler*, bool) {}
    virtual void visualStateHandlerSetLayoutZoomFactor(PLYVisualStateHandler*, double) {}
    // The zoom at which the layout fits its view; nothing when this delegate cannot tell.
    virtual std::optional<double> layoutZoomFactorToFitForVisualStateHandler(PLYVisualStateHandler*) {
        return std::nullopt;
    }
};

// Panel visibility (post header, gallery, inspector) and the layout zoom, shared by every
// window. The gallery and inspector flags persist in the defaults "present_gallery" and
// "present_outline"; a set flag collapses its pane.
class PLYVisualStateHandler {
public:
    static constexpr double DefaultZoom = 1.0;
    static constexpr double MinimumSteppedZoom = 0.1;
    static constexpr double MaximumSteppedZoom = 4.0;
    static constexpr const char* GalleryVisibleKey = "present_gallery";
    static constexpr const char* InspectorVisibleKey = "present_outline";

    static PLYVisualStateHandler* globalHandler();
    // Tests start from a fresh handler read from the current defaults.
    static void resetGlobalHandler();

    PLYVisualStateHandler();
    ~PLYVisualStateHandler();
    PLYVisualStateHandler(const PLYVisualStateHandler&) = delete;
    PLYVisualStateHandler& operator=(const PLYVisualStateHandler&) = delete;

    // Registered delegates are informed in registration order; registering twice is harmless.
    // The handler does not own them: a delegate stays registered until it is removed or
    // destroyed.
    void addVisualDelegate(PLYVisualStateHandlerDelegate* delegate);
    void removeVisualDelegate(PLYVisualStateHandlerDelegate* delegate);
    QList<PLYVisualStateHandlerDelegate*> visualDelegates() const { return m_delegates; }

    bool postHeaderVisible() const { return m_postHeaderVisible; }
    void setPostHeaderVisible(bool visible);
    bool galleryVisible() const { return m_galleryVisible; }
    void setGalleryVisible(bool visible);
    void toggleGalleryVisible();
    bool inspectorVisible() const { return m_inspectorVisible; }
    void setInspectorVisible(bool visible);
    void toggleInspectorVisible();

    double layoutZoomFactor() const { return m_zoom; }
    // Stored as given (zoom to fit and pinches may leave the stepped range).
    void setLayoutZoomFactor(double factor);
    // One step up or down, kept between 0.1 and 4.0.
    void incrementLayoutZoomFactorBy(double step);
    void decrementLayoutZoomFactorBy(double step);
    // The first delegate that can tell gives the factor; nothing changes when none can.
    void setLayoutZoomToFit();

    // Drops `delegate` from every live handler (called as a delegate is destroyed).
    static void forgetDelegate(PLYVisualStateHandlerDelegate* delegate);

private:
    template <class Fn>
    void inform(Fn&& fn);

    QList<PLYVisualStateHandlerDelegate*> m_delegates;
    bool m_postHeaderVisible = false;
    bool m_galleryVisible = false;
    bool m_inspectorVisible = false;
    double m_zoom = DefaultZoom;
};
