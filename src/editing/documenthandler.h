#pragma once

#include <QColor>
#include <QObject>
#include <QPointer>
#include <QQuickItem>
#include <QStringList>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextListFormat>

class QTextDocument;

// The formatting commands of the compose form's rich-text area. Works on
// the text document of a QML TextEdit and reports the format at the cursor
// so that the toolbar can show it. Main thread.
class DocumentHandler : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QQuickItem *target READ target WRITE setTarget NOTIFY targetChanged)
    Q_PROPERTY(int cursorPosition READ cursorPosition WRITE setCursorPosition NOTIFY cursorPositionChanged)
    Q_PROPERTY(int selectionStart READ selectionStart WRITE setSelectionStart NOTIFY selectionStartChanged)
    Q_PROPERTY(int selectionEnd READ selectionEnd WRITE setSelectionEnd NOTIFY selectionEndChanged)
    Q_PROPERTY(QColor textColor READ textColor WRITE setTextColor NOTIFY textColorChanged)
    Q_PROPERTY(QString fontFamily READ fontFamily WRITE setFontFamily NOTIFY fontFamilyChanged)
    Q_PROPERTY(Qt::Alignment alignment READ alignment WRITE setAlignment NOTIFY alignmentChanged)
    Q_PROPERTY(bool bold READ bold WRITE setBold NOTIFY boldChanged)
    Q_PROPERTY(bool italic READ italic WRITE setItalic NOTIFY italicChanged)
    Q_PROPERTY(bool underline READ underline WRITE setUnderline NOTIFY underlineChanged)
    Q_PROPERTY(bool strikeout READ strikeout WRITE setStrikeout NOTIFY strikeoutChanged)
    Q_PROPERTY(ListFormat list READ list WRITE setList NOTIFY listChanged)
    Q_PROPERTY(int fontSize READ fontSize WRITE setFontSize NOTIFY fontSizeChanged)
    Q_PROPERTY(QStringList defaultFontSizes READ defaultFontSizes NOTIFY defaultFontSizesChanged)
    Q_PROPERTY(QString text READ text WRITE setText NOTIFY textChanged)

public:
    // The rich-text engine's own list styles, so that they go straight to
    // list creation. The square bullet shares -3 with "no list": a pasted
    // square-bullet list shows neither list button checked.
    enum ListFormat {
        MarkedList = QTextListFormat::ListDisc,      // -1
        NumericList = QTextListFormat::ListDecimal,  // -4
        NoList = QTextListFormat::ListSquare         // -3
    };
    Q_ENUM(ListFormat)

    explicit DocumentHandler(QObject *parent = nullptr);

    QQuickItem *target() const { return m_target; }
    void setTarget(QQuickItem *target);

    int cursorPosition() const { return m_cursorPosition; }
    void setCursorPosition(int position);
    int selectionStart() const { return m_selectionStart; }
    void setSelectionStart(int position);
    int selectionEnd() const { return m_selectionEnd; }
    void setSelectionEnd(int position);

    QColor textColor() const;
    QString fontFamily() const;
    Qt::Alignment alignment() const;
    void setAlignment(Qt::Alignment alignment);
    bool bold() const;
    bool italic() const;
    bool underline() const;
    bool strikeout() const;
    ListFormat list() const;
    int fontSize() const;
    QStringList defaultFontSizes() const;
    QString text() const { return m_text; }

signals:
    void targetChanged();
    void cursorPositionChanged();
    void selectionStartChanged();
    void selectionEndChanged();
    void textColorChanged();
    void fontFamilyChanged();
    void alignmentChanged();
    void boldChanged();
    void italicChanged();
    void underlineChanged();
    void strikeoutChanged();
    void listChanged();
    void fontSizeChanged();
    void defaultFontSizesChanged();
    void textChanged();

public slots:
    void setBold(bool bold);
    void setItalic(bool italic);
    void setUnderline(bool underline);
    void setStrikeout(bool strikeout);
    void setList(DocumentHandler::ListFormat list);
    void setFontSize(int size);
    void setTextColor(const QColor &color);
    void setFontFamily(const QString &family);
    void setText(const QString &text);
    void insertLink(const QString &html);
    void clear();

private:
    QTextCursor textCursor() const;
    QTextCharFormat charFormat() const;
    int clamped(int position) const;
    void mergeFormatOnWordOrSelection(const QTextCharFormat &format);
    void refreshFormat();

    QPointer<QQuickItem> m_target;      // the QML item's, not ours
    QPointer<QTextDocument> m_document; // belongs to the target
    int m_cursorPosition = -1;
    int m_selectionStart = 0;
    int m_selectionEnd = 0;
    QString m_text;
};
