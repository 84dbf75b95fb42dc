#pragma once

#include <QMetaType>
#include <QMutex>
#include <QPointer>
#include <QQuickImageProvider>
#include <QString>

class ContactsModel;

// Contact photos for QML: "image://ContactImageProvider/<contact id>".
// Called on the main thread, or on the engine's image thread for images
// loaded asynchronously; the latter reads the file through a connection of
// its own, since a database connection belongs to one thread.
class ContactImageProvider : public QQuickImageProvider
{
public:
    ContactImageProvider();

    QImage requestImage(const QString &id, QSize *size, const QSize &requestedSize) override;

    // The model whose database holds the photos. Main thread.
    void setModel(ContactsModel *model);

private:
    QByteArray photoData(const QString &id);

    QMutex m_mutex;
    QPointer<ContactsModel> m_model; // read on the main thread only
    QString m_databasePath;
};

Q_DECLARE_METATYPE(ContactImageProvider *)
