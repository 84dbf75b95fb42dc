#pragma once

#include <QSystemTrayIcon>

#include <memory>

class QMenu;

// The client in the desktop's notification area: shows whether unseen mail
// waits and offers new message, get new mail and quit. It decides nothing;
// the main QML window feeds it and reacts to its signals. Main thread.
class TrayIcon : public QSystemTrayIcon
{
    Q_OBJECT

public:
    explicit TrayIcon(QObject *parent = nullptr);
    ~TrayIcon() override;

signals:
    void trayClicked();
    void newMessageActionTriggered();
    void queryMailActionTriggered();
    void quitActionTriggered();

public slots:
    void setTrayIcon(bool unseen);
    // A notice whose text (a sender, a subject) is shown as written, never
    // read as markup.
    void showNotice(const QString &title, const QString &text);

private slots:
    void onActivated(QSystemTrayIcon::ActivationReason reason);

private:
    // A context menu cannot have the icon as its parent (the icon is not a
    // widget), so the icon keeps it alive itself.
    std::shared_ptr<QMenu> m_menu;
};
