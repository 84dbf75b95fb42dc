import QtQuick 2.15
import ContactsModelBackend 1.0
import ContactsProxyModelBackend 1.0
import "../controls"

// Suggestions for the recipient being typed, from the shared contacts.
Item {
    id: list

    readonly property alias count: view.count
    readonly property alias contactsModel: contactsModel

    signal clicked(string name, string email)

    function filter(text) {
        proxy.setFilterFixedString(text)
        view.currentIndex = -1
        view.positionViewAtBeginning()
    }
    function move(step) {
        view.currentIndex = Math.max(0, Math.min(view.count - 1, view.currentIndex + step))
        view.positionViewAtIndex(view.currentIndex, ListView.Contain)
    }
    // The marked suggestion, or the first; false when there is none.
    function chooseCurrent() {
        if (view.count === 0)
            return false
        if (view.currentIndex < 0)
            move(1)
        var row = view.currentItem
        if (!row)
            return false
        list.clicked(row.contactName, row.contactEmail)
        return true
    }

    ContactsModel { id: contactsModel }
    ContactsProxyModel { id: proxy }

    // The photos must be reachable before the first row asks for one.
    Component.onCompleted: {
        contactsModel.setContactImageProvider(contactsImageProvider)
        proxy.setSourceModel(contactsModel)
        proxy.sort()
    }

    Shadow {
        target: frame
        horizontalOffset: -2
        verticalOffset: 2
    }

    Rectangle {
        id: frame
        anchors.fill: parent
        color: "white"
        border.color: Qt.darker(color, 2)
        radius: 2 * dpiRatio
        clip: true

        ListView {
            id: view
            objectName: "contactsListView"
            anchors.fill: parent
            anchors.margins: 1
            model: proxy
            boundsBehavior: Flickable.StopAtBounds
            currentIndex: -1
            Accessible.role: Accessible.List
            Accessible.name: qsTr("Suggestions")
            delegate: Rectangle {
                objectName: "contactRow" + index
                readonly property string contactName: name
                readonly property string contactEmail: email
                readonly property bool marked: rowArea.pressed || ListView.isCurrentItem
                width: view.width
                height: itemHeight
                color: marked ? styles.highlightColor : "#eeeeee"
                Accessible.role: Accessible.ListItem
                Accessible.name: name + " <" + email + ">"
                Accessible.selected: ListView.isCurrentItem

                Image {
                    id: photo
                    objectName: "contactPhoto"
                    x: parent.height * 0.1
                    anchors.verticalCenter: parent.verticalCenter
                    height: parent.height * 0.8
                    width: height
                    sourceSize.width: width
                    sourceSize.height: height
                    fillMode: Image.PreserveAspectFit
                    // The phone application may change a photo at any time.
                    cache: false
                    source: "image://ContactImageProvider/" + idString
                }
                Text {
                    anchors.left: photo.right
                    anchors.leftMargin: parent.height * 0.1
                    anchors.right: parent.right
                    anchors.rightMargin: parent.height * 0.1
                    anchors.top: parent.top
                    anchors.bottom: parent.bottom
                    anchors.margins: parent.height * 0.15
                    verticalAlignment: Text.AlignVCenter
                    textFormat: Text.PlainText
                    text: name + " <" + email + ">"
                    font.pointSize: 14
                    fontSizeMode: Text.VerticalFit
                    elide: Text.ElideRight
                    color: parent.marked ? "white" : "#444444"
                }
                MouseArea {
                    id: rowArea
                    anchors.fill: parent
                    onClicked: list.clicked(name, email)
                }
            }
        }
        ScrollBar { flickable: view }
    }
}
