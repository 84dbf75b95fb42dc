#pragma once

#include <QQuickImageProvider>

// Draws the window's shadows, icon tints and button sheens once as images,
// "image://effects/...", instead of as shader effects that are run again on
// every frame; with software OpenGL each such effect also compiles its own
// shaders when first shown. Used from the QML image loading threads.
//
// A blur of radius r reaches r + 1 pixels beyond its shape, the margin.
//
//   shadow/<r>/<corner radius c>/<aarrggbb>
//       the shadow of a rounded rectangle as a border image to stretch over
//       the rectangle and its margin: its borders are 2r + c + 2 pixels wide
//   icon/<aarrggbb or none>/<r>/<dx>/<dy>/<file>
//       the picture fitted into the requested size, tinted (mixed with the
//       colour by its alpha), over its shadow of radius r (none for 0) at
//       that offset; the image has the margin on every side
//   sheen/<aarrggbb>
//       the conical sheen of raised faces at the requested size
class EffectImageProvider : public QQuickImageProvider
{
public:
    EffectImageProvider();

    QImage requestImage(const QString &id, QSize *size, const QSize &requestedSize) override;
};
