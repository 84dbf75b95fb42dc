// Letters turned into messages: the header fields in any locale, the
// Message-ID, and a letter without recipients. The body and attachments are
// checked as delivered by the real server (tst_transport).
#include "model/letter.h"
#include "net/connection.h"
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
        QTest::addColumn<QStringList>("to");
        QTest::addColumn<QString>("subject");
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("senderName");
        QTest::addColumn<QStringList>("recipients"); // name|address
        QTest::addColumn<QString>("messageId");
        const QString word = QStringLiteral("Gr\u00FC\u00DFe \u65E5\u672C");
        QTest::newRow("UTF-8 names and subject, millisecond id")
                << (word + " <a@example.org>") << QStringList{"b@example.net:::" + word} << word
                << "1765000000123" << word << QStringList{word + "|b@example.net"} << "1765000000123@drel-mail";
        QTest::newRow("recipients with and without names, id with at sign")
                << "a@example.org" << QStringList{"b@example.net", "c@example.net:::Carl Berg", "d@example.net:::"}
                << "Hi" << "abc.def@host.example" << ""
                << QStringList{"|b@example.net", "Carl Berg|c@example.net", "|d@example.net"}
                << "abc.def@host.example";
        // The whole text goes to the address: no display name.
        QTest::newRow("no at in the address part") << "Anna <local>" << QStringList{"b@example.net"} << "Hi"
                                                   << "" << "" << QStringList{"|b@example.net"} << "";
    }
    void headers()
    {
        QFETCH(QString, from);
        QFETCH(QStringList, to);
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
        const vmime::shared_ptr<vmime::message> built = Connection::toVmimeMessage(&letter);
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

    void noRecipientsGivesNullUnlessFiled()
    {
        Letter letter;
        letter.setFrom(QStringLiteral("a@example.org"));
        letter.setBodyList({QStringLiteral("x")});
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("^Connection::toVmimeMessage\\(\\): vmime::exception:"));
        QVERIFY(!Connection::toVmimeMessage(&letter));
        auto filed = Connection::toVmimeMessage(&letter, true);
        QVERIFY(filed);
        QVERIFY(!reparsed(filed)->getHeader()->findField(vmime::fields::TO));
    }
};

MAIL_TEST_MAIN(TestMessageBuilder)
#include "tst_messagebuilder.moc"
