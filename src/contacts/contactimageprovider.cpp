#include "contacts/contactimageprovider.h"

#include "contacts/contactsmodel.h"
#include "contacts/sqlitedatabase.h"

#include <QCoreApplication>
#include <QImage>
#include <QMutexLocker>
#include <QThread>

ContactImageProvider::ContactImageProvider()
    : QQuickImageProvider(QQmlImageProviderBase::Image)
{
}

void ContactImageProvider::setModel(ContactsModel *model)
{
    QMutexLocker lock(&m_mutex);
    m_model = model;
    m_databasePath = model ? model->database()->fileName() : QString();
}

QByteArray ContactImageProvider::photoData(const QString &id)
{
    QString path;
    {
        QMutexLocker lock(&m_mutex);
        const QCoreApplication *app = QCoreApplication::instance();
        if (!app || QThread::currentThread() == app->thread())
            return m_model ? m_model->database()->photoData(id) : QByteArray();
        path = m_databasePath;
    }
    if (path.isEmpty())
        return QByteArray();
    SqliteDatabase reader;
    if (!reader.open(path))
        return QByteArray();
    return reader.photoData(id);
}

QImage ContactImageProvider::requestImage(const QString &id, QSize *size, const QSize &requestedSize)
{
    const int width = requestedSize.width() < 1 ? 100 : requestedSize.width();
    const int height = requestedSize.height() < 1 ? 100 : requestedSize.height();
    if (size)
        *size = QSize(width, height);

    const QString fallback = QStringLiteral(":/qml/images/user.png");
    const QByteArray bytes = photoData(id);
    if (bytes.isEmpty())
        return QImage(fallback);
    QImage image = QImage::fromData(bytes);
    if (image.isNull())
        return QImage(fallback);
    // Returned at its own size; the QML item scales it.
    return image;
}
