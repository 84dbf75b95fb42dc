<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de">
<context>
    <name>Attachment</name>
    <message>
        <source>B</source>
        <translation>B</translation>
    </message>
    <message>
        <source>Mb</source>
        <translation>MB</translation>
    </message>
    <message>
        <source>Kb</source>
        <translation>KB</translation>
    </message>
    <message>
        <source>Choose path to save attachment</source>
        <translation>Speicherort für den Anhang wählen</translation>
    </message>
    <message>
        <source>attachment</source>
        <translation>Anhang</translation>
    </message>
</context>
<context>
    <name>Cache</name>
    <message>
        <source>Cannot store the message %1</source>
        <translation>Die Nachricht %1 kann nicht gespeichert werden</translation>
    </message>
</context>
<context>
    <name>CertificateVerifier</name>
    <message>
        <source>The certificate of %1 cannot be trusted:</source>
        <translation>Dem Zertifikat von %1 kann nicht vertraut werden:</translation>
    </message>
    <message>
        <source>The certificate of %1 has CHANGED since you accepted it. Someone may be posing as the server:</source>
        <translation>Das Zertifikat von %1 hat sich GEÄNDERT, seit Sie es angenommen haben. Vielleicht gibt sich jemand als der Server aus:</translation>
    </message>
    <message>
        <source>it is self-signed</source>
        <translation>es ist selbst signiert</translation>
    </message>
    <message>
        <source>its issuer is not a known authority</source>
        <translation>sein Aussteller ist keine bekannte Zertifizierungsstelle</translation>
    </message>
    <message>
        <source>it has expired</source>
        <translation>es ist abgelaufen</translation>
    </message>
    <message>
        <source>it is not valid yet</source>
        <translation>es ist noch nicht gültig</translation>
    </message>
    <message>
        <source>it was issued for another host name</source>
        <translation>es wurde für einen anderen Rechnernamen ausgestellt</translation>
    </message>
    <message>
        <source>SHA-256 fingerprint: %1</source>
        <translation>SHA-256-Fingerabdruck: %1</translation>
    </message>
    <message>
        <source>Do you want to accept this certificate?</source>
        <translation>Möchten Sie dieses Zertifikat annehmen?</translation>
    </message>
</context>
<context>
    <name>ComposeToolbar</name>
    <message>
        <source>Left</source>
        <translation>Links</translation>
    </message>
    <message>
        <source>Center</source>
        <translation>Zentriert</translation>
    </message>
    <message>
        <source>Right</source>
        <translation>Rechts</translation>
    </message>
    <message>
        <source>Justify</source>
        <translation>Blocksatz</translation>
    </message>
    <message>
        <source>Copy</source>
        <translation>Kopieren</translation>
    </message>
    <message>
        <source>Cut</source>
        <translation>Ausschneiden</translation>
    </message>
    <message>
        <source>Paste</source>
        <translation>Einfügen</translation>
    </message>
    <message>
        <source>Bold</source>
        <translation>Fett</translation>
    </message>
    <message>
        <source>Italic</source>
        <translation>Kursiv</translation>
    </message>
    <message>
        <source>Underline</source>
        <translation>Unterstrichen</translation>
    </message>
    <message>
        <source>Strikeout</source>
        <translation>Durchgestrichen</translation>
    </message>
    <message>
        <source>Font</source>
        <translation>Schriftart</translation>
    </message>
    <message>
        <source>Font size</source>
        <translation>Schriftgröße</translation>
    </message>
    <message>
        <source>Text colour</source>
        <translation>Textfarbe</translation>
    </message>
    <message>
        <source>Alignment</source>
        <translation>Ausrichtung</translation>
    </message>
    <message>
        <source>Bulleted list</source>
        <translation>Aufzählung</translation>
    </message>
    <message>
        <source>Numbered list</source>
        <translation>Nummerierte Liste</translation>
    </message>
    <message>
        <source>Link</source>
        <translation>Link</translation>
    </message>
