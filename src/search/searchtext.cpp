#include "search/searchtext.h"

#include "base/safehtml.h"

#include <QRegularExpression>
#include <QStringList>

namespace {

bool isCjk(uint c)
{
    return (c >= 0x3040 && c <= 0x30FF)      // Hiragana, Katakana
            || (c >= 0x3400 && c <= 0x4DBF)  // CJK extension A
            || (c >= 0x4E00 && c <= 0x9FFF)  // CJK unified ideographs
            || (c >= 0xAC00 && c <= 0xD7AF)  // Hangul syllables
            || (c >= 0xF900 && c <= 0xFAFF)  // compatibility ideographs
            || (c >= 0xFF66 && c <= 0xFF9D)  // half-width Katakana
            || (c >= 0x20000 && c <= 0x2FA1F);
}

} // namespace

QString SearchText::forIndex(const QString &text)
{
    QString result;
    const QVector<uint> codes = text.toUcs4();
    bool spaced = false;
    for (const uint c : codes) {
        if (isCjk(c)) {
            if (!result.isEmpty())
                result += QLatin1Char(' ');
            spaced = true;
        } else if (spaced) {
            result += QLatin1Char(' ');
            spaced = false;
        }
        if (QChar::requiresSurrogates(c)) {
            result += QChar(QChar::highSurrogate(c));
            result += QChar(QChar::lowSurrogate(c));
        } else {
            result += QChar(c);
        }
    }
    return result;
}

QString SearchText::htmlText(const QString &html)
{
    // Scripts and styles are no words of the letter; the document would
    // keep a style sheet's text.
    static const QRegularExpression hidden(
            QStringLiteral("<(script|style)\\b[^>]*>.*?</\\1\\s*>"),
            QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    QString visible = html;
    visible.remove(hidden);
    GuardedTextDocument document;
    document.setHtml(SafeHtml::stripped(visible));
    return document.toPlainText();
}

QString SearchText::matchExpression(const QString &typed)
{
    static const QRegularExpression wordChar(QStringLiteral("[\\w]"),
                                             QRegularExpression::UseUnicodePropertiesOption);
    QStringList phrases;
    const QStringList words = typed.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    // Only the word being typed (the last, with no space after it yet) goes
    // on: a prefix costs the index a merge of every word it begins, tens of
    // milliseconds for a common one on 100,000 letters, a whole word well
    // under one.
    const bool typing = !typed.isEmpty() && !typed.back().isSpace();
    for (int i = 0; i < words.size(); ++i) {
        const QString &word = words.at(i);
        if (!word.contains(wordChar))
            continue;
        QString phrase = forIndex(word);
        phrase.replace(QLatin1Char('"'), QStringLiteral("\"\""));
        // One letter as a prefix would list most of the index; it is
        // looked up as a whole word until a second one is typed.
        const bool prefix = typing && i == words.size() - 1
                && (word.size() > 1 || isCjk(word.at(0).unicode()));
        phrases << QLatin1Char('"') + phrase + QLatin1Char('"') + (prefix ? QStringLiteral("*") : QString());
    }
    return phrases.join(QLatin1Char(' '));
}
