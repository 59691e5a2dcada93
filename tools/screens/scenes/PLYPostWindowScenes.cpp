// The post window whole (gallery, layout and inspector at a laptop's window size, at rest and
// with a block selected), the new-post sheet on its own and over the window, the window while a
// new post's photos are prepared, the image-preparation card, the two onboarding popovers
// alone and beside their panes, and a hint over a field being typed in. Windows are driven through their real roads and events.
#include "PLYScreens.h"
#include "PLYScreensFixture.h"

#include "PLYBlockView.h"
#include "PLYColor.h"
#include "PLYCoreManager.h"
#include "PLYDefaults.h"
#include "PLYFileDialogs.h"
#include "PLYImageProcessView.h"
#include "PLYInspectorViewController.h"
#include "PLYLayoutManager.h"
#include "PLYLayoutInteraction.h"
#include "PLYLayoutInteractionView.h"
#include "PLYLayoutScrollView.h"
#include "PLYLayoutViewController.h"
#include "PLYLayoutViewProxy.h"
#include "PLYOnboardingPopover.h"
#include "PLYOnboardingSequence.h"
#include "PLYPostManager.h"
#include "PLYPostViewController.h"
#include "PLYPostWindowFactory.h"
#include "PLYPrepProgress.h"
#include "PLYPrepViewController.h"
#include "PLYRecentContainer.h"
#include "PLYScriptedFileDialogs.h"
#include "PLYTestImages.h"
#include "PLYUserDefaults.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
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

// ---- the window in context --------------------------------------------------------------------

constexpr QSize kWindowSize(1440, 900);

// A window's picture with its sheets and popovers (top-level windows of their own) laid over it
// where a desktop shows them. The offscreen screen is smaller than the window, so their own
// positions, kept on that screen, are not used.
class Composite : public QWidget {
public:
    // Takes the window: it goes with the picture.
    explicit Composite(QWidget* window) : m_base(window->grab()), m_window(window) { setFixedSize(window->size()); }
    ~Composite() override { delete m_window; }
    // A window (framed and shadowed as a desktop draws it) or a popover (which draws its own).
    void addOverlay(QWidget* overlay, QPoint topLeft, bool framed = false) {
        m_overlays.append({overlay->grab(), QRect(topLeft, overlay->size()), framed});
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.drawPixmap(0, 0, m_base);
        for (const Overlay& overlay : std::as_const(m_overlays)) {
            if (overlay.framed) {
                painter.setPen(Qt::NoPen);
                for (int i = 1; i <= 8; ++i) {
                    painter.setBrush(QColor(0, 0, 0, 5));
                    painter.drawRoundedRect(overlay.rect.adjusted(-i, -i + 4, i, i + 4), 6 + i, 6 + i);
                }
            }
            painter.drawPixmap(overlay.rect.topLeft(), overlay.pixmap);
            if (overlay.framed) {
                painter.setPen(QColor(0, 0, 0, 60));
                painter.setBrush(Qt::NoBrush);
                painter.drawRect(QRectF(overlay.rect).adjusted(-0.5, -0.5, 0.5, 0.5));
            }
        }
    }

private:
    struct Overlay {
        QPixmap pixmap;
        QRect rect;
        bool framed;
    };
    QPixmap m_base;
    QPointer<QWidget> m_window;
    QList<Overlay> m_overlays;
};

// The editor of `manager` as the root navigation opens it: made from the storyboard, given the
// post, shown, then presented.
PLYPostViewController* openWindow(const std::shared_ptr<PLYPostManager>& manager, int onboardingState = 2) {
    PLYLayoutInteraction::registerInteractionHandlers();
    PLYPostWindowFactory::registerMissingScenes();
    PLYDefaults::setOnBoardPresentationState(onboardingState);
    // Scenes share the fixture's posts: each window starts with nothing edited, selected or hovered.
    if (const auto layout = manager->layoutManager()) {
        layout->setEditBlock(nullptr);
        layout->deSelectAllBlocks();
        layout->setHoverBlock(nullptr);
    }
    auto* window = PLYPostWindowFactory::makePostViewController();
    window->setPostManager(manager);
    window->resize(kWindowSize);
    window->show();
    PLYScreensFixture::settle(30);
    window->presentInitialVisualState();
    return window;
}