</context>
<context>
    <name>Connection</name>
    <message>
        <source>Get mail error: </source>
        <translation>Fehler beim Abholen der Post: </translation>
    </message>
    <message>
        <source>Delete mail from server error: </source>
        <translation>Fehler beim Löschen der Post auf dem Server: </translation>
    </message>
    <message>
        <source>no outgoing server is set for this account.</source>
        <translation>für dieses Konto ist kein Postausgangsserver eingestellt.</translation>
    </message>
    <message>
        <source>Send mail error: </source>
        <translation>Fehler beim Senden: </translation>
    </message>
    <message>
        <source>the letter could not be turned into a message.</source>
        <translation>aus dem Brief ließ sich keine Nachricht erstellen.</translation>
    </message>
    <message>
        <source>could not connect to the outgoing server.</source>
        <translation>keine Verbindung zum Postausgangsserver.</translation>
    </message>
    <message>
        <source>the server&apos;s certificate was not accepted.</source>
        <translation>das Zertifikat des Servers wurde nicht angenommen.</translation>
    </message>
    <message>
        <source>Cannot store the message %1</source>
        <translation>Die Nachricht %1 kann nicht gespeichert werden</translation>
    </message>
    <message>
        <source>Cannot store the messages: cannot write %1</source>
        <translation>Die Nachrichten können nicht gespeichert werden: %1 lässt sich nicht schreiben</translation>
    </message>
    <message>
        <source>the address %1 has characters beyond ASCII, which cannot be sent.</source>
        <translation>die Adresse %1 enthält Zeichen außerhalb von ASCII und kann nicht gesendet werden.</translation>
    </message>
</context>
<context>
    <name>ContactsLineEdit</name>
    <message>
        <source>To</source>
        <translation>An</translation>
    </message>
    <message>
        <source>Reply to all</source>
        <translation>Allen antworten</translation>
    </message>
    <message>
        <source>Recipient</source>
        <translation>Empfänger</translation>
    </message>
    <message>
        <source>Cc: </source>
        <translation>Kopie: </translation>
    </message>
</context>
<context>
    <name>ContactsList</name>
    <message>
        <source>Suggestions</source>
        <translation>Vorschläge</translation>
    </message>
</context>
<context>
    <name>FolderList</name>
    <message>
        <source>%1 (%2)</source>
        <translation>%1 (%2)</translation>
    </message>
</context>
<context>
    <name>FormFrame</name>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
</context>
<context>
    <name>FormTitleBar</name>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
</context>
<context>
    <name>HeaderMain</name>
    <message>
        <source>Create new profile...</source>
        <translation>Neues Konto anlegen …</translation>
    </message>
    <message>
        <source>Search...</source>
        <translation>Suchen …</translation>
    </message>
    <message>
        <source>All folders</source>
        <translation>Alle Ordner</translation>
    </message>
    <message>
        <source>Search the letters of every folder</source>
        <translation>Die Briefe aller Ordner durchsuchen</translation>
    </message>
    <message>
        <source>Check mail</source>
        <translation>Post abholen</translation>
    </message>
    <message>
        <source>New letter</source>
        <translation>Neuer Brief</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>Folders (%1)</source>
        <translation>Ordner (%1)</translation>
    </message>
    <message>
        <source>Account</source>
        <translation>Konto</translation>
    </message>
    <message>
        <source>Search</source>
        <translation>Suchen</translation>
    </message>
    <message>
        <source>Search (%1)</source>
        <translation>Suchen (%1)</translation>
    </message>
