// The file name proposed for saving an attachment comes from the sender:
// it must never lead outside the folder the user picks.
#include "attachment.h"
#include "filedialog.h"
#include "testhome.h"

#include <QDir>
#include <QtTest>

class AttachmentNameTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestHome::prepareProgram(); }

    void proposedNameIsOneCleanComponent_data()
    {
        QTest::addColumn<QString>("sent");
        QTest::addColumn<QString>("proposed");
        QTest::newRow("ordinary") << QStringLiteral("report.pdf") << QStringLiteral("report.pdf");
        QTest::newRow("parent folders") << QStringLiteral("../../.bashrc") << QStringLiteral(".bashrc");
        QTest::newRow("absolute") << QStringLiteral("/etc/passwd") << QStringLiteral("passwd");
        QTest::newRow("backslashes") << QStringLiteral("..\\..\\evil.exe") << QStringLiteral("evil.exe");
        QTest::newRow("control characters") << QStringLiteral("a\nb\tc\x1b.txt") << QStringLiteral("abc.txt");
        QTest::newRow("reversed extension") << QStringLiteral("photo\u202Egpj.exe") << QStringLiteral("photogpj.exe");
        QTest::newRow("only a folder") << QStringLiteral("..") << QStringLiteral("attachment");
    }

    void proposedNameIsOneCleanComponent()
    {
        QFETCH(QString, sent);
        QFETCH(QString, proposed);
        Attachment attachment(vmime::make_shared<vmime::defaultAttachment>(
                                      vmime::make_shared<vmime::stringContentHandler>("data"),
                                      vmime::mediaType("application/octet-stream"), vmime::text(),
                                      vmime::word(sent.toStdString(), vmime::charset(vmime::charsets::UTF_8))),
                              nullptr);
        QString shown;
        FileDialog::setAnswer([&](const QString &, const QString &path) {
            shown = path;
            return QString();
        });
        attachment.save();
        FileDialog::setAnswer({});
        QCOMPARE(shown, QDir::homePath() + QDir::separator() + proposed);
    }
};

MAIL_TEST_MAIN(AttachmentNameTest)
#include "tst_attachmentname.moc"
