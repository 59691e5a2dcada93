#include "PLYImageProcessView.h"

#include "PLYPrepProgress.h"

#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

PLYImageProcessView::PLYImageProcessView(QWidget* parent)
    : QFrame(parent), m_label(new QLabel(this)), m_progress(new QProgressBar(this)), m_cancel(new QPushButton(tr("Cancel"), this)) {
    setObjectName(QStringLiteral("imageProcessView"));
    setAttribute(Qt::WA_TranslucentBackground);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 20, 24, 22);
    layout->setSpacing(12);

    m_label->setObjectName(QStringLiteral("imageProcessLabel"));
    m_label->setAlignment(Qt::AlignCenter);
    QFont font = m_label->font();
    font.setPixelSize(14);
    font.setWeight(QFont::DemiBold);
    m_label->setFont(font);
    m_label->setText(tr("Preparing Images"));
    layout->addWidget(m_label);

    m_progress->setObjectName(QStringLiteral("imageProcessProgressIndicator"));
    m_progress->setRange(0, ProgressRange);
    m_progress->setValue(0);
    m_progress->setTextVisible(false);
    m_progress->setFixedHeight(8);
    layout->addWidget(m_progress);

    m_cancel->setObjectName(QStringLiteral("imageProcessCancelButton"));
    m_cancel->setToolTip(tr("Close this and go on preparing the images in the background"));
    layout->addWidget(m_cancel, 0, Qt::AlignHCenter);
    connect(m_cancel, &QPushButton::clicked, this, &PLYImageProcessView::cancelRequested);
    setFixedSize(sizeHint());
}

void PLYImageProcessView::setProgress(const PLYPrepProgress& progress) {
    m_label->setText(progress.labelText());
    m_progress->setValue(int(std::lround(progress.fraction() * ProgressRange)));
}

void PLYImageProcessView::paintEvent(QPaintEvent*) {
    // A raised card: a soft shadow under a rounded panel of the window colour.
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF card = QRectF(rect()).adjusted(6, 4, -6, -8);
    for (int i = 1; i <= 4; ++i) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0, 0, 0, 12));
        painter.drawRoundedRect(card.adjusted(-i + 1, -i + 3, i - 1, i + 1), 8 + i, 8 + i);
    }
    painter.setPen(QPen(QColor(0, 0, 0, 40), 1.0));
    painter.setBrush(palette().color(QPalette::Window));
    painter.drawRoundedRect(card.adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
}
