#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QVariantList>

#include "servers/serverkind.h"

class Keyring;
class Server;

// Main thread. The list of all server records, kept in the "servers" group of
// the settings, and the relay of certificate questions between a record's
// worker thread and the QML.
class ServerManager : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QVariantList servers READ servers WRITE setServers NOTIFY serversChanged)
    Q_PROPERTY(QStringList typeNames READ typeNames WRITE setTypeNames NOTIFY typeNamesChanged)
    Q_PROPERTY(QStringList protocolNames READ protocolNames WRITE setProtocolNames NOTIFY protocolNamesChanged)
    Q_PROPERTY(QStringList sslNames READ sslNames WRITE setSslNames NOTIFY sslNamesChanged)
    Q_PROPERTY(QStringList authNames READ authNames WRITE setAuthNames NOTIFY authNamesChanged)

public:
    explicit ServerManager(QObject *parent = nullptr);
    ~ServerManager() override;

    QVariantList servers() const { return m_servers; }
    void setServers(const QVariantList &servers);
    QStringList typeNames() const { return m_typeNames; }
    void setTypeNames(const QStringList &names);
    QStringList protocolNames() const { return m_protocolNames; }
    void setProtocolNames(const QStringList &names);
    QStringList sslNames() const { return m_sslNames; }
    void setSslNames(const QStringList &names);
    QStringList authNames() const { return m_authNames; }
    void setAuthNames(const QStringList &names);

    // The kinds as the numbers of ServerKind: the QML knows them as the
    // indexes of the name lists above.
    Q_INVOKABLE void addServer(int type, int protocol, int ssl, int auth, QString address);
    Q_INVOKABLE void changeServer(int index, int type, int protocol, int ssl, int auth,
                                  QString address);
    Q_INVOKABLE void removeServer(int index);
    // The answer to one question, by its number; it reaches only the record
    // that asked it.
    Q_INVOKABLE void certificateAnswerQml(int question, bool answer);

signals:
    void serversChanged();
    void typeNamesChanged();
    void protocolNamesChanged();
    void sslNamesChanged();
    void authNamesChanged();
    void queryCertificateQml(int question, QString text);

public slots:
    void onQueryCertificate(int question, QString text);

private:
    void load();
    void append(Server *server);
    // A new record of that direction; null for any other type.
    Server *createRecord(ServerKind::Type type);
    static void save(Server *server);
    static void removeGroup(const QString &address);
    // The passwords that accounts keep for a record that is going.
    void forgetPasswords(const QString &address);

    Keyring *m_keyring; // child
    QVariantList m_servers;
    QStringList m_typeNames;
    QStringList m_protocolNames;
    QStringList m_sslNames;
    QStringList m_authNames;
    // The record that asked each open certificate question.
    QHash<int, QPointer<Server>> m_askers;
};
