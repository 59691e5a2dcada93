#include "PLYBlockDrawHandler_DownloadButton.h"

#include <QPainter>
#include <QPainterPath>

QRectF PLYBlockDrawHandler_DownloadButton::buttonRect(const PLYBlock_DownloadButton& button, const QRectF& rect) {
    const double fraction =
        (button.position().width() > 0.0f && button.position().width() <= 1.0f) ? button.position().width()
                                                                                : kDefaultWidthFraction;
    const double width = rect.width() * fraction;
    const double height = qMin(kButtonHeight, rect.height());
    double x = rect.x() + (rect.width() - width) / 2.0;
    if (button.position().alignment() == PLYAlignment_Left)
        x = rect.x();
    else if (button.position().alignment() == PLYAlignment_Right)
        x = rect.right() - width;
    return QRectF(x, rect.y() + (rect.height() - height) / 2.0, width, height);
}

void PLYBlockDrawHandler_DownloadButton::draw(QPainter* painter, const QRectF& rect,
                                              const PLYBlock_DownloadButton& button,
                                              const PLYBlockDrawContext& context) {
    painter->fillRect(rect, context.background);
    const QRectF r = buttonRect(button, rect);
    const bool dark = context.background.lightnessF() < 0.5;
    QColor fill = dark ? QColor(Qt::white) : QColor(0x22, 0x22, 0x22);
    QColor ink = dark ? QColor(0x22, 0x22, 0x22) : QColor(Qt::white);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(r, 4.0, 4.0);
    if (button.use_pellory_styling()) {
        painter->fillPath(path, fill);
    } else {
        painter->setPen(QPen(fill, 2.0));
        painter->drawPath(path);
        ink = fill;
    }
    QFont font(QStringLiteral("Sans Serif"));
    font.setPixelSize(22);
    font.setWeight(QFont::DemiBold);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 2.0);
    painter->setFont(font);
    painter->setPen(ink);
    const QString title = button.title().empty() ? QStringLiteral("DOWNLOAD IMAGES")
                                                 : QString::fromStdString(button.title());
    painter->drawText(r, Qt::AlignCenter | Qt::TextSingleLine, title);
    painter->restore();
}
