#include "PLYPreviewPanel.h"

#include <QLabel>
#include <QPointer>
#include <QVBoxLayout>

namespace {
QPointer<PLYPreviewPanel>& sharedSlot() {
    static QPointer<PLYPreviewPanel> panel;
    return panel;
}
}  // namespace

PLYPreviewPanel::PLYPreviewPanel() : QWidget(nullptr, Qt::Tool) {
    setWindowTitle(tr("Preview"));
    // An open panel does not keep the application running once the main window closes.
    setAttribute(Qt::WA_QuitOnClose, false);
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(tr("Nothing is selected to preview."), this);
    label->setAlignment(Qt::AlignCenter);
    layout->addWidget(label);
    resize(420, 320);
}

bool PLYPreviewPanel::sharedPreviewPanelExists() { return !sharedSlot().isNull(); }

PLYPreviewPanel* PLYPreviewPanel::sharedPreviewPanel() {
    auto& slot = sharedSlot();
    if (!slot) slot = new PLYPreviewPanel();
    return slot;
}

void PLYPreviewPanel::toggle() {
    if (sharedPreviewPanelExists() && sharedSlot()->isVisible()) {
        sharedSlot()->hide();
        return;
    }
    PLYPreviewPanel* panel = sharedPreviewPanel();
    panel->show();
    panel->raise();
    panel->activateWindow();
}
