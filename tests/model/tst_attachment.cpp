#include "fixtures.h"
#include "model/attachment.h"
#include "model/letter.h"
#include "testhome.h"
#include "urlrecorder.h"

#include <QDesktopServices>
#include <QtTest>

#include <unistd.h>

using Fixtures::attachment;
using Fixtures::readFile;

class AttachmentTest : public QObject
{
    Q_OBJECT
    UrlRecorder m_urls;

private slots:
    void initTestCase()
    {
        TestHome::prepareProgram();
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &m_urls, "open");
    }
    void cleanupTestCase() { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }
    void init()
    {
        m_urls.opened.clear();
        QDir(Attachment::temporaryDirectory()).removeRecursively();
    }

    void sizeTexts_data()
    {
        QTest::addColumn<quint64>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("1023") << quint64(1023) << "1023 B";
        QTest::newRow("1536") << quint64(1536) << "1.50 Kb";
        QTest::newRow("1048575") << quint64(1048575) << "1024.00 Kb";
        QTest::newRow("5.5 Mb") << quint64(5767168) << "5.50 Mb";
    }
    void sizeTexts()
    {
        QFETCH(quint64, bytes);
        QFETCH(QString, text);
        // A German desktop must not turn the point into a comma.
        QLocale::setDefault(QLocale(QLocale::German));
        const QString got = Attachment::sizeText(bytes);
        QLocale::setDefault(QLocale::c());
        QCOMPARE(got, text);
    }

    // The name comes from the sender, often in an older charset: the name
    // proposed for saving is one clean component of the user's folder.
    void proposedName_data()
    {
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<QByteArray>("charset");
        QTest::addColumn<QString>("proposed");
        QTest::newRow("ordinary") << QByteArray("report.pdf") << QByteArray("utf-8") << "report.pdf";
        QTest::newRow("koi8-r") << QByteArray("\xf0\xd2\xc9\xd7\xc5\xd4.txt") << QByteArray("koi8-r")
                                << QString::fromUtf8("Привет.txt");
        QTest::newRow("parent folders") << QByteArray("../../.bashrc") << QByteArray("utf-8") << ".bashrc";
        QTest::newRow("absolute") << QByteArray("/etc/passwd") << QByteArray("utf-8") << "passwd";
        QTest::newRow("backslashes") << QByteArray("..\\..\\evil.exe") << QByteArray("utf-8") << "evil.exe";
        QTest::newRow("control characters") << QByteArray("a\nb\tc\x1b.txt") << QByteArray("utf-8") << "abc.txt";
        QTest::newRow("reversed extension") << QString::fromUtf8("photo\u202Egpj.exe").toUtf8()
                                            << QByteArray("utf-8") << "photogpj.exe";
        QTest::newRow("only a folder") << QByteArray("..") << QByteArray("utf-8") << "attachment";
    }
    void proposedName()
    {
        QFETCH(QByteArray, sent);
        QFETCH(QByteArray, charset);
        QFETCH(QString, proposed);
        Attachment named(vmime::make_shared<vmime::defaultAttachment>(
                                 vmime::make_shared<vmime::stringContentHandler>("x"),
                                 vmime::mediaType("text/plain"), vmime::text(),
                                 vmime::word(sent.toStdString(), vmime::charset(charset.toStdString()))),
                         nullptr);
        DialogAnswer cancel;
        named.save();
        QCOMPARE(cancel.proposed, QDir::homePath() + QLatin1Char('/') + proposed);
        QVERIFY(!QFile::exists(cancel.proposed));
    }

    // Each opening gets a file of its own, named after the attachment with
    // the extension of its type, so that the desktop opens it by type; what
    // a desktop would run is only offered for saving.
    void openGivesEachAFileOfItsOwn_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("file");   // empty: saved, not opened
        QTest::newRow("as sent") << "invoice.pdf" << "application/pdf" << "invoice.pdf";
        QTest::newRow("extension from the type") << "invoice" << "application/pdf" << "invoice.pdf";
        QTest::newRow("extension of another type") << "photo.pdf" << "image/png" << "photo.pdf.png";
        QTest::newRow("extension in capitals") << "README.TXT" << "text/plain" << "README.TXT";
        QTest::newRow("type from the name when unknown") << "scan.jpg" << "application/octet-stream"
                                                         << "scan.jpg";
        QTest::newRow("nothing known") << "blob" << "application/octet-stream" << "blob.bin";
        QTest::newRow("hidden") << "..bashrc" << "text/plain" << "bashrc.txt";
        QTest::newRow("path") << "../../bin/ls" << "text/plain" << "ls.txt";
        QTest::newRow("long") << QString(300, QLatin1Char('n')) + ".pdf" << "application/pdf"
                              << QString(60, QLatin1Char('n')) + ".pdf";
        QTest::newRow("shell script") << "setup.sh" << "application/x-shellscript" << "";
        QTest::newRow("script by name") << "setup.sh" << "application/octet-stream" << "";
        QTest::newRow("desktop entry") << "invoice.desktop" << "application/x-desktop" << "";
        QTest::newRow("program") << "invoice.exe" << "application/x-msdownload" << "";
    }
    void openGivesEachAFileOfItsOwn()
    {
        QFETCH(QString, name);
        QFETCH(QString, type);
        QFETCH(QString, file);
        // A forged one first, of the same name, type and size as the genuine.
        Attachment forged(attachment("forged!", name.toStdString(), type.toStdString()), nullptr);
        Attachment genuine(attachment("genuine", name.toStdString(), type.toStdString()), nullptr);
        const QString saved = QDir::tempPath() + QStringLiteral("/saved");
        DialogAnswer dialog(saved);
        forged.open();
        genuine.open();
        if (file.isEmpty()) {
            QVERIFY(m_urls.opened.isEmpty());
            QCOMPARE(dialog.count, 2);
            QCOMPARE(readFile(saved), QByteArray("genuine"));
            return;
        }
        QCOMPARE(m_urls.opened.size(), 2);
        const QString first = m_urls.opened.at(0).toLocalFile();
        const QString second = m_urls.opened.at(1).toLocalFile();
        QCOMPARE(QFileInfo(first).fileName(), file);
        QCOMPARE(QFileInfo(first).path(), Attachment::temporaryDirectory());
        QCOMPARE(QFileInfo(second).path(), Attachment::temporaryDirectory());
        QCOMPARE(readFile(first), QByteArray("forged!"));
        QCOMPARE(readFile(second), QByteArray("genuine"));
        // Private to the user, never executable, in a private folder.
        QCOMPARE(Fixtures::fileMode(second), 0600);
        QCOMPARE(Fixtures::fileMode(Attachment::temporaryDirectory()), 0700);
    }

    // Each opening leaves a file: over months they would fill the folder,
    // and a name opened a thousand times could not be opened again.
    void openRemovesFilesOfEarlierDays()
    {
        const QString dir = Attachment::temporaryDirectory();
        const QString old = dir + QStringLiteral("/invoice.pdf");
        const QString recent = dir + QStringLiteral("/invoice (2).pdf");
        QVERIFY(Fixtures::writeFile(old, "old") && Fixtures::writeFile(recent, "recent"));
        QFile file(old);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(-25 * 3600),
                                 QFileDevice::FileModificationTime));
        file.close();
        Attachment a(attachment("new", "invoice.pdf", "application/pdf"), nullptr);
        a.open();
        QCOMPARE(m_urls.opened.size(), 1);
        QCOMPARE(readFile(m_urls.opened.at(0).toLocalFile()), QByteArray("new"));
        QVERIFY(!QFile::exists(old) || readFile(old) == "new");
        QCOMPARE(readFile(recent), QByteArray("recent"));
    }

    // Another user plants something where the file will be written.
    void plantedFileIsNotWrittenThrough_data()
    {
        QTest::addColumn<QString>("plant");
        QTest::newRow("link to a file") << "file link";
        QTest::newRow("folder is a link") << "folder link";
        QTest::newRow("file of another user") << "foreign";
    }
    void plantedFileIsNotWrittenThrough()
    {
        QFETCH(QString, plant);
        const QString dir = Attachment::temporaryDirectory();
        const QString path = dir + QStringLiteral("/o.txt");
        const QString victim = QDir::tempPath() + QStringLiteral("/victim");
        const QString elsewhere = QDir::tempPath() + QStringLiteral("/elsewhere");
        QVERIFY(Fixtures::writeFile(victim, "precious"));
        if (plant == QLatin1String("file link")) {
            QVERIFY(QFile::link(victim, path));
        } else if (plant == QLatin1String("folder link")) {
            QVERIFY(QDir(dir).removeRecursively() && QDir().mkpath(elsewhere));
            QVERIFY(QFile::link(elsewhere, dir));
        } else {
            if (::getuid() != 0)
                QSKIP("needs root to give a file to another user");
            QVERIFY(Fixtures::writeFile(path, "precious"));
            QCOMPARE(::chown(QFile::encodeName(path).constData(), 65534, 65534), 0);
        }
        Attachment a(attachment("overwrite", "o.txt"), nullptr);
        const bool refused = plant == QLatin1String("folder link");
        if (refused)
            QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("^Attachment::open\\(\\): "));
        a.open();
        // Refused, or written to a file of its own beside the planted one.
        QCOMPARE(m_urls.opened.size(), refused ? 0 : 1);
        if (!refused)
            QCOMPARE(readFile(m_urls.opened.at(0).toLocalFile()), QByteArray("overwrite"));
        QCOMPARE(readFile(victim), QByteArray("precious"));
        QVERIFY(QDir(elsewhere).entryList(QDir::Files).isEmpty());
        if (plant != QLatin1String("folder link"))
            QCOMPARE(readFile(path), QByteArray("precious"));
        QFile::remove(plant == QLatin1String("folder link") ? dir : path);
    }

    void saveWritesDecodedData()
    {
        const QByteArray data = QByteArray("\x00\x01\x02 binary \xff", 13).repeated(100);
        const QString target = QDir::tempPath() + QStringLiteral("/saved.bin");
        DialogAnswer dialog(target);
        Attachment(attachment(data.toBase64().toStdString(), "blob.bin", "image/png", "base64"), nullptr).save();
        QCOMPARE(readFile(target), data);
        Attachment(attachment("short", "blob.bin"), nullptr).save();
        QCOMPARE(readFile(target), QByteArray("short")); // replaced, not appended
    }

    // QML may still hold a removed attachment while the call runs.
    void removedAttachmentLivesUntilTheCallReturns()
    {
        Letter letter;
        auto *first = new Attachment(attachment("one", "one.bin"), &letter);
        auto *second = new Attachment(attachment("two", "two.bin"), &letter);
        letter.setAttachList({QVariant::fromValue(first), QVariant::fromValue(second)});
        letter.removeAttachmentAt(-1);
        letter.removeAttachmentAt(2);
        QPointer<Attachment> removed(first);
        letter.removeAttachmentAt(0);
        QCOMPARE(letter.attachList().size(), 1);
        QCOMPARE(Attachment::fromVariant(letter.attachList().at(0)), second);
        QVERIFY(removed);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!removed);
    }

    // A forwarded letter's attachments outlive the letter they came from.
    void copiedAttachmentsSurviveTheSource()
    {
        auto source = std::make_unique<Letter>();
        auto *a = new Attachment(attachment("alpha", "a.txt"), source.get());
        QObject notAnAttachment;
        Letter copy;
        copy.setAttachments({QVariant::fromValue(a), QVariant::fromValue(&notAnAttachment), QVariant(42)});
        QCOMPARE(copy.attachList().size(), 1);
        Attachment *made = Attachment::fromVariant(copy.attachList().at(0));
        QVERIFY(made && made != a);
        source.reset();
        QCOMPARE(made->name(), QStringLiteral("a.txt"));
        QCOMPARE(made->size(), QStringLiteral("5 B"));
    }

    void fragmentMarkersAreStripped()
    {
        Letter letter;
        letter.setBodyList({QStringLiteral("<!--StartFragment-->Hi<!--EndFragment-->"),
                            QStringLiteral("<!--startfragment-->x<!--StartFragment--><!--StartFragment-->")});
        letter.prepareNonQtBody();
        QCOMPARE(letter.bodyList(), QStringList({"Hi", "<!--startfragment-->x"}));
    }
};

MAIL_TEST_MAIN(AttachmentTest)
#include "tst_attachment.moc"
