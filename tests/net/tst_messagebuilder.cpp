#include "model/attachment.h"
#include "model/letter.h"
#include "net/connection.h"
#include "testhome.h"

#include <QApplication>
#include <QtTest>

#include <vmime/platforms/posix/posixHandler.hpp>

namespace {

QString mailboxText(const vmime::shared_ptr<const vmime::mailbox> &mbox)
{
    const QString name = QString::fromStdString(
            mbox->getName().getConvertedText(vmime::charset(vmime::charsets::UTF_8)));
    return name + QLatin1Char('|') + QString::fromStdString(mbox->getEmail().toString());
}

QStringList recipients(const vmime::shared_ptr<vmime::message> &message)
{
    QStringList list;
    auto field = message->getHeader()->findField(vmime::fields::TO);
    if (!field)
        return list;
    auto to = field->getValue<vmime::addressList>();
    for (size_t i = 0; i < to->getAddressCount(); ++i)
        list << mailboxText(vmime::dynamicCast<vmime::mailbox>(to->getAddressAt(i)));
    return list;
}

// The message as it reads back after being written out.
vmime::shared_ptr<vmime::message> reparsed(const vmime::shared_ptr<vmime::message> &message)
{
    auto copy = vmime::make_shared<vmime::message>();
    copy->parse(message->generate());
    return copy;
}

vmime::shared_ptr<vmime::attachment> fileData(const QByteArray &bytes, const char *name)
{
    return vmime::make_shared<vmime::defaultAttachment>(
            vmime::make_shared<vmime::stringContentHandler>(bytes.toStdString()),
            vmime::mediaType("application/octet-stream"), vmime::text(), vmime::word(name));
}

} // namespace

class TestMessageBuilder : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void senderForms_data();
    void senderForms();
    void recipientsWithAndWithoutNames();
    void htmlBodyInUtf8WithLineBreaks();
    void attachmentsInOrder();
    void messageIdFromLetterId_data();
    void messageIdFromLetterId();
    void noRecipientsGivesNullUnlessFiled();
};

void TestMessageBuilder::initTestCase()
{
    vmime::platform::setHandler<vmime::platforms::posix::posixHandler>();
}

void TestMessageBuilder::senderForms_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("expected");
    QTest::newRow("name and address") << QString::fromUtf8("Анна Петрова <anna@example.org>")
                                      << QString::fromUtf8("Анна Петрова|anna@example.org");
    QTest::newRow("bare address") << "anna@example.org" << "|anna@example.org";
    QTest::newRow("no at in second part") << "Anna <local>" << QString();
}

void TestMessageBuilder::senderForms()
{
    QFETCH(QString, from);
    QFETCH(QString, expected);
    Letter letter;
    letter.setFrom(from);
    letter.setToList({QStringLiteral("b@example.net")});
    letter.setBodyList({QStringLiteral("x")});
    auto message = Connection::toVmimeMessage(&letter);
    QVERIFY(message);
    auto mbox = reparsed(message)->getHeader()->From()->getValue<vmime::mailbox>();
    if (expected.isEmpty()) // the whole text went to the address: no display name
        QVERIFY(mbox->getName().isEmpty());
    else
        QCOMPARE(mailboxText(mbox), expected);
}

void TestMessageBuilder::recipientsWithAndWithoutNames()
{
    Letter letter;
    letter.setFrom(QStringLiteral("a@example.org"));
    letter.setToList({QStringLiteral("b@example.net"), QStringLiteral("c@example.net:::Carl Berg"),
                      QStringLiteral("d@example.net:::")});
    letter.setSubject(QString::fromUtf8("Встреча в пятницу"));
    letter.setBodyList({QStringLiteral("x")});
    auto message = reparsed(Connection::toVmimeMessage(&letter));
    QCOMPARE(recipients(message), QStringList({"|b@example.net", "Carl Berg|c@example.net",
                                               "|d@example.net"}));
    QCOMPARE(QString::fromStdString(message->getHeader()->Subject()->getValue<vmime::text>()
                                            ->getConvertedText(vmime::charset("utf-8"))),
             QString::fromUtf8("Встреча в пятницу"));
    QVERIFY(!message->getHeader()->findField(vmime::fields::CC));
    QVERIFY(!message->getHeader()->findField(vmime::fields::REPLY_TO));
}

