#include "accounts/utils.h"
#include "base/filedialog.h"
#include "testhome.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace {

// Output of a poppler tool (pdftotext, pdfinfo) run on a file.
QString poppler(const QString &tool, const QStringList &arguments)
{
    QProcess process;
    process.start(tool, arguments);
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return QStringLiteral("<%1 failed: %2>").arg(tool, QString::fromUtf8(process.readAllStandardError()));
    return QString::fromUtf8(process.readAllStandardOutput());
}

QStringList tempFiles()
{
    return QDir::temp().entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

struct Asked
{
    int count = 0;
    QString caption;
    QString proposed;
};

} // namespace

class TestPdfPrinter : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_out;
    Asked m_asked;

    // The dialog answers with this path (empty: the user cancels).
    void answerWith(const QString &path)
    {
        m_asked = Asked();
        FileDialog::setAnswer([this, path](const QString &caption, const QString &proposed) {
            ++m_asked.count;
            m_asked.caption = caption;
            m_asked.proposed = proposed;
            return path;
        });
    }

private slots:
    void initTestCase() { QVERIFY(m_out.isValid()); }
    void cleanupTestCase() { FileDialog::setAnswer({}); }

    // Portrait A4: 595 points wide, 842 high.
    void letterBecomesAnA4Pdf()
    {
        const QString path = m_out.filePath(QStringLiteral("letter.pdf"));
        answerWith(path);
        Utils utils;
        utils.printToPdf(QStringLiteral("<html><body><p>Dear <b>Anna</b>,</p>"
                                        "<p>the quarterly numbers are attached.</p>"
                                        "<p>Gr\u00fc\u00dfe aus K\u00f6ln</p></body></html>"),
                         QStringLiteral("Figures"));
        QCOMPARE(m_asked.count, 1);
        QCOMPARE(m_asked.caption, QStringLiteral("Choose path to save pdf file"));
        QCOMPARE(m_asked.proposed, QDir::homePath() + QStringLiteral("/Figures.pdf"));

        const QString text = poppler(QStringLiteral("pdftotext"), {path, QStringLiteral("-")});
        QVERIFY2(text.contains(QStringLiteral("Dear Anna,")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("the quarterly numbers are attached.")), qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("Gr\u00fc\u00dfe aus K\u00f6ln")));

        const QString info = poppler(QStringLiteral("pdfinfo"), {path});
        QVERIFY2(info.contains(QRegularExpression(QStringLiteral("Page size:\\s+595(\\.\\d+)? x 84[12](\\.\\d+)? pts \\(A4\\)"))),
                 qPrintable(info));
        QVERIFY(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+1\\n"))));
    }

    void longLetterRunsOverSeveralPages()
    {
        const QString path = m_out.filePath(QStringLiteral("long.pdf"));
        answerWith(path);
        QString body;
        for (int i = 1; i <= 150; ++i)
            body += QStringLiteral("<p>Line number %1 of a long letter.</p>").arg(i);
        Utils().printToPdf(body, QStringLiteral("Long"));
        const QString info = poppler(QStringLiteral("pdfinfo"), {path});
        const QRegularExpressionMatch pages = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(info);
        QVERIFY2(pages.hasMatch(), qPrintable(info));
        QVERIFY(pages.captured(1).toInt() > 1);
        const QString text = poppler(QStringLiteral("pdftotext"), {path, QStringLiteral("-")});
        QVERIFY(text.contains(QStringLiteral("Line number 1 of")));
        QVERIFY(text.contains(QStringLiteral("Line number 150 of")));
    }

    void emptyBodyAsksNothing()
    {
        answerWith(m_out.filePath(QStringLiteral("never.pdf")));
        Utils().printToPdf(QString(), QStringLiteral("Subject"));
        QCOMPARE(m_asked.count, 0);
        QVERIFY(!QFile::exists(m_out.filePath(QStringLiteral("never.pdf"))));
    }

    void proposedNames()
    {
        answerWith(QString());
        Utils().printToPdf(QStringLiteral("<p>x</p>"), QString());
        QCOMPARE(m_asked.proposed, QDir::homePath() + QStringLiteral("/Message.pdf"));
        // The subject is used as it is, separators included.
        Utils().printToPdf(QStringLiteral("<p>x</p>"), QStringLiteral("Re: a/b"));
        QCOMPARE(m_asked.proposed, QDir::homePath() + QStringLiteral("/Re: a/b.pdf"));
    }

    void chosenPathIsUsedAsItIs()
    {
        const QString path = m_out.filePath(QStringLiteral("no-extension"));
        answerWith(path);
        Utils().printToPdf(QStringLiteral("<p>plain name</p>"), QStringLiteral("S"));
        QVERIFY(QFile::exists(path));
        QVERIFY(!QFile::exists(path + QStringLiteral(".pdf")));
        QVERIFY(poppler(QStringLiteral("pdftotext"), {path, QStringLiteral("-")}).contains(QStringLiteral("plain name")));
    }

    void existingFileIsReplaced()
    {
        const QString path = m_out.filePath(QStringLiteral("existing.pdf"));
        {
            QFile old(path);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write(QByteArray(100000, 'x'));
        }
        answerWith(path);
        Utils().printToPdf(QStringLiteral("<p>the new one</p>"), QStringLiteral("S"));
        QFile replaced(path);
        QVERIFY(replaced.open(QIODevice::ReadOnly));
        QVERIFY(replaced.read(5) == "%PDF-");
        QVERIFY(!replaced.readAll().contains("xxxxxxxx"));
        QVERIFY(poppler(QStringLiteral("pdftotext"), {path, QStringLiteral("-")}).contains(QStringLiteral("the new one")));
        QCOMPARE(QDir(m_out.path()).entryList({QStringLiteral("existing*")}, QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("existing.pdf")});
    }

    void cancelLeavesNothingBehind()
    {
        const QStringList before = tempFiles();
        QStringList during;
        QByteArray pdfStart;
        m_asked = Asked();
        FileDialog::setAnswer([&](const QString &, const QString &) {
            ++m_asked.count;
            // The PDF is ready before the user is asked.
            during = tempFiles();
            for (const QString &name : during) {
                if (before.contains(name))
                    continue;
                QFile file(QDir::temp().filePath(name));
                if (file.open(QIODevice::ReadOnly))
                    pdfStart = file.read(5);
            }
            return QString();
        });
        const QStringList outBefore = QDir(m_out.path()).entryList(QDir::Files);
        Utils().printToPdf(QStringLiteral("<p>never saved</p>"), QStringLiteral("Draft"));
        QCOMPARE(m_asked.count, 1);
        QCOMPARE(during.size(), before.size() + 1);
        QCOMPARE(pdfStart, QByteArray("%PDF-"));
        QCOMPARE(tempFiles(), before);
        QCOMPARE(QDir(m_out.path()).entryList(QDir::Files), outBefore);
        QVERIFY(!QFile::exists(QDir::homePath() + QStringLiteral("/Draft.pdf")));
    }
};

MAIL_TEST_MAIN(TestPdfPrinter)
#include "tst_pdfprinter.moc"
