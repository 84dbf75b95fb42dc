import QtQuick 2.3

// A paragraph of the wizard's pages.
Text {
    width: parent ? parent.width : 0
    font.pointSize: 14
    wrapMode: Text.WordWrap
    textFormat: Text.PlainText
    color: styles.foreground.textColor
}
