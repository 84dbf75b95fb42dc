#pragma once

#include <QString>
#include <QTextDocument>

class QUrl;

// Qt's rich-text engine reads file: URLs straight from disk (pictures,
// backgrounds, style sheets), past the QML engine's network guard. A letter's
// HTML may load only what the program itself holds: the resource tree, data:
// and cid: content and the program's picture providers.
namespace SafeHtml {

bool isAllowed(const QUrl &url);

// The HTML with every picture, background and style sheet that names
// anything else taken out; unchanged when it names nothing else. Safe on any
// thread.
QString stripped(const QString &html);

} // namespace SafeHtml

// A text document that loads only what SafeHtml allows, for rendering a
// letter outside the window (printing).
class GuardedTextDocument : public QTextDocument
{
public:
    using QTextDocument::QTextDocument;

    // Whether the document asked for anything that was refused.
    bool refused() const { return m_refused; }

protected:
    QVariant loadResource(int type, const QUrl &name) override;

private:
    bool m_refused = false;
};