// Lets the layout's entrance (a fit, then a fade after half a second) finish: the overlay takes
// the pointer again and the canvas is drawn without its fading effect.
void settleEntrance(PLYPostViewController* window) {
    auto* tab = window->findChild<PLYLayoutViewController*>();
    QDeadlineTimer deadline(5000);
    while (!deadline.hasExpired() && (tab->interactionView()->opacity() < 1.0 || tab->scrollView()->graphicsEffect()))
        PLYScreensFixture::settle(20);
    PLYScreensFixture::settle(50);
}

void clickLayoutBlock(PLYPostViewController* window, const char* blockId) {
    auto* tab = window->findChild<PLYLayoutViewController*>();
    PLYBlockView* view = tab->layoutViewProxy()->blockViewForId(QString::fromLatin1(blockId));
    if (!view) return;
    // Scrolled into sight first: the fixture's photos are of several shapes, so the block may lie
    // below the fold.
    const QRectF frame = view->mapRectToScene(view->boundingRect());
    tab->scrollView()->ensureVisible(frame, 40, 40);
    PLYScreensFixture::settle(20);
    QWidget* viewport = tab->scrollView()->viewport();
    const QPointF local = tab->scrollView()->mapFromScene(frame.center());
    for (const auto& [type, buttons] : {std::pair{QEvent::MouseMove, Qt::MouseButtons()},
                                         std::pair{QEvent::MouseButtonPress, Qt::MouseButtons(Qt::LeftButton)},
                                         std::pair{QEvent::MouseButtonRelease, Qt::MouseButtons()}}) {
        QMouseEvent event(type, local, viewport->mapToGlobal(local), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                          buttons, Qt::NoModifier);
        QApplication::sendEvent(viewport, &event);
    }
}

const bool postWindow = PLYScreens::add(QStringLiteral("post-window"), [](PLYScreensFixture& fixture) {
    PLYPostViewController* window = openWindow(fixture.mainPostManager());
    settleEntrance(window);
    return window;
});

const bool postWindowSelection = PLYScreens::add(QStringLiteral("post-window-block-selected"), [](PLYScreensFixture& fixture) {
    PLYPostViewController* window = openWindow(fixture.mainPostManager());
    settleEntrance(window);
    clickLayoutBlock(window, "i-a");
    return window;
});

// A new post: the window opens empty with the set-up sheet over it.
const bool newPostWindow = PLYScreens::add(QStringLiteral("post-window-new-post-sheet"), [](PLYScreensFixture&) {
    PLYDefaults::setDefaultPadding(10);
    auto manager = PLYCoreManager::globalManager()->postManagerEmpty();
    PLYPostViewController* window = openWindow(manager);
    PLYPrepViewController* sheet = window->prepViewController();
    if (!sheet) return static_cast<QWidget*>(window);
    sheet->findChild<QLineEdit*>(QStringLiteral("titleTextField"))->setText(QStringLiteral("A Weekend on Skye"));
    PLYScreensFixture::settle(50);
    auto* picture = new Composite(window);
    // A dialog opens centred over its window.
    picture->addOverlay(sheet, QPoint((window->width() - sheet->width()) / 2, (window->height() - sheet->height()) / 2),
                        true);
    window->hide();
    return static_cast<QWidget*>(picture);
});

