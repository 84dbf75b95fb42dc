#pragma once

#include <QString>

// Any thread.
// How text meets the word index: the index splits words and folds case and
// accents itself, but knows no word breaks in Chinese, Japanese or Korean,
// where a sentence is one run of characters. Each such character is made a
// word of its own, in what is stored and in what is typed alike, so a run
// typed is found as the same characters side by side.
namespace SearchText {

// The text as it is given to the index.
QString forIndex(const QString &text);
// The words of an HTML body as the reader sees them (entities decoded,
// markup, scripts and styles left out); nothing it names is loaded.
QString htmlText(const QString &html);
// What the user typed as a query for the index: every word must be there,
// the word still being typed (the last) may go on (prefix), punctuation
// inside a word (an address, a hyphen) asks for the parts side by side.
// Empty when nothing in it can be looked up.
QString matchExpression(const QString &typed);

} // namespace SearchText
