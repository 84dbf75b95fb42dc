#include "main/mailtohandler.h"
#include "main/mailtolink.h"
#include "main/qtquick2applicationviewer.h"
#include "main/singleapplication.h"
#include "main/startup.h"
#include "testhome.h"

#include <QProcess>
#include <QtTest>

class MailtoTest : public QObject
{
    Q_OBJECT

private slots:
    void parse_data()
    {
        QTest::addColumn<QString>("link");
        QTest::addColumn<QStringList>("recipients");
        QTest::addColumn<QString>("subject");
        QTest::addColumn<QString>("body");
        const QString a = QStringLiteral("a@example.org");
        const QString b = QStringLiteral("b@example.org");
        QTest::newRow("plain address") << "mailto:a@example.org" << QStringList{a} << "" << "";
        QTest::newRow("scheme in capitals") << "MAILTO:a@example.org" << QStringList{a} << "" << "";
        QTest::newRow("several, cc and bcc kept")
            << "mailto:a@example.org,b@example.org?cc=c@example.org&bcc=d@example.org"
            << QStringList{a, b, "c@example.org", "d@example.org"} << "" << "";
        QTest::newRow("encoded comma and spaces")
            << "mailto:a@example.org%2C%20b@example.org?subject=Lunch%20on%20Friday%3F"
            << QStringList{a, b} << "Lunch on Friday?" << "";
        QTest::newRow("to field joins the path, duplicates once")
            << "mailto:a@example.org?to=b@example.org&cc=A@example.org" << QStringList{a, b} << "" << "";
        QTest::newRow("display name with a comma")
            << "mailto:%22Doe%2C%20Jane%22%20%3Ca@example.org%3E,b@example.org" << QStringList{a, b} << "" << "";
        QTest::newRow("only a subject") << "mailto:?subject=Hi" << QStringList{} << "Hi" << "";
        QTest::newRow("empty parts")
            << "mailto:,a@example.org,,?&subject=&&body=" << QStringList{a} << "" << "";
        QTest::newRow("body with line breaks and UTF-8")
            << "mailto:a@example.org?body=Gr%C3%BC%C3%9Fe%0D%0Aaus%20K%C3%B6ln%0A1+1"
            << QStringList{a} << "" << QString::fromUtf8("Grüße\naus Köln\n1+1");
        QTest::newRow("malformed escapes stay literal")
            << "mailto:a@example.org?subject=100%25%20sure%2&body=50%zz%" << QStringList{a}
            << "100% sure%2" << "50%zz%";
        QTest::newRow("unknown and odd header names")
            << "mailto:a@example.org?X-Mailer=evil&In-Reply-To=%3Cx@y%3E&SUBJECT=Hi&Body=Text&subject=Second"
            << QStringList{a} << "Hi" << "Text";
        QTest::newRow("line breaks cannot enter headers")
            << "mailto:a@example.org%0D%0ABcc:%20x@example.org?subject=Hi%0D%0ABcc:%20y@example.org"
            << QStringList{"a@example.orgBcc:x@example.org"} << "Hi Bcc: y@example.org" << "";
        QStringList many;
        for (int i = 0; i < 11000; ++i)
            many << QStringLiteral("r%1@example.org").arg(i);
        QTest::newRow("11,000 recipients, the first ones kept")
            << "mailto:" + many.join(QLatin1Char(',')) << QStringList(many.mid(0, MailtoLink::MaxRecipients)) << "" << "";
        const QString prefix = QStringLiteral("mailto:a@example.org?body=");
        QTest::newRow("a link longer than any command line is read that far")
            << prefix + QString(MailtoLink::MaxLength, QLatin1Char('x')) << QStringList{a} << ""
            << QString(MailtoLink::MaxLength - prefix.size(), QLatin1Char('x'));
    }

    void parse()
    {
        QFETCH(QString, link);
        QFETCH(QStringList, recipients);
        QFETCH(QString, subject);
        QFETCH(QString, body);
        const MailtoLink parsed = MailtoLink::parse(link);
        QVERIFY(parsed.isValid());
        QCOMPARE(parsed.recipients(), recipients);
        QCOMPARE(parsed.subject(), subject);
        QCOMPARE(parsed.body(), body);
    }

    void linkHandedToTheRunningInstance()
    {
        // This process is the running instance; the real program is the
        // second start.
        SingleApplication *app = qobject_cast<SingleApplication *>(qApp);
        QVERIFY(!app->isRunning());
        CustomQtQuick2ApplicationViewer viewer;
        MailtoHandler handler;
        Startup::connectInstanceMessages(app, &viewer, &handler);
        QSignalSpy requested(&handler, &MailtoHandler::composeRequested);

        // Runs a second start while this process keeps answering.
        auto secondStart = [](const QStringList &arguments) {
            QProcess second;
            second.start(QStringLiteral(MAIL_BINARY_DIR "/src/drel-mail"), arguments);
            if (!second.waitForStarted(5000))
                return -2;
            QElapsedTimer timer;
            timer.start();
            while (second.state() != QProcess::NotRunning && timer.elapsed() < 15000)
                QTest::qWait(20);
            return second.state() == QProcess::NotRunning ? second.exitCode() : -3;
        };
        QCOMPARE(secondStart({QStringLiteral("mailto:a@example.org?cc=b@example.org&subject=Hi&body=Hello")}),
                 255);
        QCOMPARE(requested.count(), 1);
        QVERIFY(viewer.isVisible());

        const QVariantMap request = handler.takeRequest();
        QCOMPARE(request.value("recipients").toStringList(),
                 QStringList({"a@example.org", "b@example.org"}));
        QCOMPARE(request.value("subject").toString(), QStringLiteral("Hi"));
        QCOMPARE(request.value("body").toString(), QStringLiteral("Hello"));
        QVERIFY(handler.takeRequest().isEmpty());

        // A plain second start only raises.
        viewer.hide();
        QCOMPARE(secondStart({}), 255);
        QVERIFY(viewer.isVisible());
        QCOMPARE(requested.count(), 1);
    }
};

int main(int argc, char *argv[])
{
    TestHome::prepare();
    // The offscreen platform has no OpenGL for the window.
    qputenv("QT_QUICK_BACKEND", "software");
    SingleApplication app(argc, argv);
    MailtoTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_mailto.moc"
