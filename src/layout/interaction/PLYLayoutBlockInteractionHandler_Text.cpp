#include "PLYLayoutBlockInteractionHandler_Text.h"

#include "PLYBlockDrawHandler_Text.h"
#include "PLYBlockView.h"
#include "PLYGeometry.h"
#include "PLYLayoutInteractionView.h"
#include "PLYRichTextEditor.h"

PLYLayoutBlockInteractionHandler_Text::~PLYLayoutBlockInteractionHandler_Text() { delete m_twin.data(); }

PLYBlockView* PLYLayoutBlockInteractionHandler_Text::editBlockView() const { return m_twin; }

void PLYLayoutBlockInteractionHandler_Text::ensureEditViews(PLYLayoutInteractionView* overlay) {
    if (m_twin || !overlay || !view()) return;
    PLYBlockView* twin = PLYBlockView::viewWithBlock(view()->representedBlock(), view()->layoutViewProxy(),
                                                     view()->sectionView());
    if (!twin) return;
    m_twin = twin;
    twin->setParentItem(overlay);
    twin->setEditable(true);
    if (auto* draw = dynamic_cast<PLYBlockDrawHandler_Text*>(twin->drawHandler()))
        if (PLYRichTextEditor* editor = draw->textView()) overlay->watchKeysOfEditView(editor);
    view()->setOpacity(0.0);
}

void PLYLayoutBlockInteractionHandler_Text::teardownEditViews() {
    delete m_twin.data();
    m_twin = nullptr;
    if (view()) view()->setOpacity(1.0);
}

void PLYLayoutBlockInteractionHandler_Text::ensureEditFrames(PLYLayoutInteractionView* overlay) {
    if (!m_twin || !overlay || !view()) return;
    m_twin->setPos(overlay->mapFromItem(view(), QPointF(0, 0)));
}

bool PLYLayoutBlockInteractionHandler_Text::updateCursorForPoint(const QPointF& point, PLYLayoutInteractionView*) {
    return PLYGeometry::pointInRect(point, blockFrame());
}
