import QtQuick 2.15

// Escape for the forms and dialogs, and the search key. The keys of the
// buttons sit with the buttons; they work only on the main screen, which
// onMainScreen tells.
Item {
    id: shortcuts

    readonly property bool onMainScreen: topmostForm() === null
    // While a modal form is fully shown the screens under it take no keys,
    // and Tab stays among the form's fields.
    readonly property bool formOpen: lineEditForm.enabled || messageForm.enabled || taking(wizardForm)
                                     || taking(serverForm) || taking(profileForm) || taking(managementForm)
                                     || taking(spinPathBoxForm) || taking(listViewForm) || taking(newMailForm)
                                     || taking(settingsMailForm) || taking(settingsForm)

    // Forms made on first use are null until then.
    function taking(form) { return form !== null && form.enabled }
    function shown(form) { return form !== null && form.opacity > 0 }

    // The open forms and dialogs, topmost first, each with what closing it
    // by its title-bar button does.
    function openForms() {
        return [
            { open: comboBoxList.opened, close: function() { comboBoxList.close() } },
            { open: shown(colorFontPicker), close: function() { colorFontPicker.hide() } },
            { open: lineEditForm.opacity > 0, close: function() { lineEditForm.close() } },
            { open: messageForm.opacity > 0, close: function() { messageForm.reject() } },
            { open: shown(wizardForm), close: function() { wizardForm.cancel() } },
            { open: shown(serverForm), close: function() { serverForm.hide() } },
            { open: shown(profileForm), close: function() { profileForm.hide() } },
            { open: shown(managementForm), close: function() { managementForm.hide() } },
            { open: shown(spinPathBoxForm), close: function() { spinPathBoxForm.accept() } },
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
        sequence: StandardKey.Find
        enabled: shortcuts.onMainScreen
        onActivated: header.focusSearch()
    }
}
