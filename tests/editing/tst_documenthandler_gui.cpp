#include "accounts/utils.h"
#include "base/filedialog.h"
#include "editing/documenthandler.h"
#include "filecanary.h"
#include "fixtures.h"
#include "main/startup.h"
#include "testhome.h"

#include <QQuickItem>
#include <QQuickTextDocument>
#include <QQuickView>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>
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

// The handler drives a real TextEdit in a real window, wired the way the
// compose form wires it; the letter is printed to PDF.
class TestDocumentHandler : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<QQuickView> m_view;
    QQuickItem *m_area = nullptr;
    DocumentHandler *m_handler = nullptr;

    QTextDocument *document() const
    {
        return m_area->property("textDocument").value<QQuickTextDocument *>()->textDocument();
    }
    void moveCursor(int position)
    {
        QMetaObject::invokeMethod(m_area, "deselect");
        m_area->setProperty("cursorPosition", position);
    }
    void select(int start, int end) { QMetaObject::invokeMethod(m_area, "select", Q_ARG(int, start), Q_ARG(int, end)); }
    // The format of the character that follows the position.
    QTextCharFormat formatAt(int position) const
    {
        QTextCursor cursor(document());
        cursor.setPosition(position + 1);
        return cursor.charFormat();
    }
    QTextBlock block(int n) const { return document()->findBlockByNumber(n); }

