#include "fixtures.h"
#include "folderindex.h"
#include "inireader.h"
#include "testhome.h"

#include <QSettings>
#include <QtTest>

// The index reader must see exactly what QSettings sees, for every file that
// QSettings itself writes and for hand-edited ones, or hand the file over to
// QSettings when it cannot be sure.
namespace {
QString describe(const QVector<FolderIndex::Entry> &entries)
{
    QStringList lines;
    for (const FolderIndex::Entry &e : entries) {
        lines << QStringLiteral("[%1] from=%2 subject=%3 date=%4 type=%5 folder=%6")
                         .arg(e.id, e.from, e.subject, e.date.toString(Qt::ISODateWithMs))
                         .arg(e.letterType)
                         .arg(e.folderType);
    }
    return lines.join(QLatin1Char('\n'));
}

// Awkward values as QSettings writes them.
QByteArray writtenBySettings()
{
    const QString path = TestHome::path() + QStringLiteral("/written.conf");
    QFile::remove(path);
    const QStringList texts{
        QString(), QStringLiteral(" leading and trailing "), QStringLiteral("a, list; with = signs"),
        QStringLiteral("\"quoted\" and \\back\\slashes\\"), QStringLiteral("@starts with at"),
        QStringLiteral("@@two"), QStringLiteral("@Variant(not really)"),
        QString::fromUtf8("Ünïcödé Ω 日本語 𝄞 then abc"), QString::fromUtf8("é9 éa éF"),
        QStringLiteral("tab\tnew\nline\rbell\a\x01\x1f\x7f end"), QString(QChar(0)) + QStringLiteral("0x"),
        QStringLiteral("#not a comment"), QStringLiteral(";not a comment"), QStringLiteral("[not a section]"),
        QStringLiteral("ends with backslash\\"), QStringLiteral("trailing tab\t"),
    };
    {
        QSettings s(path, QSettings::IniFormat);
        s.beginGroup(QStringLiteral("mail"));
        for (int i = 0; i < texts.size(); ++i) {
            const QString text = texts.at(i);
            const QString group = QStringLiteral("id%1 %2@host-with.odd_chars/").arg(i).arg(text.left(3));
            s.setValue(group + QStringLiteral("from"), text);
            s.setValue(group + QStringLiteral("subject"), text + text);
            s.setValue(group + QStringLiteral("date"),
                       QDateTime(QDate(2000 + i, 1 + i % 12, 1 + i), QTime(i, i, i, i), Qt::UTC));
            s.setValue(group + QStringLiteral("letterType"), i % 3);
            s.setValue(group + QStringLiteral("folderType"), i % 5);
            s.setValue(group + QStringLiteral("other"), QStringList{text, text});
        }
        s.setValue(QStringLiteral("gone@x/removed"), true);
        s.setValue(QStringLiteral("kept@x/archived"), false);
        s.setValue(QStringLiteral("kept@x/date"), QDateTime());
    }
    return Fixtures::readFile(path);
}
} // namespace

class TestIniReader : public QObject
{
    Q_OBJECT

private slots:
    void sameAsSettings_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("reads"); // whether the fast reader takes it: yes, no, or either
        QTest::newRow("written by QSettings") << writtenBySettings() << "yes";
        QTest::newRow("comments and blank lines")
                << QByteArray("; a comment\n\n[mail]\n; another\na@x\\from = Anna  \n"
                              "a@x\\subject=\"  quoted ; with semicolon  \" ; trailing comment\n") << "";
        QTest::newRow("repeated sections, last value wins")
                << QByteArray("[mail]\na@x\\subject=first\na@x\\letterType=0\n[mail]\n"
                              "a@x\\letterType=2\n\n[mail]\nb@x\\subject=second\na@x\\subject=third\n") << "";
        QTest::newRow("continued line") << QByteArray("[mail]\na@x\\subject=one \\\n  two\n") << "";
        QTest::newRow("escapes") << QByteArray("[mail]\na@x\\subject=x\\x41y\\101z\\q\\\"\\n\n") << "";
        QTest::newRow("crlf line ends") << QByteArray("[mail]\r\na@x\\subject=crlf\r\na@x\\letterType=1\r\n") << "";
        QTest::newRow("removed by hand")
                << QByteArray("[mail]\na@x\\subject=s\na@x\\removed=true\nb@x\\subject=t\nb@x\\removed=false\n") << "";
        QTest::newRow("numbers that do not convert")
                << QByteArray("[mail]\na@x\\letterType=seen\na@x\\folderType=\na@x\\date=yesterday\n") << "";
        QTest::newRow("escaped group names") << QByteArray("[mail]\n%U00fc%20x%40y\\subject=u\n") << "";
        QTest::newRow("line without equals sign") << QByteArray("[mail]\njunk line\na@x\\subject=s\n") << "";
        QTest::newRow("unknown keys only") << QByteArray("[mail]\nodd@x\\colour=blue\na@x\\subject=s\n") << "";
        QTest::newRow("empty") << QByteArray() << "";
        QTest::newRow("raw UTF-8") << QByteArray("[mail]\na@x\\subject=Gr\xc3\xbc\xc3\x9f\x65\n") << "no";
        QTest::newRow("another section") << QByteArray("[General]\nx=1\n[mail]\na@x\\subject=s\n") << "no";
        QTest::newRow("key before any section") << QByteArray("mail\\a@x\\subject=s\n") << "no";
        QTest::newRow("deeper key") << QByteArray("[mail]\na@x\\sub\\subject=s\n") << "no";
        QTest::newRow("list value") << QByteArray("[mail]\na@x\\subject=one, two\n") << "no";
        QTest::newRow("escaped key name") << QByteArray("[mail]\na@x\\sub%6Aect=s\n") << "no";
    }

    void sameAsSettings()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, reads);
        IniReader::Groups groups;
        if (!reads.isEmpty())
            QCOMPARE(IniReader::read(content, QStringLiteral("mail"), {"subject"}, &groups), reads == "yes");
        const QString path = TestHome::path() + QStringLiteral("/index.conf");
        QVERIFY(Fixtures::writeFile(path, content));
        FolderIndex fast(path);
        FolderIndex reference(path);
        const QVector<FolderIndex::Entry> entries = fast.load();
        QCOMPARE(describe(entries), describe(reference.loadWithSettings()));
        if (reads == QLatin1String("yes"))
            QCOMPARE(entries.size(), 17);
    }
};

MAIL_TEST_MAIN(TestIniReader)
#include "tst_inireader.moc"
