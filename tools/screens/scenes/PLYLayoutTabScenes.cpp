// The layout tab of the fixture's richer post: at full and half size, with hover, a selection,
// a rubber band in progress, edit mode, a crop under way and typing in a text block. States come from pointer events sent to the real
// canvas, as a user would make them.
#include "PLYScreens.h"
#include "PLYScreensFixture.h"
#include "PLYLayoutTabSceneSupport.h"

#include "PLYBlockView.h"
#include "PLYLayoutBlockInteractionHandler_Text.h"
#include "PLYLayoutInteraction.h"
#include "PLYLayoutManager.h"
#include "PLYLayoutScrollView.h"
#include "PLYPostManager.h"
#include "PLYLayoutViewController.h"
#include "PLYLayoutViewProxy.h"
#include "PLYRichTextEditor.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTextDocument>

namespace {

QPointF centreOf(PLYLayoutViewController* tab, const char* blockId) { return layoutFrameOf(tab, blockId).center(); }

// Sends a pointer event to the canvas at a point of the layout.
void send(PLYLayoutViewController* tab, QEvent::Type type, const QPointF& layoutPoint, Qt::MouseButton button,
          Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWidget* viewport = tab->scrollView()->viewport();
    const QPointF local = tab->scrollView()->mapFromScene(layoutPoint);
    QMouseEvent event(type, local, viewport->mapToGlobal(local), button, buttons, modifiers);
    QApplication::sendEvent(viewport, &event);
}

void hover(PLYLayoutViewController* tab, const QPointF& p) {
    send(tab, QEvent::MouseMove, p, Qt::NoButton, Qt::NoButton);
}

void click(PLYLayoutViewController* tab, const QPointF& p, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    hover(tab, p);
    send(tab, QEvent::MouseButtonPress, p, Qt::LeftButton, Qt::LeftButton, modifiers);
    send(tab, QEvent::MouseButtonRelease, p, Qt::LeftButton, Qt::NoButton, modifiers);
}

void doubleClick(PLYLayoutViewController* tab, const QPointF& p) {
    click(tab, p);
    send(tab, QEvent::MouseButtonDblClick, p, Qt::LeftButton, Qt::LeftButton);
    send(tab, QEvent::MouseButtonRelease, p, Qt::LeftButton, Qt::NoButton);
}

// Scrolls the block into the middle of the view; at full size the canvas's left edge shows.
void centreOn(PLYLayoutViewController* tab, const char* blockId) {
    tab->scrollView()->centerOn(centreOf(tab, blockId));
    QScrollBar* across = tab->scrollView()->horizontalScrollBar();
    across->setValue(across->minimum());
    PLYScreensFixture::settle(20);
}

}  // namespace

static const bool fullSize = PLYScreens::add(QStringLiteral("layout-tab"), [](PLYScreensFixture& fixture) {
    PLYLayoutViewController* tab = makeLayoutTab(fixture, 1.0);
    centreOn(tab, "c-row");
    click(tab, centreOf(tab, "i-a"));
    hover(tab, centreOf(tab, "i-b"));
    return tab;
});

static const bool halfSize = PLYScreens::add(QStringLiteral("layout-tab-zoom-50"), [](PLYScreensFixture& fixture) {
    PLYLayoutViewController* tab = makeLayoutTab(fixture, 0.5);
    centreOn(tab, "t-head");
    click(tab, centreOf(tab, "i-c"));
    click(tab, centreOf(tab, "i-e"), Qt::ShiftModifier);
    hover(tab, centreOf(tab, "i-b"));
    return tab;
});

