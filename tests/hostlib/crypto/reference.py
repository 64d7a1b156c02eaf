"""The Encryption class's key derivation, text ciphers and file cipher,
written again from their documentation (key_derivation.h, text_cipher.h,
file_cipher.h) over python3-cryptography, as an independent check.

Reads requests from stdin, one a line, and answers each with one line.
Texts and keys are given as x:HEX (bytes) or t:HEX (UTF-8 text, taken in
the ANSI code page of the tests, Windows-1252):

  derive LABEL SALT KEY LENGTH   -> hex of the derived key
  encrypt CIPHER KEY TEXT        -> base64 (CIPHER: blowfish or des3)
  decrypt CIPHER KEY BASE64      -> hex of the text up to its first NUL, or null
  encfile KEY SALT SOURCE TARGET -> ok
  decfile KEY SOURCE TARGET      -> true or false (nothing written on false)
"""
import base64
import hashlib
import hmac
import struct
import sys
import warnings

warnings.simplefilter("ignore")  # Blowfish is deprecated in cryptography
from cryptography.hazmat.primitives.ciphers import Cipher, algorithms, modes  # noqa: E402


def value(field):
    kind, _, hexed = field.partition(":")
    raw = bytes.fromhex(hexed)
    return raw.decode("utf-8").encode("cp1252") if kind == "t" else raw


def derive(label, salt, key, length):
    tail = label + b"\0" + salt + key
    out, digest = b"", b""
    while len(out) < length:
        digest = hashlib.md5(digest + tail).digest()
        out += digest
    return out[:length]


def block_cipher(name, key):
    if name == "blowfish":
        return algorithms.Blowfish(derive(b"blowfish", b"", key, 56))
    return algorithms.TripleDES(derive(b"des3", b"", key, 24))


def encrypt(name, key, text):
    padded = text + b"\0" * (-len(text) % 8)
    e = Cipher(block_cipher(name, key), modes.ECB()).encryptor()
    return base64.b64encode(e.update(padded) + e.finalize()).decode()


def decrypt(name, key, text):
    data = base64.b64decode(text)
    if len(data) % 8:
        return "null"
    d = Cipher(block_cipher(name, key), modes.ECB()).decryptor()
    plain = d.update(data) + d.finalize()
    return plain.split(b"\0")[0].hex()


def file_keys(key, salt):
    k = derive(b"file", salt, key, 80)
    return k[:56], k[56:72], k[72:80]


def counter_stream(cipher_key, data):
    blocks = (len(data) + 7) // 8
    counters = b"".join(struct.pack(">Q", i) for i in range(blocks))
    e = Cipher(algorithms.Blowfish(cipher_key), modes.ECB()).encryptor()
    stream = e.update(counters) + e.finalize()
    return bytes(a ^ b for a, b in zip(data, stream))


def encfile(key, salt, source, target):
    plain = open(source, "rb").read()
    cipher_key, mac_key, check = file_keys(key, salt)
    header = b"PXEF\1\0\0\0" + salt + struct.pack("<Q", len(plain)) + check
    body = header + counter_stream(cipher_key, plain)
    open(target, "wb").write(body + hmac.new(mac_key, body, "md5").digest())
    return "ok"


def decfile(key, source, target):
    data = open(source, "rb").read()
    if len(data) < 48 or data[:8] != b"PXEF\1\0\0\0":
        return "false"
    salt, (length,), check = data[8:16], struct.unpack("<Q", data[16:24]), data[24:32]
    if length != len(data) - 48:
        return "false"
    cipher_key, mac_key, expected_check = file_keys(key, salt)
    if check != expected_check:
        return "false"
    if hmac.new(mac_key, data[:-16], "md5").digest() != data[-16:]:
        return "false"
    open(target, "wb").write(counter_stream(cipher_key, data[32:-16]))
    return "true"


def answer(words):
    op = words[0]
    if op == "derive":
        return derive(words[1].encode(), value(words[2]), value(words[3]), int(words[4])).hex()
    if op == "encrypt":
        return encrypt(words[1], value(words[2]), value(words[3]))
    if op == "decrypt":
        return decrypt(words[1], value(words[2]), words[3] if len(words) > 3 else "")
    if op == "encfile":
        return encfile(value(words[1]), value(words[2]), words[3], words[4])
    if op == "decfile":
        return decfile(value(words[1]), words[2], words[3])
    raise ValueError(op)


for line in sys.stdin:
    print(answer(line.split()))
