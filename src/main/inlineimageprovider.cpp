#include "main/inlineimageprovider.h"

#include "base/inlineimages.h"

InlineImageProvider::InlineImageProvider()
    : QQuickImageProvider(QQmlImageProviderBase::Image)
{
}

QImage InlineImageProvider::requestImage(const QString &id, QSize *size, const QSize &requestedSize)
{
    QImage image = QImage::fromData(InlineImages::bytes(id));
    if (!image.isNull() && requestedSize.isValid() && !requestedSize.isEmpty())
        image = image.scaled(requestedSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    if (size)
        *size = image.size();
    return image;
}
