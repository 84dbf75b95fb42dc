import QtQuick 2.15
import QtQuick.Window 2.2

// Escape for the forms and dialogs, the search, folder, drawer, unread and
// quit keys. The keys of the buttons sit with the buttons; they work only on
// the main screen, which onMainScreen tells.
Item {
    id: shortcuts

    // The parts of the main screen.
    property Item mailList: null
    property Item header: null
    property Item mail: null
    property Item folderList: null
    // The account and the folder (Letter.FolderType) shown.
    property QtObject profile: null
    property int folder: 0
    // The forms and dialogs; those made on first use are null until then.
    property Item comboBoxList: null
    property Item lineEditForm: null
    property Item messageForm: null
    property Item colorFontPicker: null
    property Item wizardForm: null
    property Item serverForm: null
    property Item profileForm: null
    property Item managementForm: null
    property Item spinPathBoxForm: null
    property Item listViewForm: null
    property Item newMailForm: null
    property Item settingsMailForm: null
    property Item settingsForm: null

    signal drawerAsked(bool open)
    signal folderChosen(int folder)

    readonly property bool onMainScreen: topmostForm() === null
    // While a modal form is fully shown the screens under it take no keys,
    // and Tab stays among the form's fields.
    readonly property bool formOpen: taking(lineEditForm) || taking(messageForm) || taking(wizardForm)
                                     || taking(serverForm) || taking(profileForm) || taking(managementForm)
                                     || taking(spinPathBoxForm) || taking(listViewForm) || taking(newMailForm)
                                     || taking(settingsMailForm) || taking(settingsForm)

    // Where the keys went on the main screen last, so that they go there
    // again when a form closes.
    property Item mainFocus: null
    readonly property Item focusItem: Window.activeFocusItem
    onFocusItemChanged: {
        if (focusItem && onMain(focusItem))
            mainFocus = focusItem
    }
    onOnMainScreenChanged: {
        if (onMainScreen)
            restoreFocus.start()
    }
    // Once the form has let go of the keys.
    Timer {
        id: restoreFocus
        interval: 0
        onTriggered: {
            if (!shortcuts.onMainScreen || (shortcuts.focusItem && shortcuts.onMain(shortcuts.focusItem)))
                return
            if (shortcuts.mainFocus && shortcuts.mainFocus.visible && shortcuts.mainFocus.enabled)
                shortcuts.mainFocus.forceActiveFocus()
            else
                mailList.takeFocus()
        }
    }
    function onMain(item) {
        for (var at = item; at; at = at.parent) {
            if (at === mailList || at === header || at === mail || at === folderList)
                return true
        }
        return false
    }

    // Forms made on first use are null until then.
    function taking(form) { return form !== null && form.enabled }
    function shown(form) { return form !== null && form.opacity > 0 }

    // The open forms and dialogs, topmost first, each with what closing it
    // by its title-bar button does.
    function openForms() {
        return [
            { open: comboBoxList !== null && comboBoxList.visible, close: function() { comboBoxList.close() } },
            { open: shown(colorFontPicker), close: function() { colorFontPicker.hide() } },
            { open: shown(lineEditForm), close: function() { lineEditForm.close() } },
            { open: shown(messageForm), close: function() { messageForm.reject() } },
            { open: shown(wizardForm), close: function() { wizardForm.cancel() } },
            { open: shown(serverForm), close: function() { serverForm.hide() } },
            { open: shown(profileForm), close: function() { profileForm.hide() } },
            { open: shown(managementForm), close: function() { managementForm.hide() } },
            { open: shown(spinPathBoxForm), close: function() { spinPathBoxForm.cancel() } },
            { open: shown(listViewForm), close: function() { listViewForm.hide() } },
            { open: shown(newMailForm), close: function() { newMailForm.closeByKey() } },
            { open: shown(settingsMailForm), close: function() { settingsMailForm.hide() } },
            { open: shown(settingsForm), close: function() { settingsForm.hide() } }
        ]
    }
    function topmostForm() {
        var forms = openForms()
        for (var i = 0; i < forms.length; ++i) {
            if (forms[i].open)
                return forms[i]
        }
        return null
    }

    Shortcut {
        sequence: "Escape"
        enabled: !shortcuts.onMainScreen
        onActivated: {
            var form = shortcuts.topmostForm()
            if (form)
                form.close()
        }
    }
    Shortcut {
        id: findKey
        sequence: StandardKey.Find
        enabled: shortcuts.onMainScreen
        onActivated: header.focusSearch()
    }
    // On the main screen Escape gives the list back its room, its keys, or
    // closes the drawer.
    Shortcut {
        sequence: "Escape"
        enabled: shortcuts.onMainScreen
        onActivated: {
            if (folderList.state === "show")
                shortcuts.drawerAsked(false)
            else if (mail.fullWidth)
                mail.fullWidth = false
            else
                mailList.takeFocus()
        }
    }
    Shortcut {
        id: drawerKey
        sequence: "F9"
        enabled: shortcuts.onMainScreen && header.drawerEnabled
        onActivated: shortcuts.drawerAsked(folderList.state !== "show")
    }
    // Ctrl+1 to Ctrl+5: Incoming, Drafts, Sent, Archive, Trash.
    Repeater {
        model: 5
        Item {
            Shortcut {
                sequence: "Ctrl+" + (index + 1)
                enabled: shortcuts.onMainScreen && shortcuts.profile !== null
                onActivated: {
                    shortcuts.drawerAsked(false)
                    shortcuts.folderChosen(index)
                    mailList.takeFocus()
                }
            }
        }
    }
    Shortcut {
        sequence: "Ctrl+U"
        enabled: shortcuts.onMainScreen && mailList.currentLetter !== null
                 && shortcuts.folder === 0 && shortcuts.profile !== null
        onActivated: shortcuts.profile.cache.setLetterSeen(mailList.currentLetter, false)
    }
    // Not over the compose form, whose letter would be lost.
    Shortcut {
        id: quitKey
        sequence: StandardKey.Quit
        enabled: !shortcuts.shown(newMailForm)
        onActivated: Qt.quit()
    }
    readonly property string quitKeyText: quitKey.nativeText
    readonly property string drawerKeyText: drawerKey.nativeText
    readonly property string findKeyText: findKey.nativeText
}