// The new post confirmed with a folder of photos that are not prepared yet.
const bool preparingWindow = PLYScreens::add(QStringLiteral("post-window-preparing"), [](PLYScreensFixture& fixture) {
    const QString folder = QDir(fixture.rootDirectory()).filePath(QStringLiteral("Photos/Skye"));
    QDir().mkpath(folder);
    for (int i = 0; i < 40; ++i)
        PLYTestImages::writePhotoJpeg(QDir(folder).filePath(QStringLiteral("IMG_%1.jpg").arg(2200 + i)), 2400, 1600, 40 + i);
    // The scenes after this one find the library as it was: no new post, the same current post
    // and recent folders.
    PLYCoreManager* core = PLYCoreManager::globalManager();
    PLYUserDefaults& defaults = PLYUserDefaults::standardUserDefaults();
    QVariantMap recents;
    for (const char* key : {PLYRecentContainer::kRecentDirectories, PLYRecentContainer::kRecentBookmarks})
        recents.insert(QLatin1String(key), defaults.objectForKey(QLatin1String(key)));
    auto manager = core->postManagerEmpty();
    const auto previous = core->currentPostManager();
    core->setCurrentPostManager(manager);
    PLYPostViewController* window = openWindow(manager);
    QObject::connect(window, &QObject::destroyed, [manager, previous, recents] {
        PLYCoreManager* core = PLYCoreManager::globalManager();
        core->setCurrentPostManager(previous);
        if (manager->representedPost()) core->deletePost(manager->representedPost());
        PLYUserDefaults& defaults = PLYUserDefaults::standardUserDefaults();
        for (auto it = recents.begin(); it != recents.end(); ++it) {
            if (it.value().isValid()) defaults.setObject(it.value(), it.key());
            else defaults.removeObjectForKey(it.key());
        }
    });
    PLYPrepViewController* sheet = window->prepViewController();
    if (!sheet) return window;
    const auto dialogs = std::make_shared<PLYScriptedFileDialogs>();
    dialogs->scriptFolder(folder);
    PLYFileDialogs::setShared(dialogs);
    sheet->setDirectoryAction();
    PLYFileDialogs::setShared(nullptr);
    sheet->findChild<QLineEdit*>(QStringLiteral("titleTextField"))->setText(QStringLiteral("A Weekend on Skye"));
    sheet->findChild<QPushButton*>(QStringLiteral("doneButton"))->click();
    return window;
});

// The first-run hint beside the gallery, two seconds after the window opened: it lies inside the
// window, over its views.
const bool onboardingWindow = PLYScreens::add(QStringLiteral("post-window-onboarding"), [](PLYScreensFixture& fixture) {
    PLYOnboardingSequence::setPresentationDelaySeconds(0.1);
    PLYPostViewController* window = openWindow(fixture.mainPostManager(), 0);
    settleEntrance(window);
    PLYOnboardingSequence::setPresentationDelaySeconds(PLYOnboardingSequence::DefaultPresentationDelaySeconds);
    PLYDefaults::setOnBoardPresentationState(2);
    return static_cast<QWidget*>(window);
});

// The hint over a field being typed in: the field keeps the keyboard and its text, the hint
// stays drawn over the form without taking anything.
const bool hintOverField = PLYScreens::add(QStringLiteral("popover-over-field"), [](PLYScreensFixture&) {
    auto* form = new QWidget;
    form->setAutoFillBackground(true);
    auto* column = new QVBoxLayout(form);
    column->setContentsMargins(24, 24, 24, 24);
    column->setSpacing(10);
    auto* title = new QLineEdit(form);
    title->setObjectName(QStringLiteral("titleField"));
    auto* keywords = new QLineEdit(form);
    keywords->setPlaceholderText(QStringLiteral("Focus keywords"));
    auto* description = new QLineEdit(form);
    description->setPlaceholderText(QStringLiteral("Description"));
    for (QLineEdit* field : {title, keywords, description}) column->addWidget(field);
    column->addStretch(1);
    form->resize(420, 300);
    form->show();
    title->setFocus();
    auto* hint = new PLYOnboardingPopover(PLYPostViewController::makeOnboardInspectorView(), form,
                                          PLYOnboardingPopover::Presentation::InWindow);
    hint->showRelativeToRect(QRect(QPoint(0, 0), QSize(140, title->height())), title, PLYOnboardingPopover::Edge::Below);
    // Typed while the hint is up.
    for (const QChar c : QStringLiteral("A Weekend on Skye")) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(title, &press);
    }
    PLYScreensFixture::settle(30);
    return form;
});

}  // namespace

