"""Reads one message from standard input with Python's own parser
(email, policy.default) and prints as JSON what a reader of it sees: the
header fields decoded, the longest header line, whether the header is 7-bit,
and each leaf part with its type, its text (line ends as "\\n"), its file
name and the SHA-256 of its decoded bytes."""
import email
import hashlib
import json
import sys
from email import policy

raw = sys.stdin.buffer.read()
head = raw.split(b"\r\n\r\n", 1)[0]
message = email.message_from_bytes(raw, policy=policy.default)


def mailboxes(name):
    field = message.get(name)
    if field is None:
        return []
    return [[a.display_name, a.addr_spec] for a in field.addresses]


parts = []
for part in message.walk():
    if part.is_multipart():
        continue
    text = part.get_content() if part.get_content_maintype() == "text" else ""
    parts.append([part.get_content_type(), text.replace("\r\n", "\n"), part.get_filename() or "",
                  hashlib.sha256(part.get_payload(decode=True) or b"").hexdigest()])

print(json.dumps({
    "asciiHeader": all(byte < 128 for byte in head),
    "longestHeaderLine": max(len(line) for line in head.split(b"\r\n")),
    "subject": str(message.get("subject", "")),
    "from": mailboxes("from"),
    "to": mailboxes("to"),
    "cc": mailboxes("cc"),
    "inReplyTo": str(message.get("in-reply-to", "")),
    "references": str(message.get("references", "")),
    "type": message.get_content_type(),
    "parts": parts,
}))
