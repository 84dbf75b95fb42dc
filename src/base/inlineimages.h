#pragma once

#include <QByteArray>
#include <QString>

// Any thread.
// The pictures that letters show inline ("cid:" parts), each kept once
// however often a letter refers to it: a body refers to one by an
// "image://inline/<key>" URL, which the window's image provider, printing and
// sending resolve here. A letter that used one picture 400 times as 400 data
// URLs took gigabytes to show.
class InlineImages
{
public:
    // Keeps the picture (once for equal bytes) and gives the URL to show it by.
    static QString urlFor(const QByteArray &bytes);
    // The picture behind a key ("<key>", as an image provider is asked) or a
    // whole URL; empty when unknown.
    static QByteArray bytes(const QString &keyOrUrl);
    // The URLs in a text that name pictures kept here, each once.
    static QStringList urlsIn(const QString &text);
    static QString providerName() { return QStringLiteral("inline"); }
};
