#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>
#include <QVector>

#include <array>

// The words of a search as letters' texts are compared with them:
// case-folded and without accents, each ready to be looked for in many
// thousand texts in a row.
class SearchWords
{
public:
    SearchWords() = default;
    explicit SearchWords(const QString &text);

    bool isEmpty() const { return m_words.isEmpty(); }
    int size() const { return m_words.size(); }
    const QStringList &words() const { return m_words; }
    bool operator==(const SearchWords &other) const { return m_words == other.m_words; }
    bool operator!=(const SearchWords &other) const { return !(*this == other); }

    // Whether the word is in a folded text, or in a plain ASCII text in
    // any case.
    bool isIn(int word, QStringView folded) const;
    bool isInPlain(int word, QStringView ascii) const;

private:
    // How far to move on when a plain text's character does not end the word:
    // by the character's low byte, the least of those sharing it.
    using Skips = std::array<quint16, 256>;
    QStringList m_words;
    QVector<Skips> m_skips;
};
