// The hand box's two pictures: drawn at run time, clickable.
#pragma once

#include <QLabel>
#include <QPixmap>

QPixmap ascomPicture();
QPixmap logoPicture();

class ClickablePicture : public QLabel {
    Q_OBJECT
public:
    ClickablePicture(const QPixmap &pixmap, const QString &tip, QWidget *parent = nullptr);

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
};
