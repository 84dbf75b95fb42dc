#pragma once

#include <QString>

class QTextBlock;
class QTextDocument;

// Any thread (it uses no fonts or layout).
// The two forms of a composed letter's body that a message carries: HTML
// written afresh from the rich-text document, so that nothing of the editor's
// own markup or of a quoted letter's head goes out, and the plain text that
// text-only readers show. Quoted paragraphs become <blockquote> in the one
// and lines beginning with "> " in the other.
class MessageBody
{
public:
    explicit MessageBody(const QString &html);

    QString html() const { return m_html; }
    // Lines end in CRLF, as in a message.
    QString plainText() const { return m_plainText; }

private:
    // How deep a paragraph is quoted. Qt's own HTML keeps a quote only as
    // equal left and right margins of 40 px per level.
    static int quoteLevel(const QTextBlock &block);
    static QString htmlOf(const QTextDocument &document);
    static QString plainTextOf(const QTextDocument &document);

    QString m_html;
    QString m_plainText;
};
