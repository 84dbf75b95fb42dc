import QtQuick 2.3
import QtGraphicalEffects 1.0

// The sheen over raised faces: dark bands at a quarter and three quarters of a turn.
ConicalGradient {
    id: sheen
    property color color: "#eeeeee"
    angle: 45
    gradient: Gradient {
        GradientStop { position: 0.0; color: "transparent" }
        GradientStop { position: 0.25; color: sheen.color }
        GradientStop { position: 0.5; color: "transparent" }
        GradientStop { position: 0.75; color: sheen.color }
        GradientStop { position: 1.0; color: "transparent" }
    }
}
