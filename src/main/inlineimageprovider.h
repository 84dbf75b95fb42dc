#pragma once

#include <QQuickImageProvider>

// Gives the window the pictures that letters show inline:
// "image://inline/<key>" (see InlineImages). Used from the QML render thread.
class InlineImageProvider : public QQuickImageProvider
{
public:
    InlineImageProvider();

    QImage requestImage(const QString &id, QSize *size, const QSize &requestedSize) override;
};
