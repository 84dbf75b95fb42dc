#include "base/safehtml.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocumentFragment>
#include <QTextFrame>
#include <QTextTable>
#include <QUrl>
#include <QVector>

namespace {

bool namesForeignBackground(const QTextFormat &format)
{
    return format.hasProperty(QTextFormat::BackgroundImageUrl)
            && !SafeHtml::isAllowed(QUrl(format.stringProperty(QTextFormat::BackgroundImageUrl)));
}

template <typename Format>
Format withoutBackground(Format format)
{
    format.clearProperty(QTextFormat::BackgroundImageUrl);
    // A colour stays; only a picture goes.
    if (format.background().style() == Qt::TexturePattern)
        format.clearBackground();
    return format;
}

// Frames, tables and their cells carry background pictures of their own.
bool clearFrames(QTextDocument &document)
{
    bool found = false;
    QList<QTextFrame *> frames{document.rootFrame()};
    for (int i = 0; i < frames.size(); ++i) {
        QTextFrame *frame = frames.at(i);
        frames += frame->childFrames();
        if (namesForeignBackground(frame->frameFormat())) {
            frame->setFrameFormat(withoutBackground(frame->frameFormat()));
            found = true;
        }
        auto *table = qobject_cast<QTextTable *>(frame);
        for (int row = 0; table && row < table->rows(); ++row) {
            for (int column = 0; column < table->columns(); ++column) {
                QTextTableCell cell = table->cellAt(row, column);
                if (namesForeignBackground(cell.format())) {
                    cell.setFormat(withoutBackground(cell.format()));
                    found = true;
                }
            }
        }
    }
    return found;
}

// Pictures that name anything not allowed go; backgrounds of paragraphs and
// spans lose their picture. Returns whether there was any.
bool clearForeign(QTextDocument &document)
{
    struct Change
    {
        int start;
        int length;
        QTextCharFormat format;
        bool remove;
    };
    QVector<Change> changes;
    bool found = clearFrames(document);
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        QTextCursor cursor(block);
        if (namesForeignBackground(block.blockFormat())) {
            cursor.setBlockFormat(withoutBackground(block.blockFormat()));
            found = true;
        }
        if (namesForeignBackground(block.charFormat())) {
            cursor.setBlockCharFormat(withoutBackground(block.charFormat()));
            found = true;
        }
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QTextCharFormat format = fragment.charFormat();
            const bool foreignPicture = format.isImageFormat()
                    && !SafeHtml::isAllowed(QUrl(format.toImageFormat().name()));
            if (foreignPicture || namesForeignBackground(format))
                changes.append({fragment.position(), fragment.length(), withoutBackground(format), foreignPicture});
        }
    }
    // From the end, so that a removal moves no position still to come.
    for (auto it = changes.crbegin(); it != changes.crend(); ++it) {
        QTextCursor cursor(&document);
        cursor.setPosition(it->start);
        cursor.setPosition(it->start + it->length, QTextCursor::KeepAnchor);
        if (it->remove)
            cursor.removeSelectedText();
        else
            cursor.setCharFormat(it->format);
    }
    return found || !changes.isEmpty();
}

} // namespace

bool SafeHtml::isAllowed(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    // The effects provider reads the file that its picture names.
    if (scheme == QLatin1String("image"))
        return url.host() != QLatin1String("effects");
    return scheme == QLatin1String("qrc") || scheme == QLatin1String("data") || scheme == QLatin1String("cid");
}

QString SafeHtml::stripped(const QString &html)
{
    // Style sheets and backgrounds are asked for while the HTML is read,
    // pictures only when it is laid out: the first show as refusals, the
    // others in the formats.
    GuardedTextDocument document;
    document.setHtml(html);
    if (!clearForeign(document) && !document.refused())
        return html;
    // As a fragment: a whole document would also fix the body's font to
    // this document's default, not the one of the view that shows it.
    QString cleaned = QTextDocumentFragment(&document).toHtml();
    // The marks would make a reply that quotes this keep only the quote.
    cleaned.remove(QStringLiteral("<!--StartFragment-->"));
    cleaned.remove(QStringLiteral("<!--EndFragment-->"));

    GuardedTextDocument check;
    check.setHtml(cleaned);
    if (!clearForeign(check) && !check.refused())
        return cleaned;
    // Something the engine would still load: the text alone is left.
    return document.toPlainText().toHtmlEscaped().replace(QLatin1Char('\n'), QStringLiteral("<br>"));
}

QVariant GuardedTextDocument::loadResource(int type, const QUrl &name)
{
    // The document reads these two itself; the window's providers serve the
    // other allowed kinds, which a bare document cannot reach.
    const QString scheme = name.scheme().toLower();
    if (scheme == QLatin1String("data") || scheme == QLatin1String("qrc"))
        return QTextDocument::loadResource(type, name);
    if (!SafeHtml::isAllowed(name))
        m_refused = true;
    return QVariant();
}
