#include "documenthandler.h"

#include <QFontDatabase>
#include <QQuickTextDocument>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextList>

#include <algorithm>

DocumentHandler::DocumentHandler(QObject *parent)
    : QObject(parent)
{
}

void DocumentHandler::setTarget(QQuickItem *target)
{
    m_document = nullptr;
    m_target = target;
    if (!target)
        return;
    auto *textDocument = target->property("textDocument").value<QQuickTextDocument *>();
    if (textDocument)
        m_document = textDocument->textDocument();
    emit targetChanged();
}

void DocumentHandler::setCursorPosition(int position)
{
    if (position == m_cursorPosition)
        return;
    m_cursorPosition = position;
    refreshFormat();
}

void DocumentHandler::setSelectionStart(int position)
{
    m_selectionStart = position;
}

void DocumentHandler::setSelectionEnd(int position)
{
    m_selectionEnd = position;
}

// The QML bindings may lag behind an edit of the document (after clear(),
// say); a position past the end would only make the cursor complain.
int DocumentHandler::clamped(int position) const
{
    return std::clamp(position, 0, std::max(0, m_document->characterCount() - 1));
}

QTextCursor DocumentHandler::textCursor() const
{
    if (!m_document)
        return QTextCursor();
    QTextCursor cursor(m_document);
    if (m_selectionStart != m_selectionEnd) {
        cursor.setPosition(clamped(m_selectionStart));
        cursor.setPosition(clamped(m_selectionEnd), QTextCursor::KeepAnchor);
    } else {
        cursor.setPosition(clamped(m_cursorPosition));
    }
    return cursor;
}

QTextCharFormat DocumentHandler::charFormat() const
{
    const QTextCursor cursor = textCursor();
    return cursor.isNull() ? QTextCharFormat() : cursor.charFormat();
}

void DocumentHandler::mergeFormatOnWordOrSelection(const QTextCharFormat &format)
{
    QTextCursor cursor = textCursor();
    if (cursor.isNull())
        return;
    if (!cursor.hasSelection())
        cursor.select(QTextCursor::WordUnderCursor);
    if (cursor.hasSelection()) {
        cursor.mergeCharFormat(format);
        return;
    }
    // Not on a word: an empty paragraph gets a space to carry the format;
    // otherwise the character before the cursor takes it. Either way, text
    // typed next to it continues in the new format.
    if (cursor.block().textFormats().isEmpty())
        cursor.insertText(QStringLiteral(" "), QTextCharFormat());
    cursor.movePosition(QTextCursor::Left, QTextCursor::KeepAnchor);
    cursor.mergeCharFormat(format);
}

void DocumentHandler::refreshFormat()
{
    emit fontFamilyChanged();
    emit alignmentChanged();
    emit boldChanged();
    emit italicChanged();
    emit underlineChanged();
    emit strikeoutChanged();
    emit listChanged();
    emit fontSizeChanged();
    emit textColorChanged();
}

QColor DocumentHandler::textColor() const
{
    const QTextCharFormat format = charFormat();
    if (!format.hasProperty(QTextFormat::ForegroundBrush))
        return QColor(Qt::black);
    return format.foreground().color();
}

void DocumentHandler::setTextColor(const QColor &color)
{
    if (!m_document)
        return;
    QTextCharFormat format;
    format.setForeground(QBrush(color));
    mergeFormatOnWordOrSelection(format);
    emit textColorChanged();
}

QString DocumentHandler::fontFamily() const
{
    if (!m_document)
        return QString();
    return charFormat().font().family();
}

void DocumentHandler::setFontFamily(const QString &family)
{
    if (!m_document)
        return;
    QTextCharFormat format;
    format.setFontFamily(family);
    mergeFormatOnWordOrSelection(format);
    emit fontFamilyChanged();
}

Qt::Alignment DocumentHandler::alignment() const
{
    const QTextCursor cursor = textCursor();
    if (cursor.isNull())
        return Qt::AlignLeft;
    const Qt::Alignment alignment = cursor.blockFormat().alignment();
    return alignment ? alignment : Qt::Alignment(Qt::AlignLeft);
}

