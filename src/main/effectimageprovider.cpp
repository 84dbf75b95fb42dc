#include "main/effectimageprovider.h"

#include <QColor>
#include <QPainter>
#include <QUrl>

#include <cmath>
#include <vector>

namespace {

const QColor shadowColor(0, 0, 0);

QColor colorOf(const QString &hex)
{
    bool ok = false;
    const uint argb = hex.toUInt(&ok, 16);
    return ok ? QColor::fromRgba(argb) : QColor();
}

int marginOf(int radius)
{
    return radius > 0 ? radius + 1 : 0;
}

// The alpha of the image blurred with a Gaussian whose reach is the radius.
std::vector<float> blurredAlpha(const QImage &image, int radius)
{
    const int w = image.width();
    const int h = image.height();
    std::vector<float> alpha(size_t(w * h));
    for (int y = 0; y < h; ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < w; ++x)
            alpha[size_t(y * w + x)] = qAlpha(line[x]) / 255.0f;
    }
    if (radius <= 0)
        return alpha;
    // The deviation that the toolkit's own blur gives a radius.
    const double sigma = (radius + 1) / 3.3333;
    std::vector<float> kernel(size_t(2 * radius + 1));
    float sum = 0;
    for (int i = -radius; i <= radius; ++i)
        sum += kernel[size_t(i + radius)] = float(std::exp(-(i * i) / (2 * sigma * sigma)));
    for (float &k : kernel)
        k /= sum;
    // Separable: one pass along the rows, then one along the columns.
    const auto blurPass = [&](const std::vector<float> &in, std::vector<float> &out, int dx, int dy) {
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                float v = 0;
                for (int i = -radius; i <= radius; ++i) {
                    const int sx = x + i * dx;
                    const int sy = y + i * dy;
                    if (sx >= 0 && sx < w && sy >= 0 && sy < h)
                        v += kernel[size_t(i + radius)] * in[size_t(sy * w + sx)];
                }
                out[size_t(y * w + x)] = v;
            }
        }
    };
    std::vector<float> pass(alpha.size());
    blurPass(alpha, pass, 1, 0);
    blurPass(pass, alpha, 0, 1);
    return alpha;
}

QImage shadowOf(const QImage &shape, int radius, const QColor &color)
{
    const std::vector<float> alpha = blurredAlpha(shape, radius);
    QImage shadow(shape.size(), QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < shadow.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(shadow.scanLine(y));
        for (int x = 0; x < shadow.width(); ++x) {
            const float a = alpha[size_t(y * shadow.width() + x)] * float(color.alphaF());
            line[x] = qPremultiply(qRgba(color.red(), color.green(), color.blue(), qBound(0, int(a * 255 + 0.5f), 255)));
        }
    }
    return shadow;
}

QImage roundedShadow(int radius, int corner, const QColor &color)
{
    const int margin = marginOf(radius);
    const int border = 2 * radius + corner + 2;
    const int side = 2 * border + 2;
    QImage shape(side, side, QImage::Format_ARGB32_Premultiplied);
    shape.fill(Qt::transparent);
    QPainter painter(&shape);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    painter.drawRoundedRect(QRectF(margin, margin, side - 2 * margin, side - 2 * margin), corner, corner);
    painter.end();
    return shadowOf(shape, radius, color);
}

// Mixes every pixel with the colour by the colour's alpha, keeping the
// pixel's own alpha.
void tint(QImage &image, const QColor &color)
{
    const float mix = float(color.alphaF());
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = qUnpremultiply(line[x]);
            auto blend = [mix](int from, int to) { return int(from + (to - from) * mix + 0.5f); };
            line[x] = qPremultiply(qRgba(blend(qRed(pixel), color.red()), blend(qGreen(pixel), color.green()),
                                         blend(qBlue(pixel), color.blue()), qAlpha(pixel)));
        }
    }
}

QImage icon(const QString &file, const QSize &box, const QString &tintHex, int radius, int dx, int dy)
{
    const int margin = marginOf(radius);
    QImage result(box.width() + 2 * margin, box.height() + 2 * margin, QImage::Format_ARGB32_Premultiplied);
    result.fill(Qt::transparent);
    QImage picture(file);
    if (picture.isNull() || box.isEmpty())
        return result;
    picture = picture.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                  .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (tintHex != QLatin1String("none"))
        tint(picture, colorOf(tintHex));
    const QPoint at(margin + (box.width() - picture.width()) / 2, margin + (box.height() - picture.height()) / 2);
    QPainter painter(&result);
    if (radius > 0) {
        QImage shape(result.size(), QImage::Format_ARGB32_Premultiplied);
        shape.fill(Qt::transparent);
        QPainter(&shape).drawImage(at + QPoint(dx, dy), picture);
        QColor color = shadowColor;
        color.setAlpha(0x66);
        painter.drawImage(0, 0, shadowOf(shape, radius, color));
    }
    painter.drawImage(at, picture);
    return result;
}

// Dark bands at a quarter and three quarters of a turn that starts 45
// degrees clockwise from three o'clock and goes clockwise, measured with the
// face taken as a square, so that the bands run corner to corner.
QImage sheen(const QSize &size, const QColor &color)
{
    const QSize box = size.isEmpty() ? QSize(1, 1) : size;
    QImage image(box, QImage::Format_ARGB32_Premultiplied);
    const double pi = 3.14159265358979;
    for (int y = 0; y < box.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < box.width(); ++x) {
            const double s = (x + 0.5) / box.width() - 0.5;
            const double t = (y + 0.5) / box.height() - 0.5;
            double turn = (std::atan2(-t, s) - pi / 4) / (2 * pi);
            turn -= std::floor(turn);
            // Stops: clear at 0, 0.5 and 1, the colour at 0.25 and 0.75.
            const double strength = 1 - std::abs(std::fmod(turn, 0.5) - 0.25) / 0.25;
            const int alpha = qBound(0, int(color.alpha() * strength + 0.5), 255);
            line[x] = qPremultiply(qRgba(color.red(), color.green(), color.blue(), alpha));
        }
    }
    return image;
}

}

EffectImageProvider::EffectImageProvider()
    : QQuickImageProvider(QQmlImageProviderBase::Image)
{
}

QImage EffectImageProvider::requestImage(const QString &id, QSize *size, const QSize &requestedSize)
{
    const QStringList parts = id.split(QLatin1Char('/'));
    const QString kind = parts.value(0);
    QImage image;
    if (kind == QLatin1String("shadow") && parts.size() == 4) {
        image = roundedShadow(qBound(0, parts[1].toInt(), 32), qBound(0, parts[2].toInt(), 64), colorOf(parts[3]));
    } else if (kind == QLatin1String("icon") && parts.size() > 5) {
        const QString file = QUrl::fromPercentEncoding(parts.mid(5).join(QLatin1Char('/')).toUtf8());
        image = icon(file, requestedSize, parts[1], qBound(0, parts[2].toInt(), 32), parts[3].toInt(),
                     parts[4].toInt());
    } else if (kind == QLatin1String("sheen") && parts.size() == 2) {
        image = sheen(requestedSize, colorOf(parts[1]));
    }
    if (image.isNull()) {
        image = QImage(1, 1, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
    }
    if (size)
        *size = image.size();
    return image;
}
