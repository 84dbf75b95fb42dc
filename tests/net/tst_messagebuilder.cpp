// Letters turned into messages: the header fields in any locale, the
// Message-ID, and a letter without recipients. The body and attachments are
// checked as delivered by the real server (tst_transport).
#include "model/letter.h"
#include "net/messagebuilder.h"
#include "net/messagebody.h"
#include "testhome.h"

#include <QApplication>
#include <QtTest>

#include <vmime/platforms/posix/posixHandler.hpp>

#include <clocale>

namespace {
QString utf8(const vmime::text &text)
{
    return QString::fromStdString(text.getConvertedText(vmime::charset(vmime::charsets::UTF_8)));
}

// The message as it reads back after being written out.
vmime::shared_ptr<vmime::message> reparsed(const vmime::shared_ptr<vmime::message> &message)
{
    auto copy = vmime::make_shared<vmime::message>();
    copy->parse(message->generate());
    return copy;
}
} // namespace

class TestMessageBuilder : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { vmime::platform::setHandler<vmime::platforms::posix::posixHandler>(); }

    // Built as under LC_ALL=C, where the library's default charset is ASCII:
    // names and subjects must still arrive as UTF-8.
    void headers_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QList<Recipient>>("to");
        QTest::addColumn<QString>("subject");
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("senderName");
        QTest::addColumn<QStringList>("recipients"); // name|address
        QTest::addColumn<QString>("messageId");
        const QString word = QStringLiteral("Gr\u00FC\u00DFe \u65E5\u672C");
        QTest::newRow("UTF-8 names and subject, millisecond id")
                << (word + " <a@example.org>") << QList<Recipient>{{"b@example.net", word}} << word
                << "1765000000123" << word << QStringList{word + "|b@example.net"} << "1765000000123@drel-mail";
        // The second as earlier versions handed recipients around.
        QTest::newRow("recipients with and without names, id with at sign")
                << "a@example.org"
                << QList<Recipient>{{"b@example.net"}, Recipient::fromString("c@example.net:::Carl Berg"),
                                    {"d@example.net", ""}}
                << "Hi" << "abc.def@host.example" << ""
                << QStringList{"|b@example.net", "Carl Berg|c@example.net", "|d@example.net"}
                << "abc.def@host.example";
        // The whole text goes to the address: no display name.
        QTest::newRow("no at in the address part") << "Anna <local>" << QList<Recipient>{{"b@example.net"}} << "Hi"
                                                   << "" << "" << QStringList{"|b@example.net"} << "";
    }
    void headers()
    {
        QFETCH(QString, from);
        QFETCH(QList<Recipient>, to);
        QFETCH(QString, subject);
        QFETCH(QString, id);
        QFETCH(QString, senderName);
        QFETCH(QStringList, recipients);
        QFETCH(QString, messageId);
        const QByteArray saved = ::setlocale(LC_ALL, nullptr);
        ::setlocale(LC_ALL, "C");
        Letter letter;
        letter.setFrom(from);
        letter.setToList(to);
        letter.setSubject(subject);
        letter.setBodyList({QStringLiteral("Body")});
        letter.setId(id);
        const vmime::shared_ptr<vmime::message> built = MessageBuilder::toVmimeMessage(&letter);
        ::setlocale(LC_ALL, saved.constData());
        QVERIFY(built);
        auto header = reparsed(built)->getHeader();
        QCOMPARE(utf8(header->From()->getValue<vmime::mailbox>()->getName()), senderName);
        QStringList got;
        auto list = header->To()->getValue<vmime::addressList>();
        for (size_t i = 0; i < list->getAddressCount(); ++i) {
            auto mailbox = vmime::dynamicCast<vmime::mailbox>(list->getAddressAt(i));
            got << utf8(mailbox->getName()) + QLatin1Char('|') + QString::fromStdString(mailbox->getEmail().toString());
        }
        QCOMPARE(got, recipients);
        QCOMPARE(utf8(*header->Subject()->getValue<vmime::text>()), subject);
        if (!messageId.isEmpty())
            QCOMPARE(QString::fromStdString(header->MessageId()->getValue<vmime::messageId>()->getId()), messageId);
    }

    // The body as it goes out: a plain alternative for text-only readers and
    // HTML without the editor's own markup or a quoted letter's head.
    void bodyForms_data()
    {
        QTest::addColumn<QString>("html");
        QTest::addColumn<QString>("plain");
        QTest::addColumn<QStringList>("htmlHas");
        QTest::newRow("paragraphs and entities")
                << "<p>One</p><p>Two &amp; three &lt;a@b.com&gt;</p>" << "One\r\nTwo & three <a@b.com>\r\n"
                << QStringList{"<p>One</p>", "<p>Two &amp; three &lt;a@b.com&gt;</p>"};
        QTest::newRow("lists")
                << "<ul><li>apples</li><li>pears</li></ul><ol><li>first</li><li>second</li></ol>"
                << "* apples\r\n* pears\r\n1. first\r\n2. second\r\n"
                << QStringList{"<ul>\n<li>apples</li>", "<ol>\n<li>first</li>"};
        QTest::newRow("link with its address")
                << "<p>See <a href=\"https://example.org/a?b=1&amp;c=2\">the site</a> now</p>"
                << "See the site <https://example.org/a?b=1&c=2> now\r\n"
                << QStringList{"<a href=\"https://example.org/a?b=1&amp;c=2\">the site</a>"};
        QTest::newRow("quoted letter")
                << "<p>Answer</p><blockquote><p>Question?</p><blockquote><p>Older</p></blockquote></blockquote>"
                << "Answer\r\n> Question?\r\n> > Older\r\n"
                << QStringList{"<blockquote>\n<p>Question?</p>\n<blockquote>\n<p>Older</p>"};
        // As the compose area hands it over, with a quoted letter's head.
        QTest::newRow("the editor's own HTML")
                << "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0//EN\"><html><head>"
                   "<meta name=\"qrichtext\" content=\"1\" /><title>Old letter</title>"
                   "<style type=\"text/css\">p { white-space: pre-wrap; }</style></head>"
                   "<body style=\" font-family:'Sans Serif'; font-size:11pt;\"><p style=\" margin-left:40px; "
                   "margin-right:40px; -qt-block-indent:0;\"><span style=\" font-weight:600;\">bold</span> "
                   "<span style=\" font-style:italic; color:#ff0000;\">red</span></p></body></html>"
                << "> bold red\r\n"
                << QStringList{"<blockquote>", "<span style=\"font-weight:bold\">bold</span>",
                               "<span style=\"font-style:italic;color:#ff0000\">red</span>"};
    }

    void bodyForms()
    {
        QFETCH(QString, html);
        QFETCH(QString, plain);
        QFETCH(QStringList, htmlHas);
        const MessageBody body(html);
        QCOMPARE(body.plainText(), plain);
        for (const QString &part : htmlHas)
            QVERIFY2(body.html().contains(part), qPrintable(body.html()));
        for (const char *editorOnly : {"DOCTYPE", "qrichtext", "-qt-", "<title>", "Old letter", "font-family", "<style"})
            QVERIFY2(!body.html().contains(QLatin1String(editorOnly)), qPrintable(body.html()));
    }

    void noRecipientsGivesNullUnlessFiled()
    {
        Letter letter;
        letter.setFrom(QStringLiteral("a@example.org"));
        letter.setBodyList({QStringLiteral("x")});
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("^MessageBuilder::toVmimeMessage\\(\\): vmime::exception:"));
        QVERIFY(!MessageBuilder::toVmimeMessage(&letter));
        auto filed = MessageBuilder::toVmimeMessage(&letter, true);
        QVERIFY(filed);
        QVERIFY(!reparsed(filed)->getHeader()->findField(vmime::fields::TO));
    }
};

MAIL_TEST_MAIN(TestMessageBuilder)
#include "tst_messagebuilder.moc"
