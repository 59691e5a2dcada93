// The new-post sheet (as it opens, and filled in with a folder from the fixture's library), the
// image-preparation card over the post window's backdrop, and the two onboarding popovers.
#include "PLYScreens.h"
#include "PLYScreensFixture.h"

#include "PLYColor.h"
#include "PLYDefaults.h"
#include "PLYImageProcessView.h"
#include "PLYOnboardingPopover.h"
#include "PLYFileDialogs.h"
#include "PLYPostViewController.h"
#include "PLYPrepProgress.h"
#include "PLYPrepViewController.h"
#include "PLYScriptedFileDialogs.h"

#include <QLineEdit>
#include <QVBoxLayout>

namespace {

const bool sheet = PLYScreens::add(QStringLiteral("new-post-sheet"), [](PLYScreensFixture&) {
    PLYDefaults::setDefaultPadding(10);
    auto* prep = new PLYPrepViewController;
    prep->open();
    return prep;
});

const bool sheetFilled = PLYScreens::add(QStringLiteral("new-post-sheet-filled"), [](PLYScreensFixture& fixture) {
    PLYDefaults::setDefaultPadding(16);
    PLYDefaults::setDefaultColour(QColor(0xF4, 0xF1, 0xEA));
    auto* prep = new PLYPrepViewController;
    prep->open();
    // The folder is chosen as the user would, through the folder panel.
    const auto dialogs = std::make_shared<PLYScriptedFileDialogs>();
    dialogs->scriptFolder(fixture.photosDirectory());
    PLYFileDialogs::setShared(dialogs);
    prep->setDirectoryAction();
    PLYFileDialogs::setShared(nullptr);
    prep->findChild<QLineEdit*>(QStringLiteral("titleTextField"))->setText(QStringLiteral("Autumn in the Highlands"));
    PLYDefaults::setDefaultColour(QColor(Qt::white));
    return prep;
});

const bool preparation = PLYScreens::add(QStringLiteral("image-preparation"), [](PLYScreensFixture&) {
    auto* backdrop = new QWidget;
    backdrop->setAutoFillBackground(true);
    QPalette palette = backdrop->palette();
    palette.setColor(QPalette::Window, PLYColor::kro_layoutBackground());
    backdrop->setPalette(palette);
    auto* layout = new QVBoxLayout(backdrop);
    auto* card = new PLYImageProcessView(backdrop);
    card->setProgress(PLYPrepProgress::fromCounts(3, 12));
    layout->addWidget(card, 0, Qt::AlignCenter);
    backdrop->resize(560, 300);
    return backdrop;
});

QWidget* popover(QWidget* content, PLYOnboardingPopover::Edge edge) {
    // The control it points at; gone with the popover.
    auto* anchor = new QWidget;
    anchor->resize(250, 80);
    auto* popover = new PLYOnboardingPopover(content, anchor);
    QObject::connect(popover, &QObject::destroyed, anchor, &QObject::deleteLater);
    popover->showRelativeToRect(QRect(0, 0, 250, 80), anchor, edge);
    return popover;
}

const bool galleryOnboarding = PLYScreens::add(QStringLiteral("onboarding-gallery-popover"), [](PLYScreensFixture&) {
    return popover(PLYPostViewController::makeOnboardGalleryView(), PLYOnboardingPopover::Edge::MaxX);
});

const bool inspectorOnboarding = PLYScreens::add(QStringLiteral("onboarding-inspector-popover"), [](PLYScreensFixture&) {
    return popover(PLYPostViewController::makeOnboardInspectorView(), PLYOnboardingPopover::Edge::MinX);
});

}  // namespace
