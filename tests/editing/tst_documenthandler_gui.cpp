#include "editing/documenthandler.h"
#include "main/startup.h"
#include "testhome.h"

#include <QQuickItem>
#include <QQuickTextDocument>
#include <QQuickView>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>

#include <memory>

// The handler drives a real TextEdit in a real window, wired the way the
// compose form wires it.
class TestDocumentHandler : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<QQuickView> m_view;
    QQuickItem *m_area = nullptr;
    DocumentHandler *m_handler = nullptr;

    QTextDocument *document() const
    {
        return m_area->property("textDocument").value<QQuickTextDocument *>()->textDocument();
    }

    void setPlainText(const QString &text)
    {
        document()->setPlainText(text);
    }

    void moveCursor(int position)
    {
        QMetaObject::invokeMethod(m_area, "deselect");
        m_area->setProperty("cursorPosition", position);
        QCOMPARE(m_handler->cursorPosition(), position);
    }

    void select(int start, int end)
    {
        QMetaObject::invokeMethod(m_area, "select", Q_ARG(int, start), Q_ARG(int, end));
        QCOMPARE(m_handler->selectionStart(), start);
        QCOMPARE(m_handler->selectionEnd(), end);
    }

    QTextCharFormat formatAt(int position) const
    {
        // The format of the character that follows the position.
        QTextCursor cursor(document());
        cursor.setPosition(position + 1);
        return cursor.charFormat();
    }

    QTextBlock block(int n) const { return document()->findBlockByNumber(n); }