void TestMessageBuilder::htmlBodyInUtf8WithLineBreaks()
{
    Letter letter;
    letter.setFrom(QStringLiteral("a@example.org"));
    letter.setToList({QStringLiteral("b@example.net")});
    letter.setBodyList({QString::fromUtf8("Первая") + QChar(0x2029) + QStringLiteral("second"),
                        QStringLiteral("ignored")});
    auto message = reparsed(Connection::toVmimeMessage(&letter));
    vmime::messageParser parser(message);
    QCOMPARE(parser.getTextPartCount(), size_t(1));
    auto part = parser.getTextPartAt(0);
    QCOMPARE(QString::fromStdString(part->getType().generate()), QStringLiteral("text/html"));
    QCOMPARE(QString::fromStdString(part->getCharset().getName()).toLower(), QStringLiteral("utf-8"));
    std::string text;
    vmime::utility::outputStreamStringAdapter out(text);
    part->getText()->extract(out);
    out.flush();
    QCOMPARE(QString::fromStdString(text), QString::fromUtf8("Первая<br>second"));
}

void TestMessageBuilder::attachmentsInOrder()
{
    QObject owner;
    Letter letter;
    letter.setFrom(QStringLiteral("a@example.org"));
    letter.setToList({QStringLiteral("b@example.net")});
    letter.setBodyList({QStringLiteral("x")});
    auto *first = new Attachment(fileData("first data", "one.bin"), &owner);
    auto *second = new Attachment(fileData(QByteArray(3000, '\x01'), "two.bin"), &owner);
    letter.setAttachList({QVariant::fromValue<QObject *>(first), QVariant(),
                          QVariant::fromValue<QObject *>(second)});
    auto message = reparsed(Connection::toVmimeMessage(&letter));
    vmime::messageParser parser(message);
    QCOMPARE(parser.getAttachmentCount(), size_t(2));
    QCOMPARE(QString::fromStdString(parser.getAttachmentAt(0)->getName().getBuffer()),
             QStringLiteral("one.bin"));
    QCOMPARE(QString::fromStdString(parser.getAttachmentAt(1)->getName().getBuffer()),
             QStringLiteral("two.bin"));
    std::string data;
    vmime::utility::outputStreamStringAdapter out(data);
    parser.getAttachmentAt(1)->getData()->extract(out);
    out.flush();
    QCOMPARE(QByteArray::fromStdString(data), QByteArray(3000, '\x01'));
}

void TestMessageBuilder::messageIdFromLetterId_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("expected");
    QTest::newRow("millisecond count") << "1765000000123" << "1765000000123@drel-mail";
    QTest::newRow("with at sign") << "abc.def@host.example" << "abc.def@host.example";
}

void TestMessageBuilder::messageIdFromLetterId()
{
    QFETCH(QString, id);
    QFETCH(QString, expected);
    Letter letter;
    letter.setFrom(QStringLiteral("a@example.org"));
    letter.setToList({QStringLiteral("b@example.net")});
    letter.setBodyList({QStringLiteral("x")});
    letter.setId(id);
    auto message = reparsed(Connection::toVmimeMessage(&letter));
    QCOMPARE(QString::fromStdString(message->getHeader()->MessageId()->getValue<vmime::messageId>()->getId()),
             expected);
}

void TestMessageBuilder::noRecipientsGivesNullUnlessFiled()
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

MAIL_TEST_MAIN(TestMessageBuilder)
#include "tst_messagebuilder.moc"
