#pragma once

#include <QQuickView>

// The window that hosts the QML: the root item always fills it, and the
// engine's quit() closes it.
class QtQuick2ApplicationViewer : public QQuickView
{
    Q_OBJECT

public:
    explicit QtQuick2ApplicationViewer(QWindow *parent = nullptr);
};

// The program's main window: answers the single-instance message and the
// help key. Lives on the main thread for the whole event loop.
class CustomQtQuick2ApplicationViewer : public QtQuick2ApplicationViewer
{
    Q_OBJECT

public:
    explicit CustomQtQuick2ApplicationViewer(QWindow *parent = nullptr);

public slots:
    void processAppMessage(QString message);

protected:
    void keyPressEvent(QKeyEvent *event) override;
};
