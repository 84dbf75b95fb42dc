#include "main/imageprovider.h"

#include "main/drel.h"

#include <QIcon>

ImageProvider::ImageProvider()
    : QQuickImageProvider(QQmlImageProviderBase::Pixmap)
{
}

QPixmap ImageProvider::requestPixmap(const QString &id, QSize *size, const QSize &requestedSize)
{
    const int width = requestedSize.width() < 1 ? 48 : requestedSize.width();
    const int height = requestedSize.height() < 1 ? 48 : requestedSize.height();
    if (size)
        *size = QSize(width, height);
    const QIcon fallback(QStringLiteral(":/qml/images/unknown.png"));
    return DrelIcon::forMimeType(id, fallback).pixmap(QSize(width, height), QIcon::Normal, QIcon::Off);
}
