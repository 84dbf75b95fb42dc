import QtQuick 2.15
import LetterBackend 1.0

// The window's keyboard shortcuts. The letter commands work only on the
// main screen, never through an open form.
Item {
    id: shortcuts

    readonly property var profile: mailProfileManager.currentProfile >= 0
                                   ? mailProfileManager.profiles[mailProfileManager.currentProfile] : null
    readonly property var letter: mailList.currentLetter
    readonly property bool onMainScreen: topmostForm() === null
    readonly property bool canAnswer: letter !== undefined && letter !== null
                                      && root.currentFolder !== Letter.DraftsFolder
                                      && root.currentFolder !== Letter.TrashFolder

    // The open forms and dialogs, topmost first, each with what closing it
    // by its title-bar button does.
    function openForms() {
        return [
            { open: comboBoxList.opened, close: function() { comboBoxList.close() } },
            { open: colorFontPicker.opacity > 0, close: function() { colorFontPicker.hide() } },
            { open: lineEditForm.opacity > 0, close: function() { lineEditForm.close() } },
            { open: messageForm.opacity > 0, close: function() { messageForm.reject() } },
            { open: wizardForm.opacity > 0, close: function() { wizardForm.cancel() } },
            { open: serverForm.opacity > 0, close: function() { serverForm.hide() } },
            { open: profileForm.opacity > 0, close: function() { profileForm.hide() } },
            { open: managementForm.opacity > 0, close: function() { managementForm.hide() } },
            { open: spinPathBoxForm.opacity > 0, close: function() { spinPathBoxForm.accept() } },
            { open: listViewForm.opacity > 0, close: function() { listViewForm.hide() } },
            { open: newMailForm.opacity > 0, close: function() { newMailForm.closeByKey() } },
            { open: settingsMailForm.opacity > 0, close: function() { settingsMailForm.hide() } },
            { open: settingsForm.opacity > 0, close: function() { settingsForm.hide() } }
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
        objectName: "newLetterShortcut"
        sequence: "Ctrl+N"
        enabled: shortcuts.onMainScreen && shortcuts.profile !== null
        onActivated: newMailForm.showNew()
    }
    Shortcut {
        sequence: "Ctrl+R"
        enabled: shortcuts.onMainScreen && shortcuts.canAnswer
        onActivated: newMailForm.showReply()
    }
    Shortcut {
        sequence: "Ctrl+Shift+R"
        enabled: shortcuts.onMainScreen && shortcuts.canAnswer
        onActivated: {
            newMailForm.showReply()
            newMailForm.replyToAll()
        }
    }
    Shortcut {
        sequence: "Ctrl+L"
        enabled: shortcuts.onMainScreen && shortcuts.canAnswer
        onActivated: newMailForm.showForward()
    }
    Shortcut {
        sequence: "Del"
        enabled: shortcuts.onMainScreen && shortcuts.letter !== undefined && shortcuts.letter !== null
                 && shortcuts.profile !== null && mailList.currentIndex >= 0
        onActivated: shortcuts.profile.cache.deleteMessage(shortcuts.letter.id,
                                                           mailList.model.getSourceModelIndex(mailList.currentIndex),
                                                           root.currentFolder, shortcuts.letter)
    }
    Shortcut {
        sequence: StandardKey.Find
        enabled: shortcuts.onMainScreen
        onActivated: header.focusSearch()
    }
    Shortcut {
        sequence: "F5"
        enabled: shortcuts.onMainScreen && shortcuts.profile !== null
        onActivated: shortcuts.profile.queryIncomingMail()
    }
}
