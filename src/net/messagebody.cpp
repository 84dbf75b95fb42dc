#include "net/messagebody.h"

#include <QRegularExpression>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextList>

namespace {
const qreal quoteMargin = 40;

QString escaped(const QString &text)
{
    QString html = text.toHtmlEscaped();
    html.replace(QChar::LineSeparator, QStringLiteral("<br>"));
    html.replace(QChar::Nbsp, QStringLiteral("&nbsp;"));
    return html;
}

QString spanStyle(const QTextCharFormat &format)
{
    QStringList style;
    if (format.hasProperty(QTextFormat::FontWeight) && format.fontWeight() > QFont::Normal)
        style << QStringLiteral("font-weight:bold");
    if (format.fontItalic())
        style << QStringLiteral("font-style:italic");
    QStringList decoration;
    if (format.fontUnderline() && !format.isAnchor())
        decoration << QStringLiteral("underline");
    if (format.fontStrikeOut())
        decoration << QStringLiteral("line-through");
    if (!decoration.isEmpty())
        style << QStringLiteral("text-decoration:") + decoration.join(QLatin1Char(' '));
    if (format.hasProperty(QTextFormat::FontFamily) && !format.fontFamily().isEmpty())
        style << QStringLiteral("font-family:'") + format.fontFamily().toHtmlEscaped() + QLatin1Char('\'');
    if (format.hasProperty(QTextFormat::FontPointSize))
        style << QStringLiteral("font-size:") + QString::number(format.fontPointSize()) + QStringLiteral("pt");
    if (format.foreground().style() != Qt::NoBrush && !format.isAnchor())
        style << QStringLiteral("color:") + format.foreground().color().name();
    return style.join(QLatin1Char(';'));
}

QString alignmentStyle(Qt::Alignment alignment)
{
    if (alignment & Qt::AlignHCenter)
        return QStringLiteral(" style=\"text-align:center\"");
    if (alignment & Qt::AlignRight)
        return QStringLiteral(" style=\"text-align:right\"");
    if (alignment & Qt::AlignJustify)
        return QStringLiteral(" style=\"text-align:justify\"");
    return QString();
}

bool numbered(const QTextList *list)
{
    const auto style = list->format().style();
    return style == QTextListFormat::ListDecimal || style == QTextListFormat::ListLowerAlpha
            || style == QTextListFormat::ListUpperAlpha || style == QTextListFormat::ListLowerRoman
            || style == QTextListFormat::ListUpperRoman;
}
} // namespace

MessageBody::MessageBody(const QString &html)
{
    // The body's style is the editor's own font, which every fragment would
    // otherwise repeat.
    static const QRegularExpression body(QStringLiteral("<body\\b[^>]*>"),
                                         QRegularExpression::CaseInsensitiveOption);
    QString content = html;
    content.replace(body, QStringLiteral("<body>"));
    QTextDocument document;
    document.setHtml(content);
    m_html = htmlOf(document);
    m_plainText = plainTextOf(document);
}

int MessageBody::quoteLevel(const QTextBlock &block)
{
    const QTextBlockFormat format = block.blockFormat();
    const int level = format.intProperty(QTextFormat::BlockQuoteLevel);
    const qreal margin = format.leftMargin();
    if (margin >= quoteMargin && qFuzzyCompare(margin, format.rightMargin()))
        return qMax(level, int(margin / quoteMargin));
    return level;
}

QString MessageBody::htmlOf(const QTextDocument &document)
{
    QString html = QStringLiteral("<html><body>\n");
    int level = 0;
    const QTextList *list = nullptr;
    auto closeList = [&] {
        if (list)
            html += numbered(list) ? QStringLiteral("</ol>\n") : QStringLiteral("</ul>\n");
        list = nullptr;
    };
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        const int blockLevel = quoteLevel(block);
        if (blockLevel != level || block.textList() != list)
            closeList();
        for (; level < blockLevel; ++level)
            html += QStringLiteral("<blockquote>\n");
        for (; level > blockLevel; --level)
            html += QStringLiteral("</blockquote>\n");
        if (block.textList() && block.textList() != list) {
            list = block.textList();
            html += numbered(list) ? QStringLiteral("<ol>\n") : QStringLiteral("<ul>\n");
        }
        const QString tag = list ? QStringLiteral("li") : QStringLiteral("p");
        html += QLatin1Char('<') + tag + alignmentStyle(block.blockFormat().alignment()) + QLatin1Char('>');
        bool empty = true;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QTextCharFormat format = fragment.charFormat();
            QString text;
            if (format.isImageFormat()) {
                text = QStringLiteral("<img src=\"") + format.toImageFormat().name().toHtmlEscaped()
                        + QStringLiteral("\">");
            } else {
                text = escaped(fragment.text());
                const QString style = spanStyle(format);
                if (!style.isEmpty())
                    text = QStringLiteral("<span style=\"") + style + QStringLiteral("\">") + text
                            + QStringLiteral("</span>");
            }
            if (format.isAnchor() && !format.anchorHref().isEmpty())
                text = QStringLiteral("<a href=\"") + format.anchorHref().toHtmlEscaped()
                        + QStringLiteral("\">") + text + QStringLiteral("</a>");
            html += text;
            empty = empty && fragment.text().isEmpty();
        }
        if (empty)
            html += QStringLiteral("<br>");
        html += QStringLiteral("</") + tag + QStringLiteral(">\n");
    }
    closeList();
    for (; level > 0; --level)
        html += QStringLiteral("</blockquote>\n");
    return html + QStringLiteral("</body></html>\n");
}

QString MessageBody::plainTextOf(const QTextDocument &document)
{
    QStringList lines;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        const QString quote = QStringLiteral("> ").repeated(quoteLevel(block));
        QString line;
        if (const QTextList *list = block.textList())
            line = numbered(list) ? list->itemText(block) + QLatin1Char(' ') : QStringLiteral("* ");
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QTextCharFormat format = fragment.charFormat();
            if (format.isImageFormat())
                continue;
            QString text = fragment.text();
            text.replace(QChar::Nbsp, QLatin1Char(' '));
            const QString href = format.isAnchor() ? format.anchorHref() : QString();
            // A link shows its address unless its text is that address.
            if (!href.isEmpty() && text.trimmed() != href
                    && QStringLiteral("mailto:") + text.trimmed() != href)
                text += QStringLiteral(" <") + href + QLatin1Char('>');
            line += text;
        }
        for (const QString &part : line.split(QChar::LineSeparator))
            lines << (part.trimmed().isEmpty() ? quote.trimmed() : quote + part);
    }
    while (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}
