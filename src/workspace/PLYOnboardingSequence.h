#pragma once

#include <QtGlobal>

// Which onboarding popover a post window shows next, and when. The stored state
// ("presented_onboard" in the defaults) is shared by every window: 0 nothing dismissed,
// 1 the gallery popover dismissed, 2 the inspector popover dismissed too. A window first
// shows the gallery popover; after it is dismissed, the first layout edit brings the inspector
// popover. Every presentation waits a moment, so each is decided twice: when it is scheduled
// and again when it is due, because another window may have moved the state meanwhile.
class PLYOnboardingSequence {
public:
    enum class Popover { None, Gallery, Inspector };
    static constexpr double DefaultPresentationDelaySeconds = 2.0;
    // How long a presentation waits (2 s; tests use less).
    static double presentationDelaySeconds();
    static void setPresentationDelaySeconds(double seconds);

    // Reads the stored state; the inspector step counts as done when it is 2.
    PLYOnboardingSequence();

    static qint64 storedState();

    // The window is shown (or shown again): the gallery popover is due when nothing was
    // dismissed and the gallery is in a window.
    bool shouldScheduleGallery(bool galleryInWindow) const;
    bool shouldPresentGallery(bool galleryInWindow) const { return shouldScheduleGallery(galleryInWindow); }

    // A layout edit: schedules the inspector popover (answers yes and remembers that it is
    // scheduled) when the gallery step is done, the inspector step is not, the inspector is in
    // a window, that popover is not already shown and none is already scheduled.
    bool scheduleInspectorOnLayoutChange(bool inspectorInWindow, Popover shown);
    // The scheduled inspector popover is due: yes when it still should be shown. Either way
    // the schedule is over, so a later edit may schedule it again when it was not shown.
    bool presentScheduledInspector(bool inspectorInWindow);
    bool isInspectorScheduled() const { return m_willPresentInspector; }

    // The user dismissed a popover.
    void dismissGallery();
    void dismissInspector();
    bool isInspectorDone() const { return m_inspectorDone; }
    // A popover closed otherwise (a click elsewhere): that step is not shown again in this
    // window, and the stored state is left, so it comes back in the next one.
    void closedWithoutDismissal(Popover popover);

private:
    bool m_galleryPutOff = false;
    bool m_inspectorPutOff = false;
    bool m_inspectorDone = false;
    bool m_willPresentInspector = false;
};
