#include "PLYPreviewPanel.h"

#include "PLYKeyCodes.h"
#include "PLYPreviewPresenter.h"
#include "PLYSafeText.h"

#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QVBoxLayout>

namespace {
QPointer<PLYPreviewPanel>& sharedSlot() {
    static QPointer<PLYPreviewPanel> panel;
    return panel;
}
constexpr int kLongestEdge = 1200;
}  // namespace

PLYPreviewPanel::PLYPreviewPanel() : QWidget(nullptr, Qt::Tool) {
    setWindowTitle(tr("Preview"));
    // An open panel does not keep the application running once the main window closes.
    setAttribute(Qt::WA_QuitOnClose, false);
    auto* layout = new QVBoxLayout(this);
    m_imageLabel = new QLabel(this);
    m_imageLabel->setObjectName(QStringLiteral("previewImageLabel"));
    m_imageLabel->setAlignment(Qt::AlignCenter);
    m_imageLabel->setMinimumSize(200, 150);
    m_imageLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    m_titleLabel = new QLabel(this);
    m_titleLabel->setObjectName(QStringLiteral("previewTitleLabel"));
    m_titleLabel->setAlignment(Qt::AlignCenter);
    // An image's file name, shown as it is spelled.
    PLYSafeText::makePlain(m_titleLabel);
    m_titleLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_imageLabel, 1);
    layout->addWidget(m_titleLabel);
    resize(640, 480);
    showCurrent();
}

bool PLYPreviewPanel::sharedPreviewPanelExists() { return !sharedSlot().isNull(); }

PLYPreviewPanel* PLYPreviewPanel::sharedPreviewPanel() {
    auto& slot = sharedSlot();
    if (!slot) slot = new PLYPreviewPanel();
    return slot;
}

void PLYPreviewPanel::toggle() { PLYPreviewPresenter::shared()->toggle(); }

void PLYPreviewPanel::reloadItems() {
    PLYPreviewPanelController* controller = PLYPreviewPresenter::shared()->controller();
    m_count = controller ? qMax(0, controller->numberOfPreviewItems()) : 0;
    if (m_index >= m_count) m_index = 0;
    showCurrent();
}

void PLYPreviewPanel::showCurrent() {
    PLYPreviewPanelController* controller = PLYPreviewPresenter::shared()->controller();
    m_picture = QImage();
    if (!controller || m_count == 0) {
        m_imageLabel->setPixmap({});
        m_imageLabel->setText(tr("Nothing is selected to preview."));
        m_titleLabel->clear();
        return;
    }
    const PLYPreviewItem item = controller->previewItemAtIndex(m_index);
    // The panel shows one picture at a time; it is read once, reduced, when it becomes current.
    QImageReader reader(item.url.toLocalFile());
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (size.isValid() && qMax(size.width(), size.height()) > kLongestEdge)
        reader.setScaledSize(size.scaled(kLongestEdge, kLongestEdge, Qt::KeepAspectRatio));
    m_picture = reader.read();
    m_titleLabel->setText(m_count > 1 ? tr("%1 (%2 of %3)").arg(item.title).arg(m_index + 1).arg(m_count) : item.title);
    if (m_picture.isNull()) {
        m_imageLabel->setPixmap({});
        m_imageLabel->setText(tr("This picture cannot be shown."));
        return;
    }
    m_imageLabel->setText({});
    const qreal dpr = devicePixelRatioF();
    QPixmap pixmap = QPixmap::fromImage(m_picture.scaled(m_imageLabel->size() * dpr, Qt::KeepAspectRatio,
                                                         Qt::SmoothTransformation));
    pixmap.setDevicePixelRatio(dpr);
    m_imageLabel->setPixmap(pixmap);
}

void PLYPreviewPanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (!m_picture.isNull()) {
        const qreal dpr = devicePixelRatioF();
        QPixmap pixmap = QPixmap::fromImage(m_picture.scaled(m_imageLabel->size() * dpr, Qt::KeepAspectRatio,
                                                             Qt::SmoothTransformation));
        pixmap.setDevicePixelRatio(dpr);
        m_imageLabel->setPixmap(pixmap);
    }
}

void PLYPreviewPanel::keyPressEvent(QKeyEvent* event) {
    const auto key = PLYKeyCodes::fromQKeyEvent(*event);
    if (!key) return;
    if (key->keyCode == PLYKeyCodes::Space || key->keyCode == PLYKeyCodes::Escape) {
        hide();
        return;
    }
    const bool arrow = key->keyCode >= PLYKeyCodes::LeftArrow && key->keyCode <= PLYKeyCodes::UpArrow;
    if (arrow && m_count > 1) {
        const bool back = key->keyCode == PLYKeyCodes::LeftArrow || key->keyCode == PLYKeyCodes::UpArrow;
        m_index = (m_index + (back ? m_count - 1 : 1)) % m_count;
        showCurrent();
        return;
    }
    PLYPreviewPanelController* controller = PLYPreviewPresenter::shared()->controller();
    if (controller && controller->previewPanelHandleKey(*key)) {
        reloadItems();
        return;
    }
    QWidget::keyPressEvent(event);
}
