#!/usr/bin/python3
"""Python's email package on the benchmark's message, timed in-process.

  mail_bench.py DIR RUNS

DIR holds message.eml (text, HTML and two large attachments), text.txt,
page.html, big1.bin, big2.bin and small00.bin to small19.bin, as the C++
side made them. Prints the median seconds of each task as JSON.
"""
import json
import os
import statistics
import sys
import time
from email import policy
from email.message import EmailMessage
from email.parser import BytesParser


def timed(runs, task):
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        task()
        times.append(time.perf_counter() - start)
    return statistics.median(times)


def main():
    folder, runs = sys.argv[1], int(sys.argv[2])
    path = lambda name: os.path.join(folder, name)
    out = os.path.join(folder, "python-out")
    os.makedirs(out, exist_ok=True)

    def read(name):
        with open(path(name), "rb") as f:
            return f.read()

    def load_and_list():
        msg = BytesParser(policy=policy.default).parsebytes(read("message.eml"))
        return [(p.get_content_type(), p.get_filename()) for p in msg.walk()]

    def load_and_save_attachments():
        msg = BytesParser(policy=policy.default).parsebytes(read("message.eml"))
        for i, part in enumerate(msg.iter_attachments()):
            with open(os.path.join(out, "attachment%d" % i), "wb") as f:
                f.write(part.get_payload(decode=True))

    def compose(attachments):
        def task():
            msg = EmailMessage()
            msg["From"], msg["To"], msg["Subject"] = "a@example.org", "b@example.org", "Benchmark"
            msg.set_content(read("text.txt").decode("latin-1"))
            msg.add_alternative(read("page.html").decode("latin-1"), subtype="html")
            for name in attachments:
                msg.add_attachment(read(name), maintype="application", subtype="octet-stream", filename=name)
            with open(os.path.join(out, "composed.eml"), "wb") as f:
                f.write(msg.as_bytes())
        return task

    results = {
        "load_and_list": timed(runs, load_and_list),
        "load_and_save_attachments": timed(runs, load_and_save_attachments),
        "compose_and_save": timed(runs, compose(["big1.bin", "big2.bin"])),
        "compose_20_attachments": timed(runs, compose(["small%02d.bin" % i for i in range(20)])),
    }
    json.dump(results, sys.stdout)


if __name__ == "__main__":
    main()
