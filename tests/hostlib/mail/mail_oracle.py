#!/usr/bin/python3
"""Python's email package (default policy) as the oracle of the mail tests.

  mail_oracle.py read FILE...   prints, as JSON, how Python reads each
                                message, sorted into a text body, an HTML
                                body, HTML items and attachments by the
                                same rules as our reader
  mail_oracle.py compose DIR    writes messages composed by Python into DIR

Byte strings are given in hexadecimal. A header field's bytes are its raw
value with encoded words decoded and their charset not applied, as our
reader keeps them.
"""
import json
import os
import sys
from email import policy
from email.header import decode_header
from email.message import EmailMessage
from email.mime.application import MIMEApplication
from email.mime.multipart import MIMEMultipart
from email.mime.text import MIMEText
from email.parser import BytesParser
from email.utils import collapse_rfc2231_value

FIELDS = ["From", "Reply-To", "To", "Subject", "Cc", "Bcc", "Date"]
MAX_NESTING = 32


def raw_bytes(text):
    return text.encode("ascii", "surrogateescape")


def field_bytes(msg, name):
    for key, value in msg.raw_items():
        if key.lower() != name.lower():
            continue
        value = raw_bytes(value).decode("latin-1")
        value = value.replace("\r\n", "").replace("\n", "").replace("\t", " ").strip(" ")
        out = b""
        for data, _charset in decode_header(value):
            out += data if isinstance(data, bytes) else data.encode("latin-1")
        return out.strip(b" ")
    return None


def priority(msg):
    value = msg.get("X-Priority")
    if value is None:
        return 3
    digits = str(value).strip()
    if digits.startswith("+"):
        digits = digits[1:]
    n = ""
    for i, c in enumerate(digits):
        if c.isdigit() or (i == 0 and c == "-"):
            n += c
        else:
            break
    try:
        return int(n)
    except ValueError:
        return 3


def leaves(part, depth):
    if part.get_content_maintype() == "multipart" and part.is_multipart() and depth < MAX_NESTING:
        for sub in part.get_payload():
            yield from leaves(sub, depth + 1)
    else:
        yield part


def body_of(part):
    """The decoded bytes, or None where Python keeps a parsed message."""
    if part.is_multipart():
        return None
    return part.get_payload(decode=True) or b""


def name_of(part):
    name = part.get_param("name")
    if not name:
        name = part.get_param("filename", header="content-disposition")
    if isinstance(name, tuple):
        name = collapse_rfc2231_value(name)
    if not name:
        return b""
    name = name.encode("utf-8", "surrogateescape")
    for sep in (b"\\", b"/"):
        name = name.rsplit(sep, 1)[-1]
    return name


def hexed(b):
    return None if b is None else b.hex()


def read(path):
    # parse() of a file would read it through universal newlines, which
    # make every CR LF an LF: the bytes as they are.
    with open(path, "rb") as f:
        msg = BytesParser(policy=policy.default).parsebytes(f.read())
    out = {"fields": {}, "priority": priority(msg), "text": None, "html": None,
           "attachments": [], "items": [], "defects": []}
    for name in FIELDS:
        out["fields"][name] = hexed(field_bytes(msg, name))
    html_found = False
    for part in msg.walk():
        out["defects"] += [type(d).__name__ for d in part.defects]
    for part in leaves(msg, 0):
        ctype = part.get_content_type()
        disposition = part.get_content_disposition()
        name = name_of(part)
        entry = {"type": ctype, "body": hexed(body_of(part)), "name": name.hex()}
        if disposition != "attachment":
            if ctype == "text/html" and not html_found:
                out["html"] = entry
                html_found = True
                continue
            item = bool(name) and html_found
            if not item and ctype.startswith("text/") and out["text"] is None:
                out["text"] = entry
                continue
            if item:
                cid = str(part.get("Content-ID", "")).strip()
                entry["id"] = raw_bytes(cid.removeprefix("<").removesuffix(">")).hex()
                out["items"].append(entry)
                continue
        if not name:
            entry["name"] = ("attachment %d" % (len(out["attachments"]) + 1)).encode().hex()
        out["attachments"].append(entry)
    return out