static const bool rubberBand = PLYScreens::add(QStringLiteral("layout-tab-rubber-band"), [](PLYScreensFixture& fixture) {
    PLYLayoutViewController* tab = makeLayoutTab(fixture, 0.5);
    centreOn(tab, "c-trio");
    // From the empty room beside the canvas across the corners of two pictures.
    const QPointF start = centreOf(tab, "c-row") + QPointF(-820, 0);
    const QPointF end = centreOf(tab, "i-d") + QPointF(-100, -60);
    hover(tab, start);
    send(tab, QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
    send(tab, QEvent::MouseMove, (start + end) / 2, Qt::NoButton, Qt::LeftButton);
    send(tab, QEvent::MouseMove, end, Qt::NoButton, Qt::LeftButton);
    return tab;
});

static const bool editImage = PLYScreens::add(QStringLiteral("layout-tab-edit-image"), [](PLYScreensFixture& fixture) {
    PLYLayoutViewController* tab = makeLayoutTab(fixture, 0.5);
    centreOn(tab, "c-row");
    doubleClick(tab, centreOf(tab, "i-a"));
    return tab;
});

static const bool editText = PLYScreens::add(QStringLiteral("layout-tab-edit-text"), [](PLYScreensFixture& fixture) {
    PLYLayoutViewController* tab = makeLayoutTab(fixture, 1.0);
    centreOn(tab, "t-intro");
    doubleClick(tab, centreOf(tab, "t-intro"));
    // A double click into the editable text selects a word there.
    doubleClick(tab, centreOf(tab, "t-intro") + QPointF(-430, 0));
    return tab;
});

// Scenes that edit the shared post put it back as it was when their tab goes, so that the
// scenes after them see the fixture unchanged.
static void restoreOnClose(PLYLayoutViewController* tab, PLYScreensFixture& fixture, const char* blockId) {
    const std::shared_ptr<PLYLayoutManager> manager = fixture.mainPostManager()->layoutManager();
    const PLYBlock* block = manager->blockForRef(QString::fromLatin1(blockId));
    if (!block) return;
    const PLYBlock before = *block;
    std::weak_ptr<PLYLayoutManager> weak = manager;
    QObject::connect(tab, &QObject::destroyed, [weak, before] {
        const auto m = weak.lock();
        if (!m) return;
        m->setEditBlock(nullptr);
        const QString id = QString::fromStdString(before.id());
        if (before.has_text()) m->setTextContent(id, before.text());
        m->restoreBlockProperties(id, QByteArray::fromStdString(before.SerializeAsString()));
    });
}

// The hero picture being cropped: scaled up by its bottom-right handle, then panned with the
// button still down until it is centred on the block, where it snaps onto the block's centre
// lines; the dimmed overhang, the handles and the two snap lines show.
static const bool cropImage = PLYScreens::add(QStringLiteral("layout-tab-crop-image"), [](PLYScreensFixture& fixture) {
    fixture.mainPostManager()->layoutManager()->setEditBlock(nullptr);
    PLYLayoutViewController* tab = makeLayoutTab(fixture, 0.5);
    restoreOnClose(tab, fixture, "i-hero");
    PLYBlockView* hero = tab->layoutViewProxy()->blockViewForId(QStringLiteral("i-hero"));
    QRectF block = hero->mapRectToScene(hero->boundingRect());
    // The fixture's photos come in either orientation: a tall one is shown smaller, whole.
    if (block.height() * 0.5 > 560) tab->setZoom(qint64(56000 / block.height()));
    centreOn(tab, "i-hero");
    doubleClick(tab, centreOf(tab, "i-hero"));
    block = hero->mapRectToScene(hero->boundingRect());
    // A tenth larger by the bottom-right corner, then moved back by half of that (and a point
    // short, inside the snapping distance).
    const QPointF grow(block.width() * 0.12, block.height() * 0.12);
    send(tab, QEvent::MouseButtonPress, block.bottomRight(), Qt::LeftButton, Qt::LeftButton);
    send(tab, QEvent::MouseMove, block.bottomRight() + grow, Qt::NoButton, Qt::LeftButton);
    send(tab, QEvent::MouseButtonRelease, block.bottomRight() + grow, Qt::LeftButton, Qt::NoButton);
    const QPointF grip = block.center();
    send(tab, QEvent::MouseButtonPress, grip, Qt::LeftButton, Qt::LeftButton);
    send(tab, QEvent::MouseMove, grip - grow / 4, Qt::NoButton, Qt::LeftButton);
    send(tab, QEvent::MouseMove, grip - grow / 2 + QPointF(2, 2), Qt::NoButton, Qt::LeftButton);
    return tab;
});

// The introduction being typed into, at three-quarter size so that its whole width shows: the
// twin has the keyboard, with words added at the end and one made bold.
static const bool typeText = PLYScreens::add(QStringLiteral("layout-tab-type-text"), [](PLYScreensFixture& fixture) {
    fixture.mainPostManager()->layoutManager()->setEditBlock(nullptr);
    PLYLayoutViewController* tab = makeLayoutTab(fixture, 0.75);
    restoreOnClose(tab, fixture, "t-intro");
    centreOn(tab, "t-intro");
    PLYBlockView* intro = tab->layoutViewProxy()->blockViewForId(QStringLiteral("t-intro"));
    doubleClick(tab, centreOf(tab, "t-intro"));
    auto* handler = dynamic_cast<PLYLayoutBlockInteractionHandler_Text*>(intro->interactionHandler());
    PLYRichTextEditor* editor = handler ? handler->editTextView() : nullptr;
    if (!editor) return tab;
    editor->setSelection(editor->document()->characterCount() - 1, 0);
    const QString added = QStringLiteral(" Pack for rain.");
    for (const QChar c : added) {
        QKeyEvent down(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(tab->scrollView(), &down);
    }
    editor->setSelection(editor->document()->characterCount() - 1 - int(added.size()) + 1, 4);
    handler->toggleCurrentSelectionBold();
    editor->setSelection(editor->document()->characterCount() - 1, 0);
    PLYRichTextEditor::commitLiveEditors();
    return tab;
});