</context>
<context>
    <name>LineEditForm</name>
    <message>
        <source>Remember</source>
        <translation>Merken</translation>
    </message>
    <message>
        <source>Type here...</source>
        <translation>Hier eingeben …</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>LinkForm</name>
    <message>
        <source>Text to display in a letter:</source>
        <translation>Im Brief angezeigter Text:</translation>
    </message>
    <message>
        <source>Example Company Ltd.</source>
        <translation>Beispiel GmbH</translation>
    </message>
    <message>
        <source>Website address:</source>
        <translation>Adresse der Website:</translation>
    </message>
    <message>
        <source>https://www.example.com</source>
        <translation>https://www.example.com</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
</context>
<context>
    <name>ListViewForm</name>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
</context>
<context>
    <name>Mail</name>
    <message>
        <source>Choose a letter in the list.</source>
        <translation>Wählen Sie einen Brief in der Liste.</translation>
    </message>
    <message>
        <source>No letters in this folder.</source>
        <translation>Keine Briefe in diesem Ordner.</translation>
    </message>
</context>
<context>
    <name>MailAttachment</name>
    <message>
        <source>Open</source>
        <translation>Öffnen</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Speichern</translation>
    </message>
    <message>
        <source>Attachments: </source>
        <translation>Anhänge: </translation>
    </message>
    <message>
        <source>Click to close ▼</source>
        <translation>Zum Schließen klicken ▼</translation>
    </message>
    <message>
        <source>Click to expand ▲</source>
        <translation>Zum Aufklappen klicken ▲</translation>
    </message>
    <message>
        <source>The attachment &quot;%1&quot; could not be opened.</source>
        <translation>Der Anhang „%1“ konnte nicht geöffnet werden.</translation>
    </message>
    <message>
        <source>The attachment &quot;%1&quot; could not be saved.</source>
        <translation>Der Anhang „%1“ konnte nicht gespeichert werden.</translation>
    </message>
</context>
<context>
    <name>MailBody</name>
    <message>
        <source>Text</source>
        <translation>Text</translation>
    </message>
</context>
<context>
    <name>MailHeader</name>
    <message>
        <source>Edit the draft</source>
        <translation>Entwurf bearbeiten</translation>
    </message>
    <message>
        <source>Forward</source>
        <translation>Weiterleiten</translation>
    </message>
    <message>
        <source>Archive</source>
        <translation>Archiv</translation>
    </message>
    <message>
        <source>Restore</source>
        <translation>Wiederherstellen</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Löschen</translation>
    </message>
    <message>
        <source>Print to PDF</source>
        <translation>Als PDF drucken</translation>
    </message>
    <message>
        <source>Remove the letter &quot;%1&quot; for good? It cannot be undone.</source>
        <translation>Den Brief „%1“ endgültig entfernen? Das lässt sich nicht rückgängig machen.</translation>
    </message>
    <message>
        <source>The letter could not be archived.</source>
        <translation>Der Brief konnte nicht archiviert werden.</translation>
    </message>
    <message>
        <source>The letter could not be deleted.</source>
        <translation>Der Brief konnte nicht gelöscht werden.</translation>
    </message>
    <message>
        <source>The letter could not be restored.</source>
        <translation>Der Brief konnte nicht wiederhergestellt werden.</translation>
    </message>
    <message>
        <source>It is still in %1.</source>
        <translation>Er liegt weiterhin in %1.</translation>
    </message>
    <message>
        <source>Restored to %1.</source>
        <translation>Nach %1 wiederhergestellt.</translation>
    </message>
    <message>
        <source>Letter archived.</source>
        <translation>Brief archiviert.</translation>
    </message>
    <message>
        <source>Letter moved to Trash.</source>
        <translation>Brief in den Papierkorb verschoben.</translation>
    </message>
    <message>
        <source>Undo</source>
        <translation>Rückgängig</translation>
    </message>
    <message>
        <source>The letter could not be moved back. It is in %1.</source>
        <translation>Der Brief konnte nicht zurückgeholt werden. Er liegt in %1.</translation>
    </message>
    <message>
        <source>Leave full width</source>
        <translation>Volle Breite verlassen</translation>
    </message>
    <message>
        <source>Full width</source>
        <translation>Volle Breite</translation>
    </message>
    <message>
        <source>Reply</source>
        <translation>Antworten</translation>
    </message>
    <message>
        <source>reply to all</source>
        <translation>allen antworten</translation>
    </message>
