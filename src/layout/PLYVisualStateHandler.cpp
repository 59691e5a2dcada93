#include "PLYVisualStateHandler.h"

#include "PLYUserDefaults.h"

#include <QSet>
#include <algorithm>
#include <cmath>

namespace {
// Every handler alive, so that a dying delegate can leave all of them. Main thread only.
QSet<PLYVisualStateHandler*>& liveHandlers() {
    static QSet<PLYVisualStateHandler*> handlers;
    return handlers;
}

std::unique_ptr<PLYVisualStateHandler>& globalInstance() {
    static std::unique_ptr<PLYVisualStateHandler> instance;
    return instance;
}
}  // namespace

PLYVisualStateHandlerDelegate::~PLYVisualStateHandlerDelegate() { PLYVisualStateHandler::forgetDelegate(this); }

PLYVisualStateHandler* PLYVisualStateHandler::globalHandler() {
    auto& instance = globalInstance();
    if (!instance) instance = std::make_unique<PLYVisualStateHandler>();
    return instance.get();
}

void PLYVisualStateHandler::resetGlobalHandler() { globalInstance().reset(); }

PLYVisualStateHandler::PLYVisualStateHandler() {
    auto& defaults = PLYUserDefaults::standardUserDefaults();
    m_galleryVisible = defaults.boolForKey(QString::fromLatin1(GalleryVisibleKey), false);
    m_inspectorVisible = defaults.boolForKey(QString::fromLatin1(InspectorVisibleKey), false);
    liveHandlers().insert(this);
}

PLYVisualStateHandler::~PLYVisualStateHandler() { liveHandlers().remove(this); }

void PLYVisualStateHandler::forgetDelegate(PLYVisualStateHandlerDelegate* delegate) {
    for (PLYVisualStateHandler* handler : liveHandlers()) handler->m_delegates.removeAll(delegate);
}

void PLYVisualStateHandler::addVisualDelegate(PLYVisualStateHandlerDelegate* delegate) {
    if (delegate && !m_delegates.contains(delegate)) m_delegates << delegate;
}

void PLYVisualStateHandler::removeVisualDelegate(PLYVisualStateHandlerDelegate* delegate) {
    m_delegates.removeAll(delegate);
}

// Over a copy; a delegate removed by an earlier one's call is skipped.
template <class Fn>
void PLYVisualStateHandler::inform(Fn&& fn) {
    const auto delegates = m_delegates;
    for (auto* d : delegates)
        if (m_delegates.contains(d)) fn(d);
}

void PLYVisualStateHandler::setPostHeaderVisible(bool visible) {
    m_postHeaderVisible = visible;
    inform([&](PLYVisualStateHandlerDelegate* d) { d->visualStateHandlerSetPostHeaderVisible(this, visible); });
}

void PLYVisualStateHandler::setGalleryVisible(bool visible) {
    m_galleryVisible = visible;
    PLYUserDefaults::standardUserDefaults().setBool(visible, QString::fromLatin1(GalleryVisibleKey));
    inform([&](PLYVisualStateHandlerDelegate* d) { d->visualStateHandlerSetGalleryVisible(this, visible); });
}

void PLYVisualStateHandler::toggleGalleryVisible() { setGalleryVisible(!m_galleryVisible); }

void PLYVisualStateHandler::setInspectorVisible(bool visible) {
    m_inspectorVisible = visible;
    PLYUserDefaults::standardUserDefaults().setBool(visible, QString::fromLatin1(InspectorVisibleKey));
    inform([&](PLYVisualStateHandlerDelegate* d) { d->visualStateHandlerSetInspectorVisible(this, visible); });
}

void PLYVisualStateHandler::toggleInspectorVisible() { setInspectorVisible(!m_inspectorVisible); }

void PLYVisualStateHandler::setLayoutZoomFactor(double factor) {
    m_zoom = factor;
    inform([&](PLYVisualStateHandlerDelegate* d) { d->visualStateHandlerSetLayoutZoomFactor(this, factor); });
}

void PLYVisualStateHandler::incrementLayoutZoomFactorBy(double step) {
    setLayoutZoomFactor(std::clamp(m_zoom + step, MinimumSteppedZoom, MaximumSteppedZoom));
}

void PLYVisualStateHandler::decrementLayoutZoomFactorBy(double step) {
    setLayoutZoomFactor(std::clamp(m_zoom - step, MinimumSteppedZoom, MaximumSteppedZoom));
}

void PLYVisualStateHandler::setLayoutZoomToFit() {
    std::optional<double> fit;
    inform([&](PLYVisualStateHandlerDelegate* d) {
        if (fit) return;
        // A zoom that is not a positive number would hide the layout: treat it as no answer.
        std::optional<double> answer = d->layoutZoomFactorToFitForVisualStateHandler(this);
        if (answer && std::isfinite(*answer) && *answer > 0.0) fit = answer;
    });
    if (fit) setLayoutZoomFactor(*fit);
}
