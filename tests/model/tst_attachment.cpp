#include "base/filedialog.h"
#include "model/attachment.h"
#include "testhome.h"

#include <QDesktopServices>
#include <QSignalSpy>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

#include <vmime/platforms/posix/posixHandler.hpp>

// Stands in for the desktop's URL handler and counts what it is asked to open.
class UrlRecorder : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl &url) { opened << url; }
};

namespace {
vmime::shared_ptr<vmime::attachment> plainHandle(const std::string &data, const std::string &name,
                                                 const std::string &type = "application/octet-stream")
{
    return vmime::make_shared<vmime::defaultAttachment>(
            vmime::make_shared<vmime::stringContentHandler>(data), vmime::mediaType(type),
            vmime::text(), vmime::word(name));
}

// Data held encoded, as it is in a parsed message.
vmime::shared_ptr<vmime::attachment> base64Handle(const QByteArray &data, const std::string &name)
{
    QByteArray encoded;
    const QByteArray b64 = data.toBase64();
    for (int i = 0; i < b64.size(); i += 76)
        encoded += b64.mid(i, 76) + "\r\n";
    return vmime::make_shared<vmime::defaultAttachment>(
            vmime::make_shared<vmime::stringContentHandler>(encoded.toStdString(),
                                                            vmime::encoding("base64")),
            vmime::mediaType("image/png"), vmime::text(), vmime::word(name));
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
}

class AttachmentTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        vmime::platform::setHandler<vmime::platforms::posix::posixHandler>();
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &m_urls, "open");
    }

    void cleanupTestCase()
    {
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        FileDialog::setAnswer({});
    }

    void init()
    {
        m_urls.opened.clear();
        const QString path = Attachment::temporaryFilePath();
        QFile::remove(path);
    }

    void sizeTexts_data()
    {
        QTest::addColumn<quint64>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << quint64(0) << "0 B";
        QTest::newRow("512") << quint64(512) << "512 B";
        QTest::newRow("1023") << quint64(1023) << "1023 B";
        QTest::newRow("1024") << quint64(1024) << "1.00 Kb";
        QTest::newRow("1536") << quint64(1536) << "1.50 Kb";
        QTest::newRow("1048575") << quint64(1048575) << "1024.00 Kb";
        QTest::newRow("1048576") << quint64(1048576) << "1.00 Mb";
        QTest::newRow("5.5 Mb") << quint64(5767168) << "5.50 Mb";
    }

    void sizeTexts()
    {
        QFETCH(quint64, bytes);
        QFETCH(QString, text);
        QCOMPARE(Attachment::sizeText(bytes), text);
    }

    void sizeTextIgnoresLocale()
    {
        const QLocale before;
        QLocale::setDefault(QLocale(QLocale::German));
        const QString text = Attachment::sizeText(1536);
        QLocale::setDefault(before);
        QCOMPARE(text, QStringLiteral("1.50 Kb"));
    }

    void propertiesFromHandle()
    {
        QByteArray data(3000, 'x');
        for (int i = 0; i < data.size(); ++i)
            data[i] = char(i * 7);
        Attachment a(base64Handle(data, "picture.png"), nullptr);
        QCOMPARE(a.name(), QStringLiteral("picture.png"));
        QCOMPARE(a.type(), QStringLiteral("image/png"));
        // The decoded byte count, not the length of the Base64 text.
        QCOMPARE(a.size(), QStringLiteral("2.93 Kb"));

        // A name in another charset is converted to UTF-8.
        Attachment koi(plainHandle("x", ""), nullptr);
        QVERIFY(koi.name().isEmpty());
        const vmime::word name("\xf0\xd2\xc9\xd7\xc5\xd4.txt", vmime::charset("koi8-r"));
        Attachment named(vmime::make_shared<vmime::defaultAttachment>(
                                 vmime::make_shared<vmime::stringContentHandler>("x"),
                                 vmime::mediaType("text/plain"), vmime::text(), name),
                         nullptr);
        QCOMPARE(named.name(), QString::fromUtf8("Привет.txt"));
    }

    void fileAttachmentTakesItsFileName()
    {
        const QString path = QDir::tempPath() + QStringLiteral("/report.txt");
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("report");
        f.close();
        auto handle = vmime::make_shared<vmime::fileAttachment>(path.toStdString(),
                                                                vmime::mediaType("text/plain"));
        handle->getFileInfo().setFilename(vmime::word("report.txt"));
        Attachment a(handle, nullptr);
        QCOMPARE(a.name(), QStringLiteral("report.txt"));
        QCOMPARE(a.size(), QStringLiteral("6 B"));
    }

    void settersCompareFirst()
    {
        Attachment a(plainHandle("x", "x"), nullptr);
        QSignalSpy name(&a, &Attachment::nameChanged);
        a.setName(QStringLiteral("x"));
        QCOMPARE(name.count(), 0);
        a.setName(QStringLiteral("y"));
        a.setName(QStringLiteral("y"));
        QCOMPARE(name.count(), 1);
    }

    void openWritesOnceAndRewritesForAnother()
    {
        Attachment first(plainHandle("first data", "a.txt"), nullptr);
        Attachment second(plainHandle("second", "b.txt"), nullptr);
        const QString path = Attachment::temporaryFilePath();
        QCOMPARE(QFileInfo(path).fileName(), QStringLiteral("drel-mail-attachment-file"));

        first.open();
        QCOMPARE(readAll(path), QByteArray("first data"));
        QCOMPARE(m_urls.opened, QList<QUrl>({QUrl::fromLocalFile(path)}));

        // Opening it again does not write: a marker in the file stays.
        QFile f(path);
        QVERIFY(f.open(QIODevice::Append));
        f.write("+marker");
        f.close();
        first.open();
        QCOMPARE(readAll(path), QByteArray("first data+marker"));
        QCOMPARE(m_urls.opened.size(), 2);

        // Another attachment in between rewrites the whole file.
        second.open();
        QCOMPARE(readAll(path), QByteArray("second"));
        first.open();
        QCOMPARE(readAll(path), QByteArray("first data"));
        QCOMPARE(m_urls.opened.size(), 4);
    }

    void temporaryFileIsPrivate()
    {
        Attachment a(plainHandle("secret", "s.txt"), nullptr);
        a.open();
        const QString path = Attachment::temporaryFilePath();
        struct stat st;
        QCOMPARE(::stat(QFile::encodeName(path).constData(), &st), 0);
        QCOMPARE(int(st.st_mode & 0777), 0600);
        QCOMPARE(::stat(QFile::encodeName(QFileInfo(path).path()).constData(), &st), 0);
        QCOMPARE(int(st.st_mode & 0777), 0700);
        QVERIFY(QFileInfo(path).path() != QDir::tempPath());
    }

    void plantedLinkIsNotWrittenThrough()
    {
        // Another user plants a link where the file will be written.
        const QString victim = QDir::tempPath() + QStringLiteral("/victim");
        QFile v(victim);
        QVERIFY(v.open(QIODevice::WriteOnly));
        v.write("precious");
        v.close();
        const QString path = Attachment::temporaryFilePath();
        QVERIFY(QFile::link(victim, path));

        Attachment a(plainHandle("overwrite", "o.txt"), nullptr);
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("^Attachment::open\\(\\): "));
        a.open();
        QCOMPARE(readAll(victim), QByteArray("precious"));
        QVERIFY(m_urls.opened.isEmpty());
        QFile::remove(path);
    }

    void plantedDirectoryLinkIsRefused()
    {
        // The private directory itself replaced by a link to a directory that
        // someone else controls.
        const QString dir = QFileInfo(Attachment::temporaryFilePath()).path();
        QVERIFY(QDir(dir).removeRecursively());
        const QString elsewhere = QDir::tempPath() + QStringLiteral("/elsewhere");
        QVERIFY(QDir().mkpath(elsewhere));
        QVERIFY(QFile::link(elsewhere, dir));

        QVERIFY(Attachment::temporaryFilePath().isEmpty());
        Attachment a(plainHandle("data", "d.txt"), nullptr);
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("^Attachment::open\\(\\): "));
        a.open();
        QVERIFY(QDir(elsewhere).entryList(QDir::Files).isEmpty());
        QVERIFY(m_urls.opened.isEmpty());
        QVERIFY(QFile::remove(dir));
    }

    void foreignFileIsRefused()
    {
        if (::getuid() != 0)
            QSKIP("needs root to give a file to another user");
        const QString path = Attachment::temporaryFilePath();
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("theirs");
        f.close();
        QCOMPARE(::chown(QFile::encodeName(path).constData(), 65534, 65534), 0);

        Attachment a(plainHandle("mine", "m.txt"), nullptr);
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("^Attachment::open\\(\\): "));
        a.open();
        QCOMPARE(readAll(path), QByteArray("theirs"));
        QFile::remove(path);
    }

    void saveWritesDecodedData()
    {
        const QByteArray data = QByteArray("\x00\x01\x02 binary \xff", 13).repeated(100);
        Attachment a(base64Handle(data, "blob.bin"), nullptr);
        const QString target = QDir::tempPath() + QStringLiteral("/saved.bin");
        QString caption, proposed;
        FileDialog::setAnswer([&](const QString &c, const QString &p) {
            caption = c;
            proposed = p;
            return target;
        });
        a.save();
        QCOMPARE(caption, QStringLiteral("Choose path to save attachment"));
        QCOMPARE(proposed, QDir::homePath() + QStringLiteral("/blob.bin"));
        QCOMPARE(readAll(target), data);

        // An existing file is replaced.
        Attachment b(plainHandle("short", "blob.bin"), nullptr);
        b.save();
        QCOMPARE(readAll(target), QByteArray("short"));
    }

    void cancelledSaveWritesNothing()
    {
        Attachment a(plainHandle("data", "nothing.bin"), nullptr);
        FileDialog::setAnswer([](const QString &, const QString &) { return QString(); });
        const QStringList before = QDir(QDir::homePath()).entryList(QDir::Files);
        a.save();
        QCOMPARE(QDir(QDir::homePath()).entryList(QDir::Files), before);
        QVERIFY(!QFile::exists(QDir::homePath() + QStringLiteral("/nothing.bin")));
    }

private:
    UrlRecorder m_urls;
};

MAIL_TEST_MAIN(AttachmentTest)
#include "tst_attachment.moc"
