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
        <source>Cannot read the message from the server: </source>
        <translation>Die Nachricht kann nicht vom Server gelesen werden: </translation>
    </message>
    <message>
        <source>Cannot store the message %1: %2</source>
        <translation>Die Nachricht %1 kann nicht gespeichert werden: %2</translation>
    </message>
</context>
<context>
    <name>CertificateVerifier</name>
    <message>
        <source>Server sent a &apos;%1&apos; certificate. Do you want to accept this certificate?</source>
        <translation>Der Server hat ein Zertifikat vom Typ „%1“ gesendet. Möchten Sie dieses Zertifikat annehmen?</translation>
    </message>
    <message>
        <source>It&apos;s an unsupported certificate type &apos;%1&apos;. Do you still want to accept this certificate?</source>
        <translation>Der Zertifikatstyp „%1“ wird nicht unterstützt. Möchten Sie dieses Zertifikat trotzdem annehmen?</translation>
    </message>
    <message>
        <source>Certificate in a certificate chain cannot be verified against the next certificate in the chain (the issuer). Do you still want to accept this certificate?</source>
        <translation>Ein Zertifikat der Kette lässt sich nicht mit dem nächsten Zertifikat der Kette (dem Aussteller) prüfen. Möchten Sie dieses Zertifikat trotzdem annehmen?</translation>
    </message>
    <message>
        <source>The certificate is not authenticated. Do you still want to accept this certificate?</source>
        <translation>Das Zertifikat ist nicht beglaubigt. Möchten Sie dieses Zertifikat trotzdem annehmen?</translation>
    </message>
    <message>
        <source>The subject name of a certificate does not match the hostname of the server. Do you still want to accept this certificate?</source>
        <translation>Der Inhabername des Zertifikats passt nicht zum Rechnernamen des Servers. Möchten Sie dieses Zertifikat trotzdem annehmen?</translation>
    </message>
    <message>
        <source>Current date and time is after the validity period specified in the certificate. Do you still want to accept this certificate?</source>
        <translation>Das Zertifikat ist abgelaufen: Datum und Uhrzeit liegen nach seinem Gültigkeitszeitraum. Möchten Sie dieses Zertifikat trotzdem annehmen?</translation>
    </message>
    <message>
        <source>Current date and time is before the validity period specified in the certificate. Do you still want to accept this certificate?</source>
        <translation>Das Zertifikat ist noch nicht gültig: Datum und Uhrzeit liegen vor seinem Gültigkeitszeitraum. Möchten Sie dieses Zertifikat trotzdem annehmen?</translation>
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
</context>
<context>
    <name>FolderList</name>
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
    <name>ListViewForm</name>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
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
</context>
<context>
    <name>MailBody</name>
    <message>
        <source>Text</source>
        <translation>Text</translation>
    </message>
</context>
<context>
    <name>MailList</name>
    <message>
        <source>Release for refresh...</source>
        <translation>Zum Aktualisieren loslassen …</translation>
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
    <name>Profile</name>
    <message>
        <source>Send mail error: </source>
        <translation>Fehler beim Senden: </translation>
    </message>
    <message>
        <source>Choose file to attach</source>
        <translation>Datei zum Anhängen wählen</translation>
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
        <source>This server offered a secure connection before and does not now; the connection is not made without security.</source>
        <translation>Dieser Server bot bisher eine sichere Verbindung an und tut es jetzt nicht mehr; ohne Sicherheit wird keine Verbindung aufgebaut.</translation>
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
    <name>SpinPathBoxForm</name>
    <message>
        <source>OK</source>
        <translation>OK</translation>
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
    <name>main</name>
    <message>
        <source>Settings</source>
        <translation>Einstellungen</translation>
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
</context>
</TS>