</context>
<context>
    <name>MailList</name>
    <message>
        <source>Release for refresh...</source>
        <translation>Zum Aktualisieren loslassen …</translation>
    </message>
    <message>
        <source>Letters</source>
        <translation>Briefe</translation>
    </message>
    <message>
        <source>This letter cannot be shown: its file is missing or damaged (%1). It can still be deleted or archived.</source>
        <translation>Dieser Brief kann nicht angezeigt werden: Seine Datei fehlt oder ist beschädigt (%1). Er kann trotzdem gelöscht oder archiviert werden.</translation>
    </message>
    <message>
        <source>Letters found in all folders</source>
        <translation>In allen Ordnern gefundene Briefe</translation>
    </message>
</context>
<context>
    <name>MailtoRequests</name>
    <message>
        <source>Create an account first: the letter can be written once you have one.</source>
        <translation>Legen Sie zuerst ein Konto an: Der Brief lässt sich schreiben, sobald Sie eines haben.</translation>
    </message>
    <message>
        <source>A mail link asks for a new letter. Save the unfinished letter into drafts and start the new one?</source>
        <translation>Ein Mail-Link verlangt einen neuen Brief. Den unfertigen Brief in den Entwürfen speichern und den neuen beginnen?</translation>
    </message>
    <message>
        <source>Save and start</source>
        <translation>Speichern und beginnen</translation>
    </message>
    <message>
        <source>Keep writing</source>
        <translation>Weiterschreiben</translation>
    </message>
</context>
<context>
    <name>ManagementForm</name>
    <message>
        <source>Profile management</source>
        <translation>Konten verwalten</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>Hinzufügen</translation>
    </message>
    <message>
        <source>Edit</source>
        <translation>Bearbeiten</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>Entfernen</translation>
    </message>
    <message>
        <source>Wizard</source>
        <translation>Assistent</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
</context>
<context>
    <name>MenuBackButton</name>
    <message>
        <source>Folders</source>
        <translation>Ordner</translation>
    </message>
</context>
<context>
    <name>MessageForm</name>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>Warnung</translation>
    </message>
</context>
<context>
    <name>NewMailForm</name>
    <message>
        <source>New mail</source>
        <translation>Neuer Brief</translation>
    </message>
    <message>
        <source>Draft</source>
        <translation>Entwurf</translation>
    </message>
    <message>
        <source>writes</source>
        <translation>schreibt</translation>
    </message>
    <message>
        <source>New mail: reply</source>
        <translation>Neuer Brief: Antwort</translation>
    </message>
    <message>
        <source>Source message</source>
        <translation>Ursprüngliche Nachricht</translation>
    </message>
    <message>
        <source>From</source>
        <translation>Von</translation>
    </message>
    <message>
        <source>Date</source>
        <translation>Datum</translation>
    </message>
    <message>
        <source>Subject</source>
        <translation>Betreff</translation>
    </message>
    <message>
        <source>To</source>
        <translation>An</translation>
    </message>
    <message>
        <source>New mail: forward</source>
        <translation>Neuer Brief: Weiterleitung</translation>
    </message>
    <message>
        <source>You should connect outgoing server to your profile before sending message!</source>
        <translation>Verbinden Sie Ihr Konto mit einem Postausgangsserver, bevor Sie eine Nachricht senden!</translation>
    </message>
    <message>
        <source>Not valid recipient addresses!</source>
        <translation>Ungültige Empfängeradressen!</translation>
    </message>
    <message>
        <source>Do you want to save the message into drafts?</source>
        <translation>Möchten Sie die Nachricht in den Entwürfen speichern?</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>Ja</translation>
    </message>
    <message>
        <source>No</source>
        <translation>Nein</translation>
    </message>
    <message>
        <source>Link properties</source>
        <translation>Link-Eigenschaften</translation>
    </message>
    <message>
        <source>Send</source>
        <translation>Senden</translation>
    </message>
    <message>
        <source>Send (Ctrl+Return)</source>
        <translation>Senden (Strg+Eingabe)</translation>
    </message>
    <message>
        <source>Attach a file</source>
        <translation>Datei anhängen</translation>
    </message>
    <message>
        <source>Text</source>
        <translation>Text</translation>
    </message>
    <message>
        <source>Attach</source>
        <translation>Anhängen</translation>
    </message>
