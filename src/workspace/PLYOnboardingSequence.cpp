#include "PLYOnboardingSequence.h"

#include "PLYDefaults.h"

namespace {
constexpr qint64 NothingDismissed = 0;
constexpr qint64 GalleryDismissed = 1;
constexpr qint64 InspectorDismissed = 2;
double g_delaySeconds = PLYOnboardingSequence::DefaultPresentationDelaySeconds;
}  // namespace

double PLYOnboardingSequence::presentationDelaySeconds() { return g_delaySeconds; }

void PLYOnboardingSequence::setPresentationDelaySeconds(double seconds) { g_delaySeconds = seconds >= 0 ? seconds : 0; }

PLYOnboardingSequence::PLYOnboardingSequence() : m_inspectorDone(storedState() == InspectorDismissed) {}

qint64 PLYOnboardingSequence::storedState() { return PLYDefaults::onBoardPresentationState(); }

bool PLYOnboardingSequence::shouldScheduleGallery(bool galleryInWindow) const {
    return galleryInWindow && !m_galleryPutOff && storedState() == NothingDismissed;
}

bool PLYOnboardingSequence::scheduleInspectorOnLayoutChange(bool inspectorInWindow, Popover shown) {
    if (m_inspectorDone || m_inspectorPutOff || m_willPresentInspector || !inspectorInWindow) return false;
    if (storedState() != GalleryDismissed || shown == Popover::Inspector) return false;
    m_willPresentInspector = true;
    return true;
}

bool PLYOnboardingSequence::presentScheduledInspector(bool inspectorInWindow) {
    if (!m_willPresentInspector) return false;
    m_willPresentInspector = false;
    if (storedState() == InspectorDismissed) m_inspectorDone = true;
    return !m_inspectorDone && !m_inspectorPutOff && inspectorInWindow && storedState() == GalleryDismissed;
}

void PLYOnboardingSequence::closedWithoutDismissal(Popover popover) {
    if (popover == Popover::Gallery) m_galleryPutOff = true;
    if (popover == Popover::Inspector) m_inspectorPutOff = true;
}

void PLYOnboardingSequence::dismissGallery() {
    // Never back: a window still showing the gallery popover after the inspector step was
    // done elsewhere leaves the state at 2.
    if (storedState() < GalleryDismissed) PLYDefaults::setOnBoardPresentationState(GalleryDismissed);
}

void PLYOnboardingSequence::dismissInspector() {
    m_inspectorDone = true;
    PLYDefaults::setOnBoardPresentationState(InspectorDismissed);
}
