// The background picture of a window's client area (the MDI area of a multi-document frame),
// tiled or centred.
#pragma once

#include <QList>
#include <QObject>
#include <QPixmap>
#include <QPoint>
#include <QPointer>
#include <QSize>

class QPainter;

class TWallPaper : public QObject {
    Q_OBJECT
public:
    explicit TWallPaper(QObject* parent = nullptr);
    ~TWallPaper() override;

    QPixmap Picture;
    bool Tiled = true;
    bool BackGround = true;  // the area around a centred picture: white, else black

    // Paints from now on behind the form's client area (its MDI area when it has one).
    void Attach(QWidget* form);
    QWidget* Host() const { return FHost; }

    // The program's own background picture.
    static QPixmap DefaultPicture();

    // Where the picture is drawn for an area: every tile, or the centred position.
    static QList<QPoint> TilePositions(QSize area, QSize picture, bool tiled);
    void Paint(QPainter& painter, QSize area) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> FHost;
};
