#pragma once

#include <QImage>
#include <QLabel>

class QMediaPlayer;
class QVideoSink;

// Plays a named video of the bundle over and over, muted. A build that carries no such video
// shows the video's still in its place.
class PLYLoopingVideoView : public QLabel {
    Q_OBJECT
public:
    explicit PLYLoopingVideoView(QWidget* parent = nullptr, const QSize& size = QSize(480, 300));

    // Loads `name` once; later calls change nothing.
    void loadVideo(const QString& name);
    bool hasPlayer() const { return m_player != nullptr; }
    bool showsStill() const { return m_loaded && !m_player; }
    QMediaPlayer* player() const { return m_player; }

    // Back to the start once the video has ended, so that it loops.
    void playerItemDidReachEnd();

private:
    void showFrame(const QImage& frame);

    QSize m_size;
    bool m_loaded = false;
    QMediaPlayer* m_player = nullptr;
    QVideoSink* m_sink = nullptr;
};