</context>
<context>
    <name>Notice</name>
    <message>
        <source>Undo (%1)</source>
        <translation>Rückgängig (%1)</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
</context>
<context>
    <name>Profile</name>
    <message>
        <source>Send mail error: </source>
        <translation>Fehler beim Senden: </translation>
    </message>
    <message>
        <source>Choose file to attach</source>
        <translation>Datei zum Anhängen wählen</translation>
    </message>
    <message>
        <source>Sending &quot;%1&quot;...</source>
        <translation>„%1“ wird gesendet …</translation>
    </message>
    <message>
        <source>&quot;%1&quot; has been sent.</source>
        <translation>„%1“ wurde gesendet.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; was not sent; it is kept in Drafts.</source>
        <translation>„%1“ wurde nicht gesendet und liegt in den Entwürfen.</translation>
    </message>
    <message>
        <source>The letter is kept in Drafts.</source>
        <translation>Die Nachricht liegt in den Entwürfen.</translation>
    </message>
</context>
<context>
    <name>ProfileForm</name>
    <message>
        <source>Add profile</source>
        <translation>Konto hinzufügen</translation>
    </message>
    <message>
        <source>Name:</source>
        <translation>Name:</translation>
    </message>
    <message>
        <source>Email:</source>
        <translation>E-Mail-Adresse:</translation>
    </message>
    <message>
        <source>Incoming server:</source>
        <translation>Posteingangsserver:</translation>
    </message>
    <message>
        <source>Outgoing server:</source>
        <translation>Postausgangsserver:</translation>
    </message>
    <message>
        <source>Sender name</source>
        <translation>Name des Absenders</translation>
    </message>
    <message>
        <source>Your email</source>
        <translation>Ihre E-Mail-Adresse</translation>
    </message>
    <message>
        <source>Create new server...</source>
        <translation>Neuen Server anlegen …</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
</context>
<context>
    <name>ProfileManager</name>
    <message>
        <source>New message:</source>
        <translation>Neue Nachricht:</translation>
    </message>
    <message>
        <source>The address %1 cannot be used: letters of that address are already stored.</source>
        <translation>Die Adresse %1 lässt sich nicht verwenden: Für diese Adresse sind bereits Briefe gespeichert.</translation>
    </message>
    <message>
        <source>The desktop&apos;s keyring is locked, so passwords cannot be kept in it. A password you type is kept only while the program runs and is never written to disk.</source>
        <translation>Der Schlüsselbund der Arbeitsumgebung ist gesperrt, daher lassen sich Passwörter nicht darin aufbewahren. Ein eingegebenes Passwort bleibt nur erhalten, solange das Programm läuft, und wird nie auf die Festplatte geschrieben.</translation>
    </message>
    <message>
        <source>No desktop keyring (such as GNOME Keyring or KWallet) is running, so passwords cannot be kept. A password you type is kept only while the program runs and is never written to disk.</source>
        <translation>Es läuft kein Schlüsselbund der Arbeitsumgebung (etwa GNOME Keyring oder KWallet), daher lassen sich Passwörter nicht aufbewahren. Ein eingegebenes Passwort bleibt nur erhalten, solange das Programm läuft, und wird nie auf die Festplatte geschrieben.</translation>
    </message>
    <message>
        <source>New messages:</source>
        <translation>Neue Nachrichten:</translation>
    </message>
    <message numerus="yes">
        <source>%n new letters</source>
        <translation>
            <numerusform>%n neue Nachricht</numerusform>
            <numerusform>%n neue Nachrichten</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>Mail</source>
        <translation>E-Mail</translation>
    </message>
