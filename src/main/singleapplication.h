#pragma once

#include <QApplication>
#include <QPointer>

#include <memory>

class QLocalServer;
class QLockFile;

// A graphical application of which one instance runs per user. The first
// instance holds a lock file and listens on a local socket, both in a
// directory of the user's own; a later one finds the lock held and can hand
// the first a message. A lock left by a crashed instance is taken over.
class SingleApplication : public QApplication
{
    Q_OBJECT

public:
    SingleApplication(int &argc, char **argv, const QString &id = QStringLiteral("drel-mail"));
    ~SingleApplication() override;

    // True when another instance of this user holds the lock.
    bool isRunning();

    // Hands the running instance a message; false when it did not take it
    // within the time-out.
    bool sendMessage(const QString &message, int timeout = 5000);

signals:
    void messageReceived(const QString &message);

private:
    void onNewConnection();
    QString socketPath() const;
    QString lockPath() const;

    QString m_id;
    bool m_checked = false;
    bool m_running = false;
    std::unique_ptr<QLockFile> m_lock;
    QPointer<QLocalServer> m_server;
};
