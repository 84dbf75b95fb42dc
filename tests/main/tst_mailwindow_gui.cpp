#include "mailservers.h"
#include "testhome.h"
#include "window.h"

#include <QQuickItem>
#include <QtTest>

// The main window as a user meets it: the real scene on the real backend,
// against the harness's mail servers.
class MailWindowTest : public QObject
{
    Q_OBJECT

    MailWindow window;

private slots:
    void initTestCase()
    {
        TestHome::prepareProgram();
    }

    void sceneLoads()
    {
        QVERIFY(window.start());
        QVERIFY(window.root());
        QVERIFY(!window.screenshot(QStringLiteral("start")).isNull());
    }
};

MAIL_TEST_MAIN(MailWindowTest)
#include "tst_mailwindow_gui.moc"
