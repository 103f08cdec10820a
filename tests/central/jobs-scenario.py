#!/usr/bin/env python3
"""Writes a spooler scenario for the central database tests: JOBS jobs on a
few printers, every one seen printing in one pass and gone in the next, so
each leaves one row. With --hostile the names hold quotes, CJK, letters
beyond the BMP and one of 2,000 characters; with --wait FILE the program
keeps running (idle) until FILE exists beside it, then quits.
Most jobs carry their details (colour, sides, paper, document, size).
Usage: tests/central/jobs-scenario.py OUT --jobs N [--seed S] [--hostile] [--wait FILE]"""
import argparse
import random

HOSTILE_USERS = ["o'neil", "'); DROP TABLE pagewarden_jobs; --", "吉田 花子", "Ольга \\ back",
                 "\U0001F5A8 printer-fan \U00020B9F", "x" * 1998 + "吉\U0001F600"]
PLAIN_USERS = ["ana", "bea", "chen", "dmitri", "eve"]

parser = argparse.ArgumentParser()
parser.add_argument("out")
parser.add_argument("--jobs", type=int, required=True)
parser.add_argument("--seed", type=int, default=1)
parser.add_argument("--hostile", action="store_true")
parser.add_argument("--wait")
args = parser.parse_args()

rng = random.Random(args.seed)


def details(job):
    """Colour, sides, paper, document and size for most jobs; every fifth
    job's device mode tells none of them."""
    if job % 5 == 0:
        return ""
    paper = ' form="Letter Plus"' if job % 7 == 0 else " papersize=%d" % (9 if job % 2 else 1)
    document = "Report %d (draft)" % job if not args.hostile else "%s's plan \u8a08\u753b" % users[job % len(users)]
    return ' color=%s duplex=%s%s document="%s" size=%d' % (
        "yes" if job % 3 == 0 else "no", ("none", "long", "short")[job % 3], paper, document, 1000 * job)

users = HOSTILE_USERS if args.hostile else PLAIN_USERS
printers = ["Laser 'A'", "Plotter \\\\srv\\B", "打印机 C"] if args.hostile else ["Laser A", "Laser B"]
machines = ["\\\\PC-1", "\\\\PC O'2"]
lines = ["pass"]
gone = ["pass"]
for printer in printers:
    lines.append('printer "%s"' % printer)
    gone.append('printer "%s"' % printer)
    for job in range(1, args.jobs + 1):
        if printers[job % len(printers)] != printer:
            continue
        day = 1 + job % 28
        lines.append('job %d status=0x10 printed=%d total=%d user="%s" machine="%s" '
                     'submitted=2026-04-%02dT%02d:%02d:00.%03d%s' % (
                         job, 1 + job % 9, 1 + job % 9, users[job % len(users)], machines[job % 2],
                         day, 8 + job % 10, job % 60, job % 1000, details(job)))
text = "\n".join(lines + gone)
if args.wait:
    text += '\npass after="%s"\n' % args.wait
    text += "\n".join(gone[1:])
text += "\nend\n"
with open(args.out, "w", encoding="utf-8") as out:
    out.write(text)