</context>
<context>
    <name>Server</name>
    <message>
        <source>Neither SSL/TLS nor STARTTLS works with this server, and the password is not sent without security. If you trust the network, choose the security &quot;None&quot; for this server.</source>
        <translation>Weder SSL/TLS noch STARTTLS funktioniert mit diesem Server, und das Passwort wird nicht ungeschützt gesendet. Wenn Sie dem Netzwerk vertrauen, wählen Sie für diesen Server die Sicherheit „Keine“.</translation>
    </message>
</context>
<context>
    <name>ServerForm</name>
    <message>
        <source>Add server</source>
        <translation>Server hinzufügen</translation>
    </message>
    <message>
        <source>Type:</source>
        <translation>Typ:</translation>
    </message>
    <message>
        <source>Protocol:</source>
        <translation>Protokoll:</translation>
    </message>
    <message>
        <source>Address:</source>
        <translation>Adresse:</translation>
    </message>
    <message>
        <source>Connection protocol:</source>
        <translation>Verbindungssicherheit:</translation>
    </message>
    <message>
        <source>Authentication method:</source>
        <translation>Anmeldeverfahren:</translation>
    </message>
    <message>
        <source>pop.example.com</source>
        <translation>pop.example.com</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
</context>
<context>
    <name>ServerManager</name>
    <message>
        <source>Incoming</source>
        <translation>Eingehend</translation>
    </message>
    <message>
        <source>Outgoing</source>
        <translation>Ausgehend</translation>
    </message>
    <message>
        <source>POP3</source>
        <translation>POP3</translation>
    </message>
    <message>
        <source>IMAP</source>
        <translation>IMAP</translation>
    </message>
    <message>
        <source>SMTP</source>
        <translation>SMTP</translation>
    </message>
    <message>
        <source>Autodetection</source>
        <translation>Automatisch erkennen</translation>
    </message>
    <message>
        <source>None</source>
        <translation>Keine</translation>
    </message>
    <message>
        <source>SSL/TLS</source>
        <translation>SSL/TLS</translation>
    </message>
    <message>
        <source>STARTTLS</source>
        <translation>STARTTLS</translation>
    </message>
    <message>
        <source>Simple password</source>
        <translation>Einfaches Passwort</translation>
    </message>
    <message>
        <source>SASL</source>
        <translation>SASL</translation>
    </message>
</context>
<context>
    <name>SettingsForm</name>
    <message>
        <source>Profile management</source>
        <translation>Konten verwalten</translation>
    </message>
    <message>
        <source>Server management</source>
        <translation>Server verwalten</translation>
    </message>
    <message>
        <source>Mail settings</source>
        <translation>Post-Einstellungen</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Beenden</translation>
    </message>
</context>
<context>
    <name>SettingsMailForm</name>
    <message>
        <source>Store up to %1 messages in folder</source>
        <translation>Bis zu %1 Nachrichten je Ordner aufbewahren</translation>
    </message>
    <message>
        <source>Don&apos;t delete messages</source>
        <translation>Keine Nachrichten löschen</translation>
    </message>
    <message>
        <source>Delete received messages from server</source>
        <translation>Abgeholte Nachrichten auf dem Server löschen</translation>
    </message>
    <message>
        <source>Don&apos;t delete received messages from server</source>
        <translation>Abgeholte Nachrichten auf dem Server behalten</translation>
    </message>
    <message>
        <source>Get new messages every %1 minute(s)</source>
        <translation>Alle %1 Minute(n) neue Nachrichten abholen</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
