#pragma once

#include <QObject>

class QSocketNotifier;

// Thread: main.
// Says when the program is about to end: it quits, it is sent SIGTERM, or
// the desktop session ends. Whatever the user is writing is kept then.
// SIGTERM reaches the event loop through a pipe, since nothing but a write
// is safe inside a signal handler; the program then quits normally.
class SessionGuard : public QObject
{
    Q_OBJECT

public:
    explicit SessionGuard(QObject *parent = nullptr);
    ~SessionGuard() override;

signals:
    void ending();

private:
    void onTerminate();

    QSocketNotifier *m_notifier = nullptr;
};
