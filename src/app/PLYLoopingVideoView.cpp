#include "PLYLoopingVideoView.h"

#include "PLYNamedImage.h"

#include <QMediaPlayer>
#include <QVideoFrame>
#include <QVideoSink>

PLYLoopingVideoView::PLYLoopingVideoView(QWidget* parent, const QSize& size) : QLabel(parent), m_size(size) {
    setFixedSize(size);
    setAlignment(Qt::AlignCenter);
    setStyleSheet(QStringLiteral("QLabel { background: #F1F1F1; border: 1px solid #D9D9D9; }"));
}

void PLYLoopingVideoView::loadVideo(const QString& name) {
    if (m_loaded) return;
    m_loaded = true;
    const QUrl url = PLYNamedImage::videoURL(name);
    if (url.isEmpty()) {
        // Drawn at the screen's density so that the still stays sharp.
        const qreal ratio = devicePixelRatioF() > 1 ? devicePixelRatioF() : 2.0;
        QImage still = PLYNamedImage::stillForVideo(name, (QSizeF(m_size) * ratio).toSize());
        still.setDevicePixelRatio(ratio);
        setPixmap(QPixmap::fromImage(still));
        return;
    }
    m_player = new QMediaPlayer(this);
    m_sink = new QVideoSink(this);
    m_player->setVideoSink(m_sink);
    connect(m_sink, &QVideoSink::videoFrameChanged, this, [this](const QVideoFrame& frame) { showFrame(frame.toImage()); });
    connect(m_player, &QMediaPlayer::mediaStatusChanged, this, [this](QMediaPlayer::MediaStatus status) {
        if (status == QMediaPlayer::EndOfMedia) playerItemDidReachEnd();
    });
    m_player->setSource(url);
    m_player->play();
}

void PLYLoopingVideoView::playerItemDidReachEnd() {
    if (!m_player) return;
    m_player->setPosition(0);
    m_player->play();
}

void PLYLoopingVideoView::showFrame(const QImage& frame) {
    if (frame.isNull()) return;
    const qreal ratio = devicePixelRatioF();
    QImage scaled = frame.scaled((QSizeF(m_size) * ratio).toSize(), Qt::KeepAspectRatio, Qt::SmoothTransformation);
    scaled.setDevicePixelRatio(ratio);
    setPixmap(QPixmap::fromImage(scaled));
}