private slots:
    void initTestCase()
    {
        Startup::registerTypes();
        const QString qmlPath = m_dir.filePath(QStringLiteral("compose.qml"));
        QVERIFY(Fixtures::writeFile(qmlPath,
                "import QtQuick 2.3\nimport DocumentHandlerBackend 1.0\n"
                "Item { width: 400; height: 300\n"
                "  TextEdit { id: area; objectName: \"area\"; anchors.fill: parent\n"
                "             textFormat: TextEdit.RichText; focus: true }\n"
                "  DocumentHandler { id: document; objectName: \"document\"; target: area\n"
                "    cursorPosition: area.cursorPosition\n"
                "    selectionStart: area.selectionStart; selectionEnd: area.selectionEnd }\n"
                "}\n"));
        m_view = std::make_unique<QQuickView>();
        m_view->setSource(QUrl::fromLocalFile(qmlPath));
        QVERIFY2(m_view->status() == QQuickView::Ready, qPrintable(m_view->errors().value(0).toString()));
        m_view->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
        m_area = m_view->rootObject()->findChild<QQuickItem *>(QStringLiteral("area"));
        m_handler = m_view->rootObject()->findChild<DocumentHandler *>(QStringLiteral("document"));
        QVERIFY(m_area && m_handler);
    }

    void init()
    {
        // Removing through the area itself brings the bound positions to 0.
        document()->setPlainText(QStringLiteral(" "));
        QMetaObject::invokeMethod(m_area, "remove", Q_ARG(int, 0), Q_ARG(int, 1));
        QCOMPARE(m_handler->cursorPosition(), 0);
    }

    void cleanupTestCase() { m_view.reset(); }

    // With nothing selected a style button formats the word at the cursor,
    // the character before it, or a space in an empty paragraph. Right after
    // clear() the area has not announced its new position yet: the handler
    // must not format past the end of the empty text.
    void styleWithoutASelection_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("cursor");
        QTest::addColumn<QString>("style");
        QTest::addColumn<QString>("after");
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<bool>("cleared");
        QTest::newRow("word under the cursor") << "hello world" << 8 << "bold" << "hello world" << 6 << 11 << false;
        QTest::newRow("after a bracket") << "(ab)" << 4 << "underline" << "(ab)" << 3 << 4 << false;
        QTest::newRow("empty paragraph") << "abc\n\nxyz" << 4 << "italic" << "abc\n \nxyz" << 4 << 5 << false;
        QTest::newRow("right after clear") << "to be gone" << 10 << "italic" << " " << 0 << 1 << true;
    }
    void styleWithoutASelection()
    {
        QFETCH(QString, text);
        QFETCH(int, cursor);
        QFETCH(QString, style);
        QFETCH(QString, after);
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(bool, cleared);
        document()->setPlainText(text);
        moveCursor(cursor);
        if (cleared)
            m_handler->clear();
        QVERIFY(m_handler->setProperty(style.toLatin1(), true));
        QCOMPARE(document()->toPlainText(), after);
        for (int i = 0; i < after.size(); ++i) {
            if (after.at(i) == QLatin1Char('\n'))
                continue;
            const QTextCharFormat f = formatAt(i);
            const bool styled = f.fontWeight() == QFont::Bold || f.fontItalic() || f.fontUnderline();
            QVERIFY2(styled == (i >= from && i < to), qPrintable(QString::number(i)));
        }
        QVERIFY(m_handler->property(style.toLatin1()).toBool());
    }

    void formatsOnlyTheSelection()
    {
        document()->setPlainText(QStringLiteral("one two three"));
        select(4, 13);
        m_handler->setFontFamily(QStringLiteral("DejaVu Serif"));
        m_handler->setFontSize(18);
        m_handler->setTextColor(Qt::red);
        m_handler->setStrikeout(true);
        m_handler->setFontSize(0); // ignored
        m_handler->setBold(true);
        m_handler->setBold(false);
        QCOMPARE(formatAt(5).fontWeight(), int(QFont::Normal)); // weight 0 would render as Thin
        QVERIFY(formatAt(5).hasProperty(QTextFormat::FontWeight) && !m_handler->bold());
        QCOMPARE(m_handler->fontSize(), 18);
        QCOMPARE(formatAt(12).fontPointSize(), 18.0);
        QCOMPARE(formatAt(4).foreground().color(), QColor(Qt::red));
        QVERIFY(formatAt(4).fontStrikeOut());
        QVERIFY(!formatAt(2).hasProperty(QTextFormat::ForegroundBrush));
        QVERIFY(!formatAt(2).fontStrikeOut());
        moveCursor(1);
        QCOMPARE(m_handler->textColor(), QColor(Qt::black));
    }

    void alignmentOfTheSelectedBlocks()
    {
        document()->setPlainText(QStringLiteral("first\nsecond\nthird"));
        moveCursor(8);
        m_handler->setAlignment(Qt::AlignRight);
        QVERIFY(!(block(0).blockFormat().alignment() & Qt::AlignRight));
        QCOMPARE(block(1).blockFormat().alignment(), Qt::Alignment(Qt::AlignRight));
        select(2, 15);
        m_handler->setAlignment(Qt::AlignHCenter);
        for (int n = 0; n < 3; ++n)
            QCOMPARE(block(n).blockFormat().alignment(), Qt::Alignment(Qt::AlignHCenter));
    }

    void listsOnAndOff()
    {
        document()->setPlainText(QStringLiteral("one\ntwo\nthree\nafter"));
        select(1, 10);
        m_handler->setList(DocumentHandler::NumericList);
        QVERIFY(block(0).textList());
        QCOMPARE(block(0).textList(), block(2).textList());
        QCOMPARE(block(0).textList()->format().style(), QTextListFormat::ListDecimal);
        QVERIFY(!block(3).textList());
        m_handler->setList(DocumentHandler::NoList);
        for (int n = 0; n < 4; ++n) {
            QVERIFY(!block(n).textList());
            QCOMPARE(block(n).blockFormat().indent(), 0);
        }
        moveCursor(5);
        m_handler->setList(DocumentHandler::MarkedList);
        QCOMPARE(block(1).textList()->format().style(), QTextListFormat::ListDisc);
        QVERIFY(!block(0).textList() && !block(2).textList());
    }

    // A link replaces the selection and what is typed after it is no link.
    void links()
    {
        m_handler->insertLink(QStringLiteral("<a href=\"https://a.example/\">a</a>"));
        moveCursor(2);
        m_handler->insertLink(QStringLiteral("<a href=\"https://b.example/\">b</a>"));
        QCOMPARE(document()->toPlainText(), QStringLiteral("a b "));
        QCOMPARE(formatAt(2).anchorHref(), QStringLiteral("https://b.example/"));
        QVERIFY(!formatAt(1).isAnchor() && !formatAt(3).isAnchor());

        document()->setPlainText(QStringLiteral("see here please"));
        select(4, 8);
        m_handler->insertLink(QStringLiteral("<a href=\"https://example.org/\">the site</a>"));
        QCOMPARE(document()->toPlainText(), QStringLiteral("see the site  please"));
        QCOMPARE(formatAt(4).anchorHref(), QStringLiteral("https://example.org/"));
        QVERIFY(formatAt(11).isAnchor() && !formatAt(12).isAnchor() && !formatAt(3).isAnchor());
    }

    void withoutADocumentNothingBreaks()
    {
        DocumentHandler handler;
        handler.setTarget(m_view->rootObject()); // an item without a text document
        handler.setFontSize(20);
        handler.setTextColor(Qt::blue);
        handler.setList(DocumentHandler::NumericList);
        handler.setBold(true);
        handler.clear();
        handler.insertLink(QStringLiteral("<a href=\"x\">x</a>"));
        QVERIFY(!handler.bold());
        handler.setTarget(m_area);
        document()->setPlainText(QStringLiteral("word"));
        handler.setCursorPosition(2);
        handler.setFontSize(20);
        QCOMPARE(formatAt(0).fontPointSize(), 20.0);
    }

    // A long letter on A4 pages, to the path chosen as it is (no extension
    // added), replacing what was there; local pictures it names stay unread.
    void letterBecomesAnA4Pdf()
    {
        QTemporaryDir out;
        const QString path = out.filePath(QStringLiteral("existing"));
        QVERIFY(Fixtures::writeFile(path, QByteArray(100000, 'x')));
        FileCanary canary(out.filePath(QStringLiteral("canary.png")));
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
        QCOMPARE(QDir(out.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"existing"});
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
        DialogAnswer dialog(m_dir.filePath(QStringLiteral("never.pdf")));
        Utils().printToPdf(QString(), QStringLiteral("Subject"));
        QCOMPARE(dialog.count, 0);
    }
};

MAIL_TEST_MAIN(TestDocumentHandler)
#include "tst_documenthandler_gui.moc"