private slots:
    void initTestCase()
    {
        Startup::registerTypes();
        QVERIFY(m_dir.isValid());
        const QString qmlPath = m_dir.filePath(QStringLiteral("compose.qml"));
        QFile qml(qmlPath);
        QVERIFY(qml.open(QIODevice::WriteOnly));
        qml.write("import QtQuick 2.3\n"
                  "import DocumentHandlerBackend 1.0\n"
                  "Item {\n"
                  "  width: 400; height: 300\n"
                  "  TextEdit { id: area; objectName: \"area\"; anchors.fill: parent\n"
                  "             textFormat: TextEdit.RichText; focus: true }\n"
                  "  DocumentHandler { id: document; objectName: \"document\"; target: area\n"
                  "    cursorPosition: area.cursorPosition\n"
                  "    selectionStart: area.selectionStart\n"
                  "    selectionEnd: area.selectionEnd }\n"
                  "}\n");
        qml.close();
        m_view = std::make_unique<QQuickView>();
        m_view->setSource(QUrl::fromLocalFile(qmlPath));
        QVERIFY2(m_view->status() == QQuickView::Ready, qPrintable(m_view->errors().value(0).toString()));
        m_view->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
        m_area = m_view->rootObject()->findChild<QQuickItem *>(QStringLiteral("area"));
        m_handler = m_view->rootObject()->findChild<DocumentHandler *>(QStringLiteral("document"));
        QVERIFY(m_area);
        QVERIFY(m_handler);
        QCOMPARE(m_handler->target(), m_area);
    }

    void init()
    {
        // An edit made behind the text area's back (clear() among them)
        // leaves its cursor position unannounced; removing the text through
        // the area itself brings the bound positions back to 0.
        setPlainText(QStringLiteral(" "));
        QMetaObject::invokeMethod(m_area, "remove", Q_ARG(int, 0), Q_ARG(int, 1));
        QCOMPARE(m_handler->cursorPosition(), 0);
        QVERIFY(document()->isEmpty());
    }

    void cleanupTestCase() { m_view.reset(); }

    // --- the merge step ---

    void boldCoversTheWordUnderTheCursor()
    {
        setPlainText(QStringLiteral("hello world"));
        moveCursor(8);
        m_handler->setBold(true);
        QCOMPARE(document()->toPlainText(), QStringLiteral("hello world"));
        for (int i = 0; i < 6; ++i)
            QCOMPARE(formatAt(i).fontWeight(), int(QFont::Normal));
        for (int i = 6; i < 11; ++i)
            QCOMPARE(formatAt(i).fontWeight(), int(QFont::Bold));
        QVERIFY(m_handler->bold());
    }

    void italicInAnEmptyParagraphInsertsASpace()
    {
        setPlainText(QStringLiteral("abc\n\nxyz"));
        moveCursor(4);
        m_handler->setItalic(true);
        QCOMPARE(document()->toPlainText(), QStringLiteral("abc\n \nxyz"));
        QVERIFY(formatAt(4).fontItalic());
        QVERIFY(!formatAt(2).fontItalic());
        QVERIFY(!formatAt(6).fontItalic());
    }

    void underlineTakesTheCharacterBeforeTheCursor()
    {
        // Right after the closing bracket there is no word to select.
        setPlainText(QStringLiteral("(ab)"));
        moveCursor(4);
        m_handler->setUnderline(true);
        QCOMPARE(document()->toPlainText(), QStringLiteral("(ab)"));
        QVERIFY(formatAt(3).fontUnderline());
        for (int i = 0; i < 3; ++i)
            QVERIFY(!formatAt(i).fontUnderline());
    }

    void boldOffStoresNormalWeight()
    {
        setPlainText(QStringLiteral("strong words"));
        select(0, 6);
        m_handler->setBold(true);
        QVERIFY(m_handler->bold());
        QSignalSpy boldChanged(m_handler, &DocumentHandler::boldChanged);
        m_handler->setBold(false);
        QCOMPARE(boldChanged.count(), 1);
        // Weight 0 would render as Thin.
        QCOMPARE(formatAt(0).fontWeight(), int(QFont::Normal));
        QVERIFY(formatAt(0).hasProperty(QTextFormat::FontWeight));
        QVERIFY(!m_handler->bold());
    }

    void settersFormatTheSelectionAndSignal()
    {
        setPlainText(QStringLiteral("one two three"));
        select(4, 13);
        QSignalSpy family(m_handler, &DocumentHandler::fontFamilyChanged);
        QSignalSpy size(m_handler, &DocumentHandler::fontSizeChanged);
        QSignalSpy color(m_handler, &DocumentHandler::textColorChanged);
        QSignalSpy strike(m_handler, &DocumentHandler::strikeoutChanged);
        m_handler->setProperty("fontFamily", QStringLiteral("DejaVu Serif"));
        m_handler->setProperty("fontSize", 18);
        m_handler->setProperty("textColor", QColor(Qt::red));
        m_handler->setProperty("strikeout", true);
        QCOMPARE(family.count(), 1);
        QCOMPARE(size.count(), 1);
        QCOMPARE(color.count(), 1);
        QCOMPARE(strike.count(), 1);

        QCOMPARE(m_handler->fontFamily(), QStringLiteral("DejaVu Serif"));
        QCOMPARE(m_handler->fontSize(), 18);
        QCOMPARE(m_handler->textColor(), QColor(Qt::red));
        QVERIFY(m_handler->strikeout());
        QCOMPARE(formatAt(12).fontPointSize(), 18.0);
        QCOMPARE(formatAt(4).foreground().color(), QColor(Qt::red));
        QVERIFY(!formatAt(2).hasProperty(QTextFormat::ForegroundBrush));
        QVERIFY(!formatAt(2).fontStrikeOut());

        // A size of nothing is ignored.
        m_handler->setFontSize(0);
        QCOMPARE(size.count(), 1);
        QCOMPARE(m_handler->fontSize(), 18);

        moveCursor(1);
        QCOMPARE(m_handler->textColor(), QColor(Qt::black));
        QVERIFY(!m_handler->strikeout());
    }

    // --- the cursor and the format refresh ---

    void sameCursorPositionRefreshesOnce()
    {
        setPlainText(QStringLiteral("some text here"));
        moveCursor(2);
        QStringList order;
        const QList<QPair<const char *, void (DocumentHandler::*)()>> signalList = {
            {"fontFamily", &DocumentHandler::fontFamilyChanged},
            {"alignment", &DocumentHandler::alignmentChanged},
            {"bold", &DocumentHandler::boldChanged},
            {"italic", &DocumentHandler::italicChanged},
            {"underline", &DocumentHandler::underlineChanged},
            {"strikeout", &DocumentHandler::strikeoutChanged},
            {"list", &DocumentHandler::listChanged},
            {"fontSize", &DocumentHandler::fontSizeChanged},
            {"textColor", &DocumentHandler::textColorChanged}};
        QList<QMetaObject::Connection> connections;
        for (const auto &s : signalList) {
            const QString name = QLatin1String(s.first);
            connections << connect(m_handler, s.second, this, [&order, name] { order << name; });
        }
        QSignalSpy cursorChanged(m_handler, &DocumentHandler::cursorPositionChanged);
        m_handler->setCursorPosition(7);
        m_handler->setCursorPosition(7);
        for (const auto &c : connections)
            disconnect(c);
        QCOMPARE(order, (QStringList{"fontFamily", "alignment", "bold", "italic", "underline",
                                     "strikeout", "list", "fontSize", "textColor"}));
        QCOMPARE(cursorChanged.count(), 0);
    }

    void clearEmptiesTheDocumentAndRefreshes()
    {
        setPlainText(QStringLiteral("to be gone"));
        moveCursor(10);
        QSignalSpy bold(m_handler, &DocumentHandler::boldChanged);
        QSignalSpy color(m_handler, &DocumentHandler::textColorChanged);
        m_handler->clear();
        QVERIFY(document()->isEmpty());
        QCOMPARE(m_area->property("length").toInt(), 0);
        QCOMPARE(bold.count(), 1);
        QCOMPARE(color.count(), 1);
        QVERIFY(!m_handler->bold());

        // The area has not announced its new position; the handler still
        // formats at the start of the now empty text.
        QCOMPARE(m_handler->cursorPosition(), 10);
        m_handler->setItalic(true);
        QCOMPARE(document()->toPlainText(), QStringLiteral(" "));
        QVERIFY(formatAt(0).fontItalic());
    }

    // --- paragraphs ---

    void alignmentOnTheSelectedBlocks()
    {
        setPlainText(QStringLiteral("first\nsecond\nthird"));
        QCOMPARE(m_handler->alignment(), Qt::Alignment(Qt::AlignLeft));
        const Qt::Alignment untouched = block(0).blockFormat().alignment();
        QVERIFY(!(untouched & Qt::AlignRight));
        moveCursor(8);
        QSignalSpy alignment(m_handler, &DocumentHandler::alignmentChanged);
        m_handler->setProperty("alignment", QVariant::fromValue(Qt::Alignment(Qt::AlignRight)));
        QCOMPARE(alignment.count(), 1);
        QCOMPARE(block(0).blockFormat().alignment(), untouched);
        QCOMPARE(block(2).blockFormat().alignment(), untouched);
        QCOMPARE(block(1).blockFormat().alignment(), Qt::Alignment(Qt::AlignRight));
        QCOMPARE(m_handler->alignment(), Qt::Alignment(Qt::AlignRight));

        select(2, 15);
        m_handler->setAlignment(Qt::AlignHCenter);
        QCOMPARE(block(0).blockFormat().alignment(), Qt::Alignment(Qt::AlignHCenter));
        QCOMPARE(block(1).blockFormat().alignment(), Qt::Alignment(Qt::AlignHCenter));
        QCOMPARE(block(2).blockFormat().alignment(), Qt::Alignment(Qt::AlignHCenter));
    }

    void listsOnAndOffForASelection()
    {
        setPlainText(QStringLiteral("one\ntwo\nthree\nafter"));
        select(1, 10);
        QSignalSpy listChanged(m_handler, &DocumentHandler::listChanged);
        m_handler->setProperty("list", DocumentHandler::NumericList);
        QCOMPARE(listChanged.count(), 1);
        QVERIFY(block(0).textList());
        QCOMPARE(block(0).textList(), block(2).textList());
        QCOMPARE(block(0).textList()->count(), 3);
        QCOMPARE(block(0).textList()->format().style(), QTextListFormat::ListDecimal);
        QVERIFY(!block(3).textList());
        QCOMPARE(m_handler->list(), DocumentHandler::NumericList);

        // Turning the list off takes every selected paragraph out of it.
        m_handler->setList(DocumentHandler::NoList);
        QCOMPARE(listChanged.count(), 2);
        for (int n = 0; n < 4; ++n) {
            QVERIFY(!block(n).textList());
            QCOMPARE(block(n).blockFormat().indent(), 0);
        }
        QCOMPARE(m_handler->list(), DocumentHandler::NoList);

        moveCursor(5);
        m_handler->setList(DocumentHandler::MarkedList);
        QCOMPARE(block(1).textList()->format().style(), QTextListFormat::ListDisc);
        QCOMPARE(m_handler->list(), DocumentHandler::MarkedList);
        QVERIFY(!block(0).textList());
        QVERIFY(!block(2).textList());
    }

    void squareBulletReadsAsNoList()
    {
        document()->setHtml(QStringLiteral("<ul style=\"list-style-type: square\"><li>pasted</li></ul>"));
        moveCursor(2);
        QVERIFY(block(0).textList());
        QCOMPARE(block(0).textList()->format().style(), QTextListFormat::ListSquare);
        QCOMPARE(m_handler->list(), DocumentHandler::NoList);
    }

    // --- links and text ---

    void linkReplacesTheSelectionAndEndsWithASpace()
    {
        setPlainText(QStringLiteral("see here please"));
        select(4, 8);
        m_handler->insertLink(QStringLiteral("<a href=\"https://example.org/\">the site</a>"));
        QCOMPARE(document()->toPlainText(), QStringLiteral("see the site  please"));
        QVERIFY(formatAt(4).isAnchor());
        QCOMPARE(formatAt(4).anchorHref(), QStringLiteral("https://example.org/"));
        QVERIFY(formatAt(11).isAnchor());
        QVERIFY(!formatAt(12).isAnchor());
        QVERIFY(!formatAt(3).isAnchor());
    }

    void linkAfterALinkDoesNotContinueIt()
    {
        setPlainText(QString());
        moveCursor(0);
        m_handler->insertLink(QStringLiteral("<a href=\"https://a.example/\">a</a>"));
        moveCursor(2);
        m_handler->insertLink(QStringLiteral("<a href=\"https://b.example/\">b</a>"));
        QCOMPARE(document()->toPlainText(), QStringLiteral("a b "));
        QCOMPARE(formatAt(2).anchorHref(), QStringLiteral("https://b.example/"));
        QVERIFY(!formatAt(1).isAnchor());
        QVERIFY(!formatAt(3).isAnchor());
    }

    // --- without a document ---

    void withoutADocumentEverythingIsDefault()
    {
        DocumentHandler handler;
        QSignalSpy targetChanged(&handler, &DocumentHandler::targetChanged);
        handler.setTarget(nullptr);
        QCOMPARE(targetChanged.count(), 0);
        // An item without a text document.
        handler.setTarget(m_view->rootObject());
        QCOMPARE(targetChanged.count(), 1);

        QSignalSpy sizeChanged(&handler, &DocumentHandler::fontSizeChanged);
        QSignalSpy listChanged(&handler, &DocumentHandler::listChanged);
        handler.setFontSize(20);
        handler.setTextColor(Qt::blue);
        handler.setFontFamily(QStringLiteral("DejaVu Sans"));
        handler.setList(DocumentHandler::NumericList);
        handler.setBold(true);
        handler.clear();
        handler.insertLink(QStringLiteral("<a href=\"x\">x</a>"));
        QCOMPARE(sizeChanged.count(), 0);
        QCOMPARE(listChanged.count(), 0);
        QVERIFY(!handler.bold());
        QVERIFY(!handler.italic());
        QCOMPARE(handler.fontSize(), 0);
        QCOMPARE(handler.textColor(), QColor(Qt::black));
        QCOMPARE(handler.fontFamily(), QString());
        QCOMPARE(handler.alignment(), Qt::Alignment(Qt::AlignLeft));
        QCOMPARE(handler.list(), DocumentHandler::NoList);
        QCOMPARE(handler.cursorPosition(), -1);

        // Pointed at the real area it starts working.
        handler.setTarget(m_area);
        QCOMPARE(targetChanged.count(), 2);
        setPlainText(QStringLiteral("word"));
        handler.setCursorPosition(2);
        handler.setFontSize(20);
        QCOMPARE(sizeChanged.count(), 2);
        QCOMPARE(formatAt(0).fontPointSize(), 20.0);
    }
};

MAIL_TEST_MAIN(TestDocumentHandler)
#include "tst_documenthandler_gui.moc"