</context>
<context>
    <name>SpinPathBoxForm</name>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
</context>
<context>
    <name>TrayIcon</name>
    <message>
        <source>New message</source>
        <translation>Neue Nachricht</translation>
    </message>
    <message>
        <source>Get new mail</source>
        <translation>Neue Post abholen</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Beenden</translation>
    </message>
</context>
<context>
    <name>Utils</name>
    <message>
        <source>Choose path to save pdf file</source>
        <translation>Speicherort für die PDF-Datei wählen</translation>
    </message>
</context>
<context>
    <name>WizardForm</name>
    <message>
        <source>Email cannot be empty!</source>
        <translation>Die E-Mail-Adresse darf nicht leer sein!</translation>
    </message>
    <message>
        <source>Your email is incorrect!</source>
        <translation>Ihre E-Mail-Adresse ist ungültig!</translation>
    </message>
    <message>
        <source>Name cannot be empty!</source>
        <translation>Der Name darf nicht leer sein!</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>Ja</translation>
    </message>
    <message>
        <source>No</source>
        <translation>Nein</translation>
    </message>
    <message>
        <source>Certificate verification</source>
        <translation>Zertifikatsprüfung</translation>
    </message>
    <message>
        <source>Authorization failed! Do you want to try again?</source>
        <translation>Anmeldung fehlgeschlagen! Möchten Sie es noch einmal versuchen?</translation>
    </message>
    <message>
        <source>Authorization</source>
        <translation>Anmeldung</translation>
    </message>
    <message>
        <source>john.smith@example.com</source>
        <translation>max.mustermann@example.com</translation>
    </message>
    <message>
        <source>Searching for incoming and outgoing servers...</source>
        <translation>Suche nach Posteingangs- und Postausgangsserver …</translation>
    </message>
    <message>
        <source>Found the following servers:</source>
        <translation>Folgende Server wurden gefunden:</translation>
    </message>
    <message>
        <source>Could not find incoming and outgoing servers.
You should add them in settings manually.</source>
        <translation>Posteingangs- und Postausgangsserver wurden nicht gefunden.
Bitte tragen Sie sie in den Einstellungen von Hand ein.</translation>
    </message>
    <message>
        <source>John Smith</source>
        <translation>Max Mustermann</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Done</source>
        <translation>Fertig</translation>
    </message>
    <message>
        <source>Next</source>
        <translation>Weiter</translation>
    </message>
    <message>
        <source>Wizard: step %1 of 3</source>
        <translation>Assistent: Schritt %1 von 3</translation>
    </message>
    <message>
        <source>User name for %1 on %2</source>
        <translation>Benutzername für %1 auf %2</translation>
    </message>
    <message>
        <source>Password for %1 on %2</source>
        <translation>Passwort für %1 auf %2</translation>
    </message>
    <message>
        <source>Remember the password on this computer</source>
        <translation>Passwort auf diesem Computer speichern</translation>
    </message>
    <message>
        <source>Enter your e-mail address; the program then looks for the servers of your account:</source>
        <translation>Geben Sie Ihre E-Mail-Adresse ein; das Programm sucht dann die Server Ihres Kontos:</translation>
    </message>
    <message>
        <source>Enter your name.
The recipients of your letters see it in the &quot;From&quot; field.</source>
        <translation>Geben Sie Ihren Namen ein.
Die Empfänger Ihrer Briefe sehen ihn im Feld „Von“.</translation>
    </message>
</context>
<context>
    <name>WizardServerBlock</name>
    <message>
        <source>Incoming server</source>
        <translation>Posteingangsserver</translation>
    </message>
    <message>
        <source>Outgoing server</source>
        <translation>Postausgangsserver</translation>
    </message>
    <message>
        <source>Could not find the incoming server.
You should add it in settings manually.</source>
        <translation>Der Posteingangsserver wurde nicht gefunden.
