#include "PLYAddBlockPopover.h"

#include "PLYDragBlockImageView.h"
#include "PLYFormWidgets.h"
#include "PLYOnboardingPopover.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPointer>
#include <QVBoxLayout>

namespace PLYAddBlockPopover {

namespace {

// As a tile's drag begins (a move with the button held), the popover it sits in steps aside: a
// transient popover goes once the user works elsewhere, and the drop lands on the layout.
class CloseOnDrag : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::MouseMove && (static_cast<QMouseEvent*>(event)->buttons() & Qt::LeftButton)) {
            auto* widget = qobject_cast<QWidget*>(watched);
            if (auto* popover = widget ? qobject_cast<PLYOnboardingPopover*>(widget->window()) : nullptr)
                popover->closePopover();
        }
        return false;
    }
};

}  // namespace

QWidget* makePopOverView(QWidget* parent) {
    auto* view = new QWidget(parent);
    view->setObjectName(QStringLiteral("popOverView"));
    auto* layout = new QVBoxLayout(view);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    QLabel* title = PLYFormWidgets::heading(QObject::tr("Add a Block"), view);
    QFont font = title->font();
    font.setPointSizeF(font.pointSizeF() / 1.2);
    title->setFont(font);
    layout->addWidget(title);
    layout->addWidget(PLYFormWidgets::caption(QObject::tr("Drag a block onto the layout."), view));
    layout->addSpacing(8);
    auto* row = new QHBoxLayout;
    row->setSpacing(12);
    auto* closer = new CloseOnDrag(view);
    for (PLYDragBlockImageView* tile :
         {PLYDragBlockImageView::textTile(view), PLYDragBlockImageView::blankTile(view), PLYDragBlockImageView::downloadTile(view)}) {
        tile->installEventFilter(closer);
        row->addWidget(tile);
    }
    layout->addLayout(row);
    return view;
}

}  // namespace PLYAddBlockPopover
