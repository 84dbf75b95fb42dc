#include "accounts/utils.h"
#include "base/filedialog.h"
#include "filecanary.h"
#include "fixtures.h"
#include "testhome.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {
// Output of a poppler tool (pdftotext, pdfinfo) run on a file.
QString poppler(const QString &tool, const QString &path)
{
    QProcess process;
    process.start(tool, tool == QLatin1String("pdftotext") ? QStringList{path, "-"} : QStringList{path});
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return QStringLiteral("<%1 failed>").arg(tool);
    return QString::fromUtf8(process.readAllStandardOutput());
}

QStringList tempFiles()
{
    return QDir::temp().entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}
}

class TestPdfPrinter : public QObject
{
    Q_OBJECT
    QTemporaryDir m_out;

private slots:
    // A long letter on A4 pages, to the path chosen as it is (no extension
    // added), replacing what was there; local pictures it names stay unread.
    void letterBecomesAnA4Pdf()
    {
        const QString path = m_out.filePath(QStringLiteral("existing"));
        QVERIFY(Fixtures::writeFile(path, QByteArray(100000, 'x')));
        FileCanary canary(m_out.filePath(QStringLiteral("canary.png")));
        const QString local = canary.url().toString();
        QString body = QStringLiteral("<p>Gr\u00fc\u00dfe aus <b>K\u00f6ln</b></p><img src=\"%1\"><table background=\"%1\">"
                                      "<tr><td>cell</td></tr></table>").arg(local);
        for (int i = 1; i <= 150; ++i)
            body += QStringLiteral("<p>Line number %1 of a long letter.</p>").arg(i);
        DialogAnswer dialog(path);
        Utils().printToPdf(body, QStringLiteral("Figures"));
        QCOMPARE(dialog.proposed, QDir::homePath() + QStringLiteral("/Figures.pdf"));
        const QString text = poppler(QStringLiteral("pdftotext"), path);
        for (const char *line : {"Gr\u00fc\u00dfe aus K\u00f6ln", "Line number 1 of", "Line number 150 of"})
            QVERIFY2(text.contains(QString::fromUtf8(line)), qPrintable(text));
        const QString info = poppler(QStringLiteral("pdfinfo"), path);
        QVERIFY2(info.contains(QRegularExpression("Page size:\\s+595(\\.\\d+)? x 84[12](\\.\\d+)? pts \\(A4\\)")),
                 qPrintable(info));
        QVERIFY(QRegularExpression("Pages:\\s+(\\d+)").match(info).captured(1).toInt() > 1);
        QVERIFY(!Fixtures::readFile(path).contains("xxxxxxxx"));
        QCOMPARE(QDir(m_out.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"existing"});
        QCOMPARE(canary.opened(), 0);
    }

    // The PDF is made in a temporary file before the user is asked; a
    // cancel leaves nothing behind, and an empty letter asks nothing.
    void cancelLeavesNothingBehind()
    {
        const QStringList before = tempFiles();
        QByteArray pdfStart;
        FileDialog::setAnswer([&](const QString &, const QString &) {
            for (const QString &name : tempFiles()) {
                if (!before.contains(name))
                    pdfStart = Fixtures::readFile(QDir::temp().filePath(name)).left(5);
            }
            return QString();
        });
        Utils().printToPdf(QStringLiteral("<p>never saved</p>"), QStringLiteral("Draft"));
        FileDialog::setAnswer({});
        QCOMPARE(pdfStart, QByteArray("%PDF-"));
        QCOMPARE(tempFiles(), before);
        QVERIFY(!QFile::exists(QDir::homePath() + QStringLiteral("/Draft.pdf")));
        DialogAnswer dialog(m_out.filePath(QStringLiteral("never.pdf")));
        Utils().printToPdf(QString(), QStringLiteral("Subject"));
        QCOMPARE(dialog.count, 0);
    }
};

MAIL_TEST_MAIN(TestPdfPrinter)
#include "tst_pdfprinter.moc"
