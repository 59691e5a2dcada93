#include "PLYDragBlockImageView.h"

#include "PLYColor.h"
#include "PLYDefaults.h"
#include "PLYDropDecisions.h"

#include <QDrag>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>

namespace {
constexpr int kCaptionHeight = 18;
constexpr int kMargin = 4;
}  // namespace

PLYDragBlockImageView::PLYDragBlockImageView(qint64 blockType, QWidget* parent) : QWidget(parent) {
    setBlockType(blockType);
    setCursor(Qt::OpenHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

PLYDragBlockImageView* PLYDragBlockImageView::textTile(QWidget* parent) {
    auto* tile = new PLYDragBlockImageView(BlockTypeText, parent);
    tile->setObjectName(QStringLiteral("textBlockTile"));
    return tile;
}

PLYDragBlockImageView* PLYDragBlockImageView::blankTile(QWidget* parent) {
    auto* tile = new PLYDragBlockImageView(BlockTypeBlank, parent);
    tile->setObjectName(QStringLiteral("blankBlockTile"));
    return tile;
}

PLYDragBlockImageView* PLYDragBlockImageView::downloadTile(QWidget* parent) {
    auto* tile = new PLYDragBlockImageView(BlockTypeDownload, parent);
    tile->setObjectName(QStringLiteral("downloadBlockTile"));
    return tile;
}

void PLYDragBlockImageView::setBlockType(qint64 blockType) {
    m_blockType = blockType;
    setToolTip(tr("Drag into the layout to add a %1 block").arg(titleForBlockType(blockType).toLower()));
    update();
}

QString PLYDragBlockImageView::titleForBlockType(qint64 blockType) {
    switch (blockType) {
    case BlockTypeBlank: return tr("Blank");
    case BlockTypeDownload: return tr("Download");
    default: return tr("Text");
    }
}

PLYPasteboard PLYDragBlockImageView::pasteboardForBlockType(qint64 blockType) {
    PLYPasteboard pasteboard;
    switch (blockType) {
    case BlockTypeBlank:
        pasteboard.addItem(PLYPasteboardItem(QString::fromLatin1(PLYDropDecisions::NewBlankType), QStringLiteral("blank block")));
        break;
    case BlockTypeDownload:
        pasteboard.addItem(
            PLYPasteboardItem(QString::fromLatin1(PLYDropDecisions::NewDownloadType), QStringLiteral("download block")));
        break;
    default:
        pasteboard.addItem(PLYPasteboardItem(QString::fromLatin1(PLYDropDecisions::NewTextType),
                                             PLYDefaults::defaultTextBlockEmptyText()));
        break;
    }
    return pasteboard;
}

QPixmap PLYDragBlockImageView::tileImage(qint64 blockType, double devicePixelRatio) {
    const QSizeF size(kImageWidth, kImageHeight);
    QPixmap pixmap((size * devicePixelRatio).toSize());
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF card = QRectF(QPointF(0, 0), size).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.setPen(QPen(QColor(0, 0, 0, 40), 1.0));
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(card, 6, 6);
    const QColor blue = PLYColor::kro_blueColour();
    const QRectF inner = card.adjusted(12, 12, -12, -12);
    switch (blockType) {
    case BlockTypeBlank: {
        // An empty frame: the room a blank block keeps between others.
        QPen dashed(QColor(0, 0, 0, 90), 1.2, Qt::DashLine);
        painter.setPen(dashed);
        painter.setBrush(QColor(0, 0, 0, 12));
        painter.drawRoundedRect(inner, 3, 3);
        break;
    }
    case BlockTypeDownload: {
        // A button with its caption.
        const QRectF button(inner.left(), inner.center().y() - 11, inner.width(), 22);
        painter.setPen(Qt::NoPen);
        painter.setBrush(blue);
        painter.drawRoundedRect(button, 11, 11);
        QFont font = painter.font();
        font.setPixelSize(9);
        font.setBold(true);
        painter.setFont(font);
        painter.setPen(Qt::white);
        painter.drawText(button, Qt::AlignCenter, QStringLiteral("DOWNLOAD"));
        break;
    }
    default: {
        // A heading and lines of words.
        QFont font = painter.font();
        font.setPixelSize(15);
        font.setBold(true);
        painter.setFont(font);
        painter.setPen(QColor(40, 40, 40));
        painter.drawText(QRectF(inner.left(), inner.top() - 3, inner.width(), 18), Qt::AlignLeft | Qt::AlignVCenter,
                         QStringLiteral("Aa"));
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0, 0, 0, 60));
        const double widths[] = {1.0, 0.85, 0.6};
        for (int i = 0; i < 3; ++i)
            painter.drawRoundedRect(QRectF(inner.left(), inner.top() + 20 + i * 8, inner.width() * widths[i], 3.5), 1.75,
                                    1.75);
        break;
    }
    }
    return pixmap;
}

QSize PLYDragBlockImageView::sizeHint() const {
    return QSize(int(kImageWidth) + 2 * kMargin, int(kImageHeight + 0.999) + kCaptionHeight + 2 * kMargin);
}

void PLYDragBlockImageView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPixmap image = tileImage(m_blockType, devicePixelRatioF());
    const double x = (width() - kImageWidth) / 2.0;
    painter.drawPixmap(QPointF(x, kMargin), image);
    const QRectF caption(0, kMargin + kImageHeight + 2, width(), kCaptionHeight);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(caption, Qt::AlignHCenter | Qt::AlignTop, titleForBlockType(m_blockType));
}

void PLYDragBlockImageView::mousePressEvent(QMouseEvent* event) {
    m_pressed = event->button() == Qt::LeftButton;
    event->accept();
}

void PLYDragBlockImageView::mouseMoveEvent(QMouseEvent* event) {
    if (!m_pressed || !(event->buttons() & Qt::LeftButton)) return;
    m_pressed = false;
    startDrag();
}

void PLYDragBlockImageView::mouseReleaseEvent(QMouseEvent*) { m_pressed = false; }

void PLYDragBlockImageView::startDrag() {
    PLYPasteboard pasteboard = pasteboardForBlockType(m_blockType);
    pasteboard.setSequenceNumber(PLYPasteboard::nextSequenceNumber());
    auto* data = new QMimeData;
    pasteboard.writeTo(data);
    const QPixmap image = tileImage(m_blockType, devicePixelRatioF());
    if (m_sessionStarter) {
        m_sessionStarter(this, data, image);
        return;
    }
    auto* drag = new QDrag(this);
    drag->setMimeData(data);
    drag->setPixmap(image);
    // The image is centred on the pointer.
    drag->setHotSpot(QPoint(int(kImageWidth / 2.0), int(kImageHeight / 2.0)));
    drag->exec(Qt::MoveAction, Qt::MoveAction);
}
