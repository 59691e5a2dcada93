#include "PLYWindowUndoManager.h"

#include "PLYUndoManager.h"

#include <QObject>
#include <QWidget>

namespace {
// Holds the manager as a child object of the window, so that it goes with the window.
class Holder : public QObject {
public:
    explicit Holder(QObject* parent) : QObject(parent) { setObjectName(QString::fromLatin1(Name)); }
    static constexpr const char* Name = "PLYWindowUndoManager";
    PLYUndoManager manager;
};
}  // namespace

PLYUndoManager* PLYWindowUndoManager::undoManagerForWidget(QWidget* widget) {
    if (!widget) return nullptr;
    QWidget* window = widget->window();
    for (QObject* child : window->children())
        if (child->objectName() == QLatin1String(Holder::Name))
            if (auto* holder = dynamic_cast<Holder*>(child)) return &holder->manager;
    return &(new Holder(window))->manager;
}
