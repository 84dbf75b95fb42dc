import QtQuick 2.3
import "../controls"

// An icon button of the compose toolbar.
MenuButton {
    textLeftMargin: 5 * dpiRatio
    imageColorOverlay: false
    imageShadow: false
}