def compose(folder):
    """Messages as Python writes them, for our reader."""
    os.makedirs(folder, exist_ok=True)
    made = {}

    m = EmailMessage()
    m["From"], m["To"], m["Subject"] = "a@example.org", "b@example.org", "Plain"
    m.set_content("Just text.\nTwo lines.\n")
    made["plain"] = m

    m = EmailMessage()
    m["From"], m["To"] = "a@example.org", "b@example.org"
    m["Subject"] = "Grüße aus Köln, ein längerer Betreff mit Umlauten äöü und mehr Text dahinter"
    m.set_content("Grüße\n", cte="quoted-printable")
    m.add_alternative("<p>Grüße</p>\n", subtype="html", cte="base64")
    made["alternative"] = m

    m = EmailMessage()
    m["From"], m["To"], m["Subject"] = "a@example.org", "b@example.org", "Inline"
    m.set_content("See the picture.\n")
    m.add_alternative('<p><img src="cid:pic1"></p>\n', subtype="html")
    html = m.get_payload()[1]
    html.add_related(bytes(range(256)) * 3, "image", "png", cid="<pic1>", filename="pic.png",
                     disposition="inline")
    made["inline_images"] = m

    m = EmailMessage()
    m["From"], m["To"], m["Subject"] = "a@example.org", "b@example.org", "Attachments"
    m["Cc"] = "c@example.org, d@example.org"
    m.set_content("Long line " * 30 + "\nTrailing blank \nequals = sign\n", cte="quoted-printable")
    m.add_attachment(b"", maintype="application", subtype="octet-stream", filename="empty.bin")
    m.add_attachment(b"\x00\x01\x02", maintype="application", subtype="octet-stream", filename="three.bin")
    m.add_attachment("8bit text ü\n".encode("utf-8"), maintype="text", subtype="plain",
                     filename="eight.txt", cte="8bit", disposition="attachment")
    m.add_attachment(bytes(range(256)) * 400, maintype="application", subtype="zip", filename="Dätei.zip")
    made["attachments"] = m

    m = EmailMessage()
    m["From"], m["To"], m["Subject"] = "a@example.org", "b@example.org", "8bit body"
    m.set_content("Sehr geehrte Damen und Herren,\nüber alles.\n", cte="8bit")
    made["eight_bit"] = m

    # Built by hand: parts whose body is not followed by an empty line
    # before the next delimiter, and a missing closing delimiter.
    outer = MIMEMultipart("mixed", boundary="XYZ")
    outer["From"], outer["To"], outer["Subject"] = "a@example.org", "b@example.org", "Hand made"
    outer.attach(MIMEText("body text", "plain"))
    outer.attach(MIMEApplication(b"binary\x00data", Name="data.bin"))
    made["mime_classes"] = outer

    for name, msg in made.items():
        with open(os.path.join(folder, name + ".eml"), "wb") as f:
            f.write(msg.as_bytes(policy=policy.default.clone(linesep="\r\n")))

    tight = (b"From: a@example.org\r\nSubject: =?utf-8?q?tight_parts?=\r\nMIME-Version: 1.0\r\n"
             b"Content-Type: multipart/mixed; boundary=\"b1\"\r\n\r\n"
             b"--b1\r\nContent-Type: text/plain\r\n\r\nno empty line after me\r\n"
             b"--b1\r\nContent-Type: application/octet-stream; name=x.bin\r\n"
             b"Content-Transfer-Encoding: base64\r\n\r\nAAECAw==\r\n--b1--\r\n")
    with open(os.path.join(folder, "tight_parts.eml"), "wb") as f:
        f.write(tight)
    unclosed = (b"From: a@example.org\nSubject: unclosed\nMIME-Version: 1.0\n"
                b"Content-Type: multipart/mixed; boundary=b2\n\n"
                b"--b2\nContent-Type: text/plain\n\nfirst\n"
                b"--b2\nContent-Type: text/html\n\n<p>last</p>")
    with open(os.path.join(folder, "unclosed.eml"), "wb") as f:
        f.write(unclosed)


def main():
    if len(sys.argv) >= 2 and sys.argv[1] == "read":
        json.dump([read(p) for p in sys.argv[2:]], sys.stdout)
    elif len(sys.argv) == 3 and sys.argv[1] == "compose":
        compose(sys.argv[2])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
