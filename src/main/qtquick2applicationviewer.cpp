#include "main/qtquick2applicationviewer.h"

#include "main/drel.h"

#include <QKeyEvent>
#include <QQmlEngine>

QtQuick2ApplicationViewer::QtQuick2ApplicationViewer(QWindow *parent)
    : QQuickView(parent)
{
    connect(engine(), &QQmlEngine::quit, this, &QWindow::close);
    setResizeMode(QQuickView::SizeRootObjectToView);
}

CustomQtQuick2ApplicationViewer::CustomQtQuick2ApplicationViewer(QWindow *parent)
    : QtQuick2ApplicationViewer(parent)
{
}

void CustomQtQuick2ApplicationViewer::processAppMessage(QString message)
{
    if (message != QLatin1String("raise"))
        return;
    show();
    raise();
    requestActivate();
}

void CustomQtQuick2ApplicationViewer::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_F1)
        drelHelpShow(drelHelpLookForWidget());
    // The QML sees F1 as well.
    QtQuick2ApplicationViewer::keyPressEvent(event);
}
