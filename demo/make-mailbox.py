#!/usr/bin/python3
"""Writes the demo mailbox: about sixty letters of the kinds real mail has
(plain and HTML, a newsletter with remote pictures, a thread of replies with
quotes, several languages and charsets, a PDF, a picture and an office
document as attachments) into a Maildir:
    make-mailbox.py MAILDIR ADDRESS [UID GID]
The letters are dated over the last weeks, the newest an hour ago."""
import base64
import datetime
import io
import math
import os
import random
import struct
import sys
import zipfile
import zlib
from email.mime.application import MIMEApplication
from email.mime.image import MIMEImage
from email.mime.multipart import MIMEMultipart
from email.mime.text import MIMEText
from email.utils import format_datetime, formataddr

DOMAIN = "demo.drel.example"


def pdf_document(lines):
    """A one-page PDF that prints the lines in Helvetica."""
    text = "BT /F1 14 Tf 72 760 Td 18 TL " + " ".join(
        "(%s) Tj T*" % l.replace("\\", "\\\\").replace("(", "\\(").replace(")", "\\)") for l in lines) + " ET"
    objects = [
        b"<< /Type /Catalog /Pages 2 0 R >>",
        b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] "
        b"/Resources << /Font << /F1 5 0 R >> >> /Contents 4 0 R >>",
        b"<< /Length %d >>\nstream\n" % len(text) + text.encode("latin-1") + b"\nendstream",
        b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
    ]
    out = io.BytesIO()
    out.write(b"%PDF-1.4\n")
    offsets = []
    for number, body in enumerate(objects, 1):
        offsets.append(out.tell())
        out.write(b"%d 0 obj\n" % number + body + b"\nendobj\n")
    xref = out.tell()
    out.write(b"xref\n0 %d\n0000000000 65535 f \n" % (len(objects) + 1))
    for offset in offsets:
        out.write(b"%010d 00000 n \n" % offset)
    out.write(b"trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (len(objects) + 1, xref))
    return out.getvalue()


def png_picture(width=320, height=200):
    """A small landscape: sky, sun, hills."""
    rows = []
    for y in range(height):
        row = bytearray([0])
        for x in range(width):
            hill = height * 0.62 + 18 * math.sin(x / 37.0) + 10 * math.sin(x / 13.0)
            if (x - 235) ** 2 + (y - 55) ** 2 < 26 ** 2:
                pixel = (255, 214, 90)
            elif y > hill:
                pixel = (60 + y // 6, 140 - y // 8, 60)
            else:
                pixel = (90 + y // 3, 150 + y // 4, 235)
            row += bytes(pixel)
        rows.append(bytes(row))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xffffffff)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + chunk(b"IEND", b""))


def odt_document(title, paragraphs):
    """An OpenDocument text with a heading and paragraphs."""
    def esc(s):
        return s.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")
    body = "<text:h text:outline-level=\"1\">%s</text:h>" % esc(title) + "".join(
        "<text:p>%s</text:p>" % esc(p) for p in paragraphs)
    content = ('<?xml version="1.0" encoding="UTF-8"?>'
               '<office:document-content xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" '
               'xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" office:version="1.2">'
               '<office:body><office:text>%s</office:text></office:body></office:document-content>' % body)
    manifest = ('<?xml version="1.0" encoding="UTF-8"?>'
                '<manifest:manifest xmlns:manifest="urn:oasis:names:tc:opendocument:xmlns:manifest:1.0" '
                'manifest:version="1.2">'
                '<manifest:file-entry manifest:full-path="/" manifest:media-type="application/vnd.oasis.opendocument.text"/>'
                '<manifest:file-entry manifest:full-path="content.xml" manifest:media-type="text/xml"/>'
                '</manifest:manifest>')
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w") as z:
        z.writestr(zipfile.ZipInfo("mimetype"), "application/vnd.oasis.opendocument.text")
        z.writestr("META-INF/manifest.xml", manifest, zipfile.ZIP_DEFLATED)
        z.writestr("content.xml", content, zipfile.ZIP_DEFLATED)
    return out.getvalue()


def encoded_word(text_, charset):
    """The text as one RFC 2047 word in its own charset; Python's own encoder
    would label some charsets with names of its own (eucgb2312_cn)."""
    try:
        text_.encode("ascii")
        return text_
    except UnicodeEncodeError:
        return "=?%s?b?%s?=" % (charset, base64.b64encode(text_.encode(charset)).decode("ascii"))


class Mailbox:
    def __init__(self, maildir, address, uid, gid):
        self.maildir, self.address, self.uid, self.gid = maildir, address, uid, gid
        self.letters = []

    def add(self, sender, subject, part, charset="utf-8", reply_to=None, to=None, cc=None, headers=()):
        self.letters.append((sender, subject, part, charset, reply_to, to, cc, headers))

    def write(self):
        now = datetime.datetime.now(datetime.timezone.utc).replace(microsecond=0)
        count = len(self.letters)
        for i, (sender, subject, part, charset, reply_to, to, cc, headers) in enumerate(self.letters):
            # Oldest first; the last letter added is an hour old.
            date = now - datetime.timedelta(hours=1 + (count - 1 - i) * 11, minutes=i * 7 % 60)
            name, address = sender
            part["From"] = "%s <%s>" % (encoded_word(name, charset), address)
            part["To"] = to or formataddr(("Demo User", self.address))
            if cc:
                part["Cc"] = cc
            part["Subject"] = encoded_word(subject, charset)
            part["Date"] = format_datetime(date)
            part["Message-ID"] = "<demo-%03d@%s>" % (i + 1, DOMAIN)
            if reply_to:
                part["In-Reply-To"] = "<demo-%03d@%s>" % (reply_to, DOMAIN)
                part["References"] = part["In-Reply-To"]
            for key, value in headers:
                part[key] = value
            data = part.as_bytes()
            file_name = "%d.M%03dP%d.demo" % (int(date.timestamp()), i + 1, os.getpid())
            tmp = os.path.join(self.maildir, "tmp", file_name)
            with open(tmp, "wb") as f:
                f.write(data)
            if self.uid is not None:
                os.chown(tmp, self.uid, self.gid)
            os.utime(tmp, (date.timestamp(), date.timestamp()))
            os.rename(tmp, os.path.join(self.maildir, "new", file_name))


def text(body, charset="utf-8"):
    return MIMEText(body, "plain", charset)


def alternative(plain, html, charset="utf-8"):
    m = MIMEMultipart("alternative")
    m.attach(MIMEText(plain, "plain", charset))
    m.attach(MIMEText(html, "html", charset))
    return m


def with_attachments(body, *attachments):
    m = MIMEMultipart("mixed")
    m.attach(body)
    for a in attachments:
        m.attach(a)
    return m


def attachment(kind, data, file_name):
    if kind == "image/png":
        a = MIMEImage(data, "png")
    else:
        a = MIMEApplication(data, kind.split("/")[1])
    a.add_header("Content-Disposition", "attachment", filename=file_name)
    return a


def quoted(text_):
    return "\n".join("> " + l if l else ">" for l in text_.splitlines())


def build(box):
    rnd = random.Random(7)
    people = [("Anna Weber", "anna.weber@example.org"), ("Tom Baker", "tom@example.net"),
              ("Priya Natarajan", "priya@example.com"), ("Lucas Martin", "lucas.martin@example.fr"),
              ("Sofia Rossi", "sofia.rossi@example.it"), ("Jonas Berg", "jonas@example.se")]
    everyday = [
        ("Lunch on Thursday?", "Hi,\n\nare you free for lunch on Thursday? The new place by the river\nhas a good soup of the day.\n\nCheers,\n{first}"),
        ("Slides for Monday", "Hello,\n\nI have put the slides for Monday's review in the shared folder.\nPlease have a look at pages 4 to 9 before the meeting.\n\nThanks,\n{first}"),
        ("Re: Bike repair", "The shop says the wheel will be ready on Saturday morning.\n\n{first}"),
        ("Book recommendation", "You asked for something to read on the train: try \"The Left Hand of\nDarkness\". I could not put it down.\n\n{first}"),
        ("Quarterly figures", "Hi,\n\nthe figures are in. Sales are up 4 % on last quarter, costs are flat.\nDetails at the meeting.\n\nBest regards,\n{first}"),
        ("Holiday photos", "We are back! I'll send the photos once I have sorted them.\nThe weather was wonderful for all ten days.\n\n{first}"),
        ("Garden club meeting", "Dear members,\n\nthe next meeting is on the first Tuesday of the month at 7 pm.\nBring seeds to swap.\n\n{first}"),
        ("Moving the stand-up", "From next week the stand-up moves to 9:45, so that the people in\nLisbon can join.\n\n{first}"),
    ]
    automated = [
        (("Parcel Service", "noreply@parcels.example.com"), "Your parcel is on its way",
         "Good news: your parcel 7734-2291 left our depot and arrives tomorrow\nbetween 10:00 and 14:00.\n\nTrack it at https://parcels.example.com/t/77342291"),
        (("City Library", "library@example.org"), "Reminder: 2 books due on Friday",
         "The following items are due on Friday:\n\n  * A Brief History of Time\n  * The Hobbit\n\nYou can renew them online."),
        (("Calendar", "calendar@example.com"), "Invitation: Team retrospective",
         "You have been invited to: Team retrospective\nWhen: Wednesday 15:00 - 16:00\nWhere: Room 2.14"),
        (("Bank", "alerts@bank.example.net"), "Your monthly statement is ready",
         "Your statement for last month is ready in online banking.\nThis is an automatic message; please do not reply."),
    ]

    box.add(("Drel Mail", "welcome@" + DOMAIN), "Welcome to the demo",
            alternative("Welcome!\n\nThis mailbox is a demonstration. Everything runs on your own\ncomputer: "
                        "a mail server on the loopback interface holds these letters.\n\n"
                        "Write a letter to %s and it comes back at the next check.\n" % box.address,
                        "<html><body style=\"font-family: sans-serif\"><h2>Welcome!</h2>"
                        "<p>This mailbox is a <b>demonstration</b>. Everything runs on your own computer: "
                        "a mail server on the loopback interface holds these letters.</p>"
                        "<p>Write a letter to <a href=\"mailto:%s\">%s</a> and it comes back at the "
                        "next check.</p></body></html>" % (box.address, box.address)))

    for round_ in range(5):
        for subject, body in everyday:
            person = rnd.choice(people)
            box.add(person, subject, text(body.format(first=person[0].split()[0])))
        sender, subject, body = automated[round_ % len(automated)]
        box.add(sender, subject, text(body))

    # A thread of replies with quotes.
    first = ("Hi all,\n\nshall we move the summer party to the 14th? The garden is booked\n"
             "on the 7th.\n\nAnna")
    box.add(people[0], "Summer party", text(first), to="team@example.org")
    thread = len(box.letters)
    second = "The 14th works for me. I can bring the barbecue.\n\nTom\n\n" + \
        "On Monday, Anna Weber wrote:\n" + quoted(first)
    box.add(people[1], "Re: Summer party", text(second), reply_to=thread, to="team@example.org")
    third = "Great, the 14th it is! Priya, could you do the music?\n\nAnna\n\n" + \
        "On Monday, Tom Baker wrote:\n" + quoted(second)
    box.add(people[0], "Re: Summer party", text(third), reply_to=thread + 1, to="team@example.org",
            cc="priya@example.com")

    # A newsletter whose pictures live on a web server.
    box.add(("Outdoor Gear Weekly", "news@outdoor.example.com"), "Spring collection: 20 % off tents",
            alternative("Spring collection\n\nTents, backpacks and boots: 20 % off until Sunday.\n"
                        "https://outdoor.example.com/spring\n\nUnsubscribe: https://outdoor.example.com/u",
                        "<html><body style=\"font-family: Arial, sans-serif; background: #eef2f0\">"
                        "<table width=\"600\" align=\"center\" style=\"background: white\"><tr><td>"
                        "<img src=\"https://images.outdoor.example.com/newsletter/header.jpg\" width=\"600\" alt=\"Outdoor Gear\">"
                        "<h1 style=\"color: #2d6a4f\">Spring collection</h1>"
                        "<p>Tents, backpacks and boots: <b>20 % off</b> until Sunday.</p>"
                        "<img src=\"https://images.outdoor.example.com/newsletter/tent.jpg\" width=\"280\" alt=\"Tent\">"
                        "<img src=\"https://images.outdoor.example.com/newsletter/boots.jpg\" width=\"280\" alt=\"Boots\">"
                        "<p><a href=\"https://outdoor.example.com/spring\">Shop now</a></p>"
                        "<p style=\"font-size: 11px; color: #888\">You get this letter because you subscribed. "
                        "<a href=\"https://outdoor.example.com/u\">Unsubscribe</a></p>"
                        "</td></tr></table></body></html>"),
            headers=[("List-Unsubscribe", "<https://outdoor.example.com/u>")])

    # Several languages, each in a charset its mail is often sent in.
    box.add(("Jürgen Müller", "juergen@example.de"), "Grüße aus München",
            text("Hallo,\n\nviele Grüße aus München! Das Wetter ist schön, der Biergarten\n"
                 "hat schon geöffnet. Nächste Woche bin ich wieder im Büro.\n\nJürgen", "iso-8859-1"), "iso-8859-1")
    box.add(("Élodie Lefèvre", "elodie@example.fr"), "Réunion de vendredi",
            text("Bonjour,\n\nla réunion de vendredi est déplacée à 14 h. Pourriez-vous\n"
                 "préparer le résumé des dépenses ?\n\nBien à vous,\nÉlodie", "utf-8"))
    box.add(("Дмитрий Иванов", "dmitri@example.ru"), "Встреча в понедельник",
            text("Здравствуйте!\n\nВстреча переносится на понедельник, 10:00.\nПожалуйста, подтвердите.\n\n"
                 "С уважением,\nДмитрий", "koi8-r"), "koi8-r")
    box.add(("山田 花子", "hanako@example.jp"), "会議の資料について",
            text("お疲れ様です。\n\n明日の会議の資料を共有フォルダに置きました。\nご確認をお願いします。\n\n山田",
                 "iso-2022-jp"), "iso-2022-jp")
    box.add(("Νίκος Παπαδόπουλος", "nikos@example.gr"), "Καλημέρα από την Αθήνα",
            text("Γεια σου,\n\nστέλνω τις φωτογραφίες από το ταξίδι αύριο.\n\nΝίκος", "iso-8859-7"), "iso-8859-7")
    box.add(("José García", "jose@example.es"), "Presupuesto del año próximo",
            text("Hola:\n\nadjunto en breve el presupuesto. ¿Podemos hablarlo el miércoles?\n\n"
                 "Un saludo,\nJosé", "windows-1252"), "windows-1252")
    box.add(("Łukasz Wiśniewski", "lukasz@example.pl"), "Zaproszenie na spotkanie",
            text("Cześć,\n\nzapraszam na spotkanie w czwartek o 16:00. Będzie kawa i ciasto.\n\nŁukasz",
                 "iso-8859-2"), "iso-8859-2")
    box.add(("王小明", "xiaoming@example.cn"), "周末的计划",
            text("你好！\n\n这个周末我们去爬山吧，天气预报说是晴天。\n\n小明", "gb2312"), "gb2312")

    # Attachments: a PDF, a picture and an office document.
    box.add(("Accounts", "invoices@hosting.example.com"), "Invoice 2026-0412",
            with_attachments(text("Dear customer,\n\nplease find attached your invoice. Payment is due\n"
                                  "within 14 days.\n\nKind regards,\nHosting Example"),
                             attachment("application/pdf",
                                        pdf_document(["Invoice 2026-0412", "", "Web hosting, 12 months   96.00 EUR",
                                                      "Domain example.org          12.00 EUR", "",
                                                      "Total                      108.00 EUR"]), "invoice-2026-0412.pdf")))
    box.add(people[5], "A picture from the hike",
            with_attachments(alternative("Here is the view from the top. Worth every step!\n\nJonas",
                                         "<p>Here is the view from the <i>top</i>. Worth every step!</p><p>Jonas</p>"),
                             attachment("image/png", png_picture(), "view-from-the-top.png")))
    box.add(people[2], "Minutes of the planning meeting",
            with_attachments(text("Hi,\n\nattached are the minutes of yesterday's planning meeting.\n"
                                  "Let me know if I missed anything.\n\nPriya"),
                             attachment("application/vnd.oasis.opendocument.text",
                                        odt_document("Planning meeting", [
                                            "Present: Anna, Tom, Priya, Lucas.",
                                            "1. The release moves to the second week of June.",
                                            "2. Tom prepares the test plan.",
                                            "3. Next meeting: Thursday, 10:00."]), "minutes.odt")))


def main():
    maildir, address = sys.argv[1], sys.argv[2]
    uid = int(sys.argv[3]) if len(sys.argv) > 3 else None
    gid = int(sys.argv[4]) if len(sys.argv) > 4 else None
    box = Mailbox(maildir, address, uid, gid)
    build(box)
    box.write()
    print(len(box.letters))


if __name__ == "__main__":
    main()
