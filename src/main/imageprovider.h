#pragma once

#include <QQuickImageProvider>

// Gives QML the desktop's icon for a MIME type name:
// "image://ImageProvider/application/pdf". Used from the QML render thread.
class ImageProvider : public QQuickImageProvider
{
public:
    ImageProvider();

    QPixmap requestPixmap(const QString &id, QSize *size, const QSize &requestedSize) override;
};