Bitte tragen Sie ihn in den Einstellungen von Hand ein.</translation>
    </message>
    <message>
        <source>Could not find the outgoing server.
You should add it in settings manually.</source>
        <translation>Der Postausgangsserver wurde nicht gefunden.
Bitte tragen Sie ihn in den Einstellungen von Hand ein.</translation>
    </message>
    <message>
        <source>Protocol</source>
        <translation>Protokoll</translation>
    </message>
    <message>
        <source>Address</source>
        <translation>Adresse</translation>
    </message>
    <message>
        <source>Security</source>
        <translation>Sicherheit</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>Settings</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>Remember while the program runs</source>
        <translation>Merken, solange das Programm läuft</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>Ja</translation>
    </message>
    <message>
        <source>No</source>
        <translation>Nein</translation>
    </message>
    <message>
        <source>Certificate verification</source>
        <translation>Zertifikatsprüfung</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Fehler</translation>
    </message>
    <message>
        <source>Input username</source>
        <translation>Benutzernamen eingeben</translation>
    </message>
    <message>
        <source>Input password</source>
        <translation>Passwort eingeben</translation>
    </message>
    <message>
        <source>Authorization failed! Do you want to try again?</source>
        <translation>Anmeldung fehlgeschlagen! Möchten Sie es noch einmal versuchen?</translation>
    </message>
    <message>
        <source>Authorization</source>
        <translation>Anmeldung</translation>
    </message>
    <message>
        <source>Mail: unseen letters: </source>
        <translation>E-Mail: ungelesene Briefe: </translation>
    </message>
    <message>
        <source>Mail</source>
        <translation>E-Mail</translation>
    </message>
    <message>
        <source>Incoming</source>
        <translation>Eingang</translation>
    </message>
    <message>
        <source>Drafts</source>
        <translation>Entwürfe</translation>
    </message>
    <message>
        <source>Sent</source>
        <translation>Gesendet</translation>
    </message>
    <message>
        <source>Archive</source>
        <translation>Archiv</translation>
    </message>
    <message>
        <source>Trash</source>
        <translation>Papierkorb</translation>
    </message>
    <message>
        <source>User name for %1 on %2</source>
        <translation>Benutzername für %1 auf %2</translation>
    </message>
    <message>
        <source>Password for %1 on %2</source>
        <translation>Passwort für %1 auf %2</translation>
    </message>
    <message>
        <source>Remember the password on this computer</source>
        <translation>Passwort auf diesem Computer speichern</translation>
    </message>
</context>
<context>
    <name>profile</name>
    <message>
        <source>Email cannot be empty!</source>
        <translation>Die E-Mail-Adresse darf nicht leer sein!</translation>
    </message>
    <message>
        <source>Profile with this email already exist!</source>
        <translation>Ein Konto mit dieser E-Mail-Adresse gibt es bereits!</translation>
    </message>
    <message>
        <source>Add profile</source>
        <translation>Konto hinzufügen</translation>
    </message>
    <message>
        <source>Edit profile</source>
        <translation>Konto bearbeiten</translation>
    </message>
    <message>
        <source>Are you really want to delete profile </source>
        <translation>Möchten Sie wirklich dieses Konto löschen: </translation>
    </message>
</context>
<context>
    <name>server</name>
    <message>
        <source>Address cannot be empty!</source>
        <translation>Die Adresse darf nicht leer sein!</translation>
    </message>
    <message>
        <source>Server with this address already exist!</source>
        <translation>Einen Server mit dieser Adresse gibt es bereits!</translation>
    </message>
    <message>
        <source>Add server</source>
        <translation>Server hinzufügen</translation>
    </message>
    <message>
        <source>Edit server</source>
        <translation>Server bearbeiten</translation>
    </message>
    <message>
        <source>Are you really want to delete server </source>
        <translation>Möchten Sie wirklich diesen Server löschen: </translation>
    </message>
</context>
</TS>
