#include "PLYAddBlockPopover.h"

#include "PLYFormWidgets.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace PLYAddBlockPopover {

namespace {

QList<QWidget*> makeTiles(QWidget* parent) {
    QList<QWidget*> tiles;
    for (const auto& [name, title] : {std::pair{"textBlockTile", QObject::tr("Text")},
                                      std::pair{"blankBlockTile", QObject::tr("Spacer")},
                                      std::pair{"downloadBlockTile", QObject::tr("Download Button")}}) {
        auto* tile = new QLabel(title, parent);
        tile->setObjectName(QLatin1String(name));
        tile->setAlignment(Qt::AlignCenter);
        tile->setFixedSize(100, 67);
        tile->setStyleSheet(QStringLiteral("QLabel { background: white; border: 1px solid #d0d0d0; border-radius: 6px; }"));
        tiles << tile;
    }
    return tiles;
}

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
    for (QWidget* tile : makeTiles(view)) row->addWidget(tile);
    layout->addLayout(row);
    return view;
}

}  // namespace PLYAddBlockPopover
