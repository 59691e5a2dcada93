#include "PLYWindowUndoManager.h"

#include "PLYUndoManager.h"

#include <QObject>
#include <QWidget>

namespace {
// Holds the manager as a child object of its widget, so that it goes with the widget.
class Holder : public QObject {
public:
    explicit Holder(QObject* parent) : QObject(parent) { setObjectName(QString::fromLatin1(Name)); }
    static constexpr const char* Name = "PLYWindowUndoManager";
    PLYUndoManager manager;
};

PLYUndoManager* heldBy(const QWidget* widget) {
    for (QObject* child : widget->children())
        if (child->objectName() == QLatin1String(Holder::Name))
            if (auto* holder = dynamic_cast<Holder*>(child)) return &holder->manager;
    return nullptr;
}
}  // namespace

PLYUndoManager* PLYWindowUndoManager::undoManagerForWidget(QWidget* widget) {
    if (!widget) return nullptr;
    for (QWidget* w = widget; w; w = w->isWindow() ? nullptr : w->parentWidget())
        if (PLYUndoManager* manager = heldBy(w)) return manager;
    return installUndoManager(widget->window());
}

PLYUndoManager* PLYWindowUndoManager::installUndoManager(QWidget* scope) {
    if (!scope) return nullptr;
    if (PLYUndoManager* manager = heldBy(scope)) return manager;
    return &(new Holder(scope))->manager;
}
