// Runs the Qt Quick tests in tests/qml against the QML of the resource tree.
#include "main/effectimageprovider.h"

#include <QQmlContext>
#include <QQmlEngine>
#include <QtQuickTest>

// Gives the test scenes the context properties that start-up gives the window.
class QuickTestSetup : public QObject
{
    Q_OBJECT
public slots:
    void qmlEngineAvailable(QQmlEngine *engine)
    {
        QQmlContext *context = engine->rootContext();
        context->setContextProperty(QStringLiteral("tabletMode"), false);
        context->setContextProperty(QStringLiteral("dpiRatio"), 1.0);
        context->setContextProperty(QStringLiteral("itemHeight"), 50.0);
        context->setContextProperty(QStringLiteral("debug"), false);
        context->setContextProperty(QStringLiteral("lowEffects"), false);
        engine->addImageProvider(QStringLiteral("effects"), new EffectImageProvider);
    }
};

QUICK_TEST_MAIN_WITH_SETUP(qml, QuickTestSetup)

#include "quicktest.moc"