void DocumentHandler::setAlignment(Qt::Alignment alignment)
{
    if (!m_document)
        return;
    QTextBlockFormat format;
    format.setAlignment(alignment);
    // Not the working cursor: without a selection only the cursor's block.
    QTextCursor cursor(m_document);
    cursor.setPosition(clamped(m_selectionStart));
    cursor.setPosition(clamped(m_selectionEnd), QTextCursor::KeepAnchor);
    cursor.mergeBlockFormat(format);
    emit alignmentChanged();
}

bool DocumentHandler::bold() const
{
    return m_document && charFormat().fontWeight() == QFont::Bold;
}

void DocumentHandler::setBold(bool bold)
{
    QTextCharFormat format;
    // Weight 0 would render as Thin, not as ordinary text.
    format.setFontWeight(bold ? QFont::Bold : QFont::Normal);
    mergeFormatOnWordOrSelection(format);
    emit boldChanged();
}

bool DocumentHandler::italic() const
{
    return charFormat().fontItalic();
}

void DocumentHandler::setItalic(bool italic)
{
    QTextCharFormat format;
    format.setFontItalic(italic);
    mergeFormatOnWordOrSelection(format);
    emit italicChanged();
}

bool DocumentHandler::underline() const
{
    return charFormat().fontUnderline();
}

void DocumentHandler::setUnderline(bool underline)
{
    QTextCharFormat format;
    format.setUnderlineStyle(underline ? QTextCharFormat::SingleUnderline : QTextCharFormat::NoUnderline);
    mergeFormatOnWordOrSelection(format);
    emit underlineChanged();
}

bool DocumentHandler::strikeout() const
{
    return charFormat().fontStrikeOut();
}

void DocumentHandler::setStrikeout(bool strikeout)
{
    QTextCharFormat format;
    format.setFontStrikeOut(strikeout);
    mergeFormatOnWordOrSelection(format);
    emit strikeoutChanged();
}

DocumentHandler::ListFormat DocumentHandler::list() const
{
    const QTextCursor cursor = textCursor();
    if (cursor.isNull() || !cursor.currentList())
        return NoList;
    return ListFormat(cursor.currentList()->format().style());
}

void DocumentHandler::setList(DocumentHandler::ListFormat list)
{
    if (!m_document)
        return;
    QTextCursor cursor = textCursor();
    if (list == NoList) {
        // Every selected paragraph leaves its list, not only the one at the
        // cursor: the toolbar shows "no list" for the whole selection after.
        QTextBlock block = m_document->findBlock(cursor.selectionStart());
        const QTextBlock last = m_document->findBlock(cursor.selectionEnd());
        for (; block.isValid(); block = block.next()) {
            if (QTextList *textList = block.textList())
                textList->remove(block);
            const int indent = block.blockFormat().indent();
            if (indent > 0) {
                QTextBlockFormat format;
                format.setIndent(indent - 1);
                QTextCursor(block).mergeBlockFormat(format);
            }
            if (block == last)
                break;
        }
    } else {
        cursor.createList(QTextListFormat::Style(list));
    }
    emit listChanged();
}

int DocumentHandler::fontSize() const
{
    if (!m_document)
        return 0;
    return charFormat().font().pointSize();
}

void DocumentHandler::setFontSize(int size)
{
    // A size of 0 or less is no font size at all.
    if (!m_document || size <= 0)
        return;
    QTextCharFormat format;
    format.setFontPointSize(size);
    mergeFormatOnWordOrSelection(format);
    emit fontSizeChanged();
}

QStringList DocumentHandler::defaultFontSizes() const
{
    QStringList sizes;
    for (int size : QFontDatabase::standardSizes())
        sizes << QString::number(size);
    return sizes;
}

void DocumentHandler::setText(const QString &text)
{
    if (text == m_text)
        return;
    m_text = text;
    emit textChanged();
}

void DocumentHandler::insertLink(const QString &html)
{
    QTextCursor cursor = textCursor();
    if (cursor.isNull())
        return;
    const QVector<QTextLayout::FormatRange> formats = cursor.block().textFormats();
    QTextCharFormat after = formats.isEmpty() ? QTextCharFormat() : formats.last().format;
    // The space after the link ends it, even when the paragraph ended in a link.
    after.setAnchor(false);
    after.clearProperty(QTextFormat::AnchorHref);
    after.clearProperty(QTextFormat::AnchorName);
    cursor.insertHtml(html);
    cursor.insertText(QStringLiteral(" "), after);
}

void DocumentHandler::clear()
{
    if (!m_document)
        return;
    m_document->clear();
    refreshFormat();
}
