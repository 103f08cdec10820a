#!/usr/bin/env python3
"""Writes a working week of an office for the simulation build, dated around
the day of the run, and what the program must make of it.

  spooler-scenario.txt  the week as the scripted spooler plays it: 10 printers
                        (local ones and \\\\server\\queue connections, one
                        removed mid-week, one installed mid-week, one that
                        drops out of a single enumeration, and for two passes
                        each one whose server cannot be opened, one whose jobs
                        and one whose information cannot be read), 30 users
                        on 12 machines, 2,000 jobs, and a spooler outage of
                        three passes (three seconds)
  week-expected.txt     UTF-8, tab-separated, read by the driver's week
                        scenario: the facts of the week, the saved date to
                        add, every row tbTrabajos must hold, and the totals of
                        every period and grouping, all worked out by
                        week_model.py from the scenario text alone

The jobs are the same on every run (a fixed seed); only their dates follow
the day: a week ending today, held jobs from last month and last year, and a
job on each side of every period's start (midnight today, the first of the
month, the first of the year, the saved date). The periods' totals then
differ whenever the calendar lets them: on the first of a month today and
this month start together, in January this month and this year do.

The week is written in the local time of a zone (--zone, UTC by default):
every date above is a local one, the scenario holds the submission times in
UTC as the spooler reports them, and the rows hold them in local time again.

Usage: tests/week/make-week.py OUTDIR [--zone NAME] [--today YYYY-MM-DD] [--end] [--pictures]
  --zone      the zone the program runs in, as TZ names it (default UTC)
  --today     the day the week ends (default: today in that zone)
  --end       end the scenario after the week, for scripts/run-scenario
  --pictures  for make demo: the user whose name holds a letter beyond the
              BMP (a surrogate pair, 𠮷) is written in the common form 吉田,
              which the fonts of the demo's prefix can draw
"""
import argparse
import datetime as dt
import os
import random
import sys
from zoneinfo import ZoneInfo

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import week_model  # noqa: E402

SEED = 20261207
JOBS = 2000

SPOOLING, PAUSED, ERROR, DELETING, PRINTING, PRINTED, COMPLETE = 0x8, 0x1, 0x2, 0x4, 0x10, 0x80, 0x1000

RECEPTION = "Reception LaserJet"
OBRIEN = "O'Brien's Colour Laser"
PLOTTER = "Plotter A0"
KYOCERA = "Kyocera FS-1020D (old)"  # removed mid-week
ACCOUNTS = "\\\\srv-print\\Accounts"  # drops out of one enumeration
GREEK = "\\\\srv-print\\Λογιστήριο Έγχρωμος"
CYRILLIC = "\\\\srv-print\\Склад-Этикетки"
TOKYO = "\\\\東京-srv\\複合機 3F"  # its server cannot be opened for two passes
PROOFER = "\\\\srv-print\\Marketing's Proofer — HP Color LaserJet Enterprise MFP M776 PCL 6 (V4), east wing"
NEWCOMER = "\\\\srv-print\\Canon iR-ADV C5535 (2F)"  # installed mid-week
PRINTERS = [RECEPTION, OBRIEN, PLOTTER, KYOCERA, ACCOUNTS, GREEK, CYRILLIC, TOKYO, PROOFER, NEWCOMER]
PRINTER_WEIGHTS = [22, 12, 3, 6, 14, 9, 8, 18, 8, 8]

MACHINES = ["\\\\PC-RECEPTION", "\\\\LAPTOP-O'NEIL", "\\\\ΛΟΓΙΣΤΗΡΙΟ-1", "\\\\СКЛАД-2", "\\\\受付-PC",
            "\\\\PC-LAB-7", "\\\\DESIGN-MAC", "\\\\PC-FINANCE-3", "\\\\KIOSK", "\\\\TS-01", "\\\\LAPTOP-ZOË",
            "\\\\PC-D'ANGELO"]
# Each user and the machine they mostly print from.
USERS = [("ana.garcia", 0), ("o'neil", 1), ("d'angelo", 11), ("mcdonald", 7), ("bea.ruiz", 5),
         ("chen.wei", 6), ("fatima", 7), ("jens", 9), ("Γιώργος", 2), ("Ελένη", 2), ("Νίκος", 9),
         ("Дмитрий", 3), ("Ольга", 3), ("Сергей", 9), ("さくら", 4), ("田中太郎", 4), ("山本", 9),
         ("o'brien.k", 6), ("zoë", 10), ("łukasz", 5), ("pierre-luc", 6), ("ingrid", 7), ("ahmed", 9),
         ("lucía", 0), ("tomás", 8), ("kim.j", 5), ("priya", 9), ("𠮷田", 4), ("emma", 10),
         ("svc-scan", 8)]
DOCUMENTS = ["Invoice %d.pdf", "O'Brien quote %d.docx", "Αναφορά %d.xlsx", "Отчёт %d.pdf", "見積書 %d.pdf",
             "Minutes %d.docx", "Label batch %d", "Drawing %d.dwg", "Microsoft Word - Letter %d"]

# Passes of the week (each a poll of every queue).
ARRIVAL_PASSES = 680  # random jobs arrive over these, about three a pass
FIRST_ARRIVAL = 6
BLIP = 180  # ACCOUNTS is not listed at this pass
REMOVAL = 300  # KYOCERA is not listed from this pass on
OUTAGE = range(420, 423)  # the spooler cannot be reached
ADDITION = 350  # NEWCOMER is listed from this pass on
UNOPENED = range(520, 522)  # TOKYO's server cannot be opened
JOBS_FAIL = range(560, 562)  # GREEK's jobs cannot be read
INFO_FAILS = range(600, 602)  # CYRILLIC's information cannot be read
# The words a printer's line takes at a pass, and whether its queue is read.
TROUBLE = {(TOKYO, at): " unopenable" for at in UNOPENED}
TROUBLE.update({(GREEK, at): " jobs-fail" for at in JOBS_FAIL})
TROUBLE.update({(CYRILLIC, at): " info-fails" for at in INFO_FAILS})


class Job:
    def __init__(self, printer, submitted, user, machine, total, life, copies=None, nodevmode=False):
        self.printer, self.submitted, self.user, self.machine = printer, submitted, user, machine
        self.total, self.copies, self.nodevmode = total, copies, nodevmode
        self.life = life  # [(pass, status, pages printed)], consecutive passes
        self.id = None
        self.document = None

    def first(self):
        return self.life[0][0]

    def last(self):
        return self.life[-1][0]


def stamp(when):
    return when.strftime("%Y-%m-%dT%H:%M:%S.") + "%03d" % (when.microsecond // 1000)


def universal(when, zone):
    """A local time of the zone as the spooler reports it, in UTC."""
    return when.replace(tzinfo=ZoneInfo(zone)).astimezone(dt.timezone.utc).replace(tzinfo=None)


def midnight(day):
    return dt.datetime(day.year, day.month, day.day)


# ---- the lives of jobs ------------------------------------------------------------------

def sightings(start, states):
    return [(start + k, status, printed) for k, (status, printed) in enumerate(states)]


def random_life(rng, start, total):
    """A job's sightings from its arrival, and the fate that decides its row."""
    spool = [(SPOOLING, 0)] * rng.randint(1, 2)
    steps = max(2, min(total, rng.randint(2, 4)))
    no_progress = rng.random() < 0.1  # a driver that never reports pages printed
    printing = [(PRINTING, 0 if no_progress else -(-total * (k + 1) // steps)) for k in range(steps)]
    if rng.random() < 0.05:  # a paper jam on the way
        at = rng.randrange(len(printing))
        printing.insert(at, (PRINTING | ERROR, printing[at][1]))
    fate = rng.choices(["printed", "flagged", "cancelled", "deleted", "paused", "resumed"],
                       [74, 8, 3, 7, 5, 3])[0]
    if fate == "printed":
        states = spool + printing
    elif fate == "flagged":  # last seen marked printed or complete
        states = spool + printing + [(rng.choice([PRINTED, COMPLETE, PRINTED | COMPLETE]), printing[-1][1])]
    elif fate == "cancelled":  # deleted while printing: the pages so far count
        cut = rng.randrange(1, len(printing))
        states = spool + printing[:cut] + [(PRINTING | DELETING, printing[cut - 1][1])]
    elif fate == "deleted":  # before it ever printed
        states = [(SPOOLING, 0)] * 3 + [(DELETING, 0)]
    elif fate == "paused":  # printing, then paused, then deleted: no row
        states = spool + printing[:1] + [(PAUSED, printing[0][1])] * rng.randint(1, 2)
    else:  # paused while spooling, then resumed and printed
        states = spool + [(PAUSED, 0)] + printing
    # Four sightings at least: no job may come and go within the outage unseen.
    states = [(SPOOLING, 0)] * max(0, 4 - len(states)) + states
    return sightings(start, states)


def held_life(release, total, deleted=False):
    """A job held in its queue since before the week, released (or deleted) mid-week."""
    held = [(PAUSED, 0)] * release
    if deleted:
        return sightings(0, held + [(DELETING, 0)])
    return sightings(0, held + [(PRINTING, -(-total // 2)), (PRINTING, total)])


def random_total(rng):
    # A few drivers report no page count at all: the job counts, its pages don't.
    band = rng.choices([(0, 0), (1, 3), (4, 12), (13, 40), (41, 150)], [1, 60, 25, 12, 3])[0]
    return rng.randint(*band)


def random_copies(rng):
    """copies=N, or nodevmode, or neither (a device mode without DM_COPIES)."""
    kind = rng.choices(["none", "one", "some", "nodevmode"], [70, 15, 10, 5])[0]
    if kind == "one":
        return 1, False
    if kind == "some":
        return rng.randint(2, 5), False
    return None, kind == "nodevmode"


# ---- the week ------------------------------------------------------------------------------

def submission_times(rng, today, count):
    """Office hours over the seven days ending today, quieter at the weekend."""
    days = [today - dt.timedelta(days=k) for k in range(6, -1, -1)]
    weights = [0.15 if day.weekday() == 6 else 0.3 if day.weekday() == 5 else 1.0 for day in days]
    times = []
    for _ in range(count):
        day = rng.choices(days, weights)[0]
        if rng.random() < 0.92:
            seconds = rng.randint(7 * 3600, 19 * 3600)
        else:
            seconds = rng.randint(0, 24 * 3600 - 1)
        times.append(midnight(day) + dt.timedelta(seconds=seconds, milliseconds=rng.randint(0, 999)))
    return times


def forbidden(printer, first, last):
    """Random jobs keep off the printers that vanish, around their vanishing,
    so that only the jobs written for it are there then."""
    if printer == KYOCERA:
        return last >= REMOVAL - 2
    if printer == ACCOUNTS:
        return first <= BLIP + 1 and last >= BLIP - 1
    if printer == NEWCOMER:
        return first <= ADDITION
    return False


def choose_user(rng):
    user, home = rng.choice(USERS)
    # The scanner's service prints from the server itself, half the time with
    # no machine name at all: a group of its own, with an empty name.
    if user == "svc-scan" and rng.random() < 0.5:
        return user, None
    machine = home if rng.random() < 0.85 else rng.choice([8, 9, home])
    return user, MACHINES[machine]


def written_jobs(today, saved):
    """The jobs the week needs at fixed places: the sides of every period's
    start, the vanishing printers, a reused id, the end of the week."""
    jobs = []
    year_start = dt.datetime(today.year, 1, 1)
    month_start = dt.datetime(today.year, today.month, 1)
    week_start = midnight(today - dt.timedelta(days=6))
    ms = dt.timedelta(milliseconds=1)
    boundaries = [(midnight(today), "ana.garcia", 0, RECEPTION, 3),
                  (midnight(today) - ms, "o'neil", 1, TOKYO, 2),
                  (saved, "Γιώργος", 2, GREEK, 5),
                  (saved - ms, "Ольга", 3, CYRILLIC, 7),
                  (month_start, "さくら", 4, TOKYO, 4),
                  (month_start - ms, "d'angelo", 11, OBRIEN, 6),
                  (year_start, "zoë", 10, PROOFER, 8),
                  (year_start - ms, "jens", 9, RECEPTION, 9),
                  (midnight(today) - dt.timedelta(days=35) + dt.timedelta(hours=10, minutes=15), "ingrid", 7,
                   ACCOUNTS, 11),
                  (midnight(today) - dt.timedelta(days=400) + dt.timedelta(hours=16, minutes=40), "tomás", 8,
                   PLOTTER, 2)]
    held_release = 20
    for when, user, machine, printer, total in boundaries:
        if when < week_start:  # held in its queue since then, released early in the week
            life = held_life(held_release, total)
            held_release += 13
        else:
            life = None  # placed by its time among the random jobs
        jobs.append(Job(printer, when, user, MACHINES[machine], total, life, copies=1))
    # Held since last month and deleted unprinted: no row.
    jobs.append(Job(RECEPTION, midnight(today) - dt.timedelta(days=60, hours=-9), "svc-scan", MACHINES[8], 40,
                    held_life(90, 40, deleted=True)))

    # KYOCERA is removed at REMOVAL: its jobs with pages printed are recorded as
    # last seen, whatever their status, the others are not.
    r = REMOVAL
    kyocera = [("mcdonald", 7, 6, 2, [(SPOOLING, 0), (PRINTING, 1), (PRINTING, 2)]),
               ("fatima", 7, 3, None, [(SPOOLING, 0), (SPOOLING, 0), (PRINTING, 0)]),
               ("ahmed", 9, 5, None, [(SPOOLING, 0), (SPOOLING, 0), (SPOOLING, 0)]),
               ("priya", 9, 9, 1, [(PRINTING, 2), (PRINTING, 4), (PAUSED, 4)])]
    for user, machine, total, copies, states in kyocera:
        jobs.append(Job(KYOCERA, None, user, MACHINES[machine], total, sightings(r - 3, states), copies))

    # ACCOUNTS is missing from the enumeration at BLIP only: a job printing its
    # last page is recorded then and not again when it shows once more; the
    # others are followed anew and recorded when they leave.
    b = BLIP
    accounts = [("Νίκος", 9, 5, [(SPOOLING, 0), (PRINTING, 3), (PRINTING, 5), None, (PRINTING, 5)]),
                ("Ελένη", 2, 4, [(SPOOLING, 0), (SPOOLING, 0), None, (PRINTING, 2), (PRINTING, 4)]),
                ("Сергей", 9, 7, [(PRINTING, 0), (PRINTING, 0), None, (PRINTING, 0)])]
    for user, machine, total, states in accounts:
        start = b - states.index(None)
        life = [(start + k, s[0], s[1]) for k, s in enumerate(states) if s is not None]
        jobs.append(Job(ACCOUNTS, None, user, MACHINES[machine], total, life))

    # NEWCOMER is installed at ADDITION with a job printing in its queue: it
    # is followed from that first poll and recorded when it leaves.
    jobs.append(Job(NEWCOMER, None, "lucía", MACHINES[0], 8,
                    sightings(ADDITION - 3, [(SPOOLING, 0), (PRINTING, 1), (PRINTING, 3), (PRINTING, 6),
                                             (PRINTING, 8)]), copies=2))
    return jobs


def build_week(today, zone):
    rng = random.Random(SEED)
    saved = midnight(today - dt.timedelta(days=3)) + dt.timedelta(hours=13, minutes=30)
    jobs = written_jobs(today, saved)
    timed = [job for job in jobs if job.life is None]
    fixed_count = len(jobs) - len(timed)
    # Two jobs with one id in consecutive passes: the first leaves as the second comes.
    reused = [Job(RECEPTION, None, "ana.garcia", MACHINES[0], 2, None, copies=2),
              Job(RECEPTION, None, "田中太郎", MACHINES[4], 3, None)]
    random_count = JOBS - fixed_count - len(reused)

    # The random jobs and the timed ones arrive in the order of their submission.
    times = submission_times(rng, today, random_count - len(timed))
    plain = [Job(None, when, None, None, None, None) for when in times]
    arriving = sorted(plain + timed, key=lambda job: job.submitted)
    week = []
    for k, job in enumerate(arriving):
        start = FIRST_ARRIVAL + k * ARRIVAL_PASSES // len(arriving)
        if job.life is None and job.printer is not None:
            # A timed job prints over four passes, so that whatever passes an
            # outage or a failing queue hides, its last sighting is printing.
            job.life = sightings(start, [(SPOOLING, 0), (PRINTING, 1)] + [(PRINTING, job.total)] * 3)
            week.append(job)
            continue
        total = random_total(rng)
        life = random_life(rng, start, total)
        while True:
            printer = rng.choices(PRINTERS, PRINTER_WEIGHTS)[0]
            if not forbidden(printer, life[0][0], life[-1][0]):
                break
        if printer == PLOTTER:
            total = rng.randint(1, 4)
            life = random_life(rng, start, total)
        job.printer, job.total, job.life = printer, total, life
        job.user, job.machine = choose_user(rng)
        job.copies, job.nodevmode = random_copies(rng)
        week.append(job)

    q = 240
    reused[0].life = sightings(q - 2, [(SPOOLING, 0), (PRINTING, 1), (PRINTING, 2)])
    reused[1].life = sightings(q + 1, [(SPOOLING, 0), (PRINTING, 2), (PRINTING, 3)])
    jobs = [job for job in jobs if job.life is not None and job not in timed] + week + reused

    # Submission times of the jobs placed by pass, from the time of their arrival.
    last_arrival = max(job.first() for job in week)
    week_start = midnight(today - dt.timedelta(days=6))
    for job in jobs:
        if job.submitted is None:
            fraction = job.first() / (last_arrival + 1)
            job.submitted = week_start + dt.timedelta(seconds=int(fraction * 6.9 * 86400),
                                                      milliseconds=rng.randint(0, 999))
    # A local time that a change of daylight saving skips does not exist;
    # such a job is submitted at the time the zone shows for its instant.
    for job in jobs:
        instant = universal(job.submitted, zone).replace(tzinfo=dt.timezone.utc)
        job.submitted = instant.astimezone(ZoneInfo(zone)).replace(tzinfo=None)
    assign_ids(rng, jobs, reused)
    for job in jobs:
        job.document = rng.choice(DOCUMENTS) % job.id
    return jobs, saved


def assign_ids(rng, jobs, reused):
    """Job ids count up per printer. After the spooler outage each printer
    numbers its jobs from the first id of its week again, as a spooler that
    restarted may: hundreds of jobs then share a printer and an id with an
    earlier one, and only the submission time tells them apart. Never two
    jobs alive at once share an id."""
    counters = {printer: rng.randint(2, 900) for printer in PRINTERS}
    first_ids = dict(counters)
    restarted = set()
    alive = {printer: [] for printer in PRINTERS}  # (last pass, id)
    for job in reused:
        job.id = 77
    for job in sorted(jobs, key=lambda job: (job.first(), job.submitted)):
        if job in reused:
            continue
        if job.first() > OUTAGE[-1] and job.printer not in restarted:
            restarted.add(job.printer)
            counters[job.printer] = first_ids[job.printer]
        busy = {number for last, number in alive[job.printer] if last >= job.first() - 1}
        busy |= {other.id for other in reused
                 if other.printer == job.printer and other.first() - 1 <= job.last()
                 and job.first() - 1 <= other.last()}
        while counters[job.printer] in busy:
            counters[job.printer] += 1
        job.id = counters[job.printer]
        counters[job.printer] += 1
        alive[job.printer].append((job.last(), job.id))


# ---- the scenario and what it must give ----------------------------------------------------

def word(value):
    return '"%s"' % value


def job_line(job, status, printed, zone):
    words = ["job %d status=0x%x printed=%d total=%d" % (job.id, status, printed, job.total),
             "user=" + word(job.user)]
    if job.machine is not None:
        words.append("machine=" + word(job.machine))
    words += ["document=" + word(job.document), "submitted=" + stamp(universal(job.submitted, zone))]
    if job.copies is not None:
        words.append("copies=%d" % job.copies)
    if job.nodevmode:
        words.append("nodevmode")
    return " ".join(words)


def listed(printer, at):
    return (not (printer == KYOCERA and at >= REMOVAL) and not (printer == ACCOUNTS and at == BLIP)
            and not (printer == NEWCOMER and at < ADDITION))


def scenario_text(jobs, today, zone, end):
    last = max(job.last() for job in jobs) + 1
    by_pass = {}
    for job in sorted(jobs, key=lambda job: (job.first(), job.submitted)):
        for at, status, printed in job.life:
            by_pass.setdefault((at, job.printer), []).append(job_line(job, status, printed, zone))
    lines = ["# A working week ending %s in %s, written by tests/week/make-week.py." % (today.isoformat(), zone),
             "# What it must leave in pgwarden.db: week-expected.txt beside it."]
    for at in range(last + 1):
        if at in OUTAGE:
            lines.append("pass unreachable")
            continue
        lines.append("pass")
        for printer in PRINTERS:
            if not listed(printer, at):
                continue
            lines.append("printer %s%s" % (word(printer), TROUBLE.get((printer, at), "")))
            lines.extend(by_pass.get((at, printer), []))
    if end:
        lines.append("end")
    return "\n".join(lines) + "\n"


def intended_rows(jobs):
    """The rows as the week was written: what each job's last sighting in a
    pass that read its queue says, or for the printers that vanished, the
    jobs with pages printed then. The model must come to the same."""
    def read(job, at):
        # A queue that holds the job is never read empty, so jobs-fail always hides it.
        return at not in OUTAGE and listed(job.printer, at) and (job.printer, at) not in TROUBLE

    rows = []
    for job in jobs:
        seen = [(at, status, printed) for at, status, printed in job.life if read(job, at)]
        if not seen:
            continue
        vanished = [at for at, _, _ in seen if not listed(job.printer, at + 1)]
        if vanished:
            at, status, printed = [s for s in seen if s[0] == vanished[0]][0]
            if printed == 0:  # followed anew if it shows again
                seen = [s for s in seen if s[0] > vanished[0]]
                if not seen:
                    continue
            else:
                rows.append((job, printed))
                continue
        at, status, printed = seen[-1]
        if status & (PRINTING | PRINTED | COMPLETE):
            rows.append((job, printed))
    result = []
    for job, printed in rows:
        pages = (printed or job.total) * (max(job.copies, 1) if job.copies is not None else 1)
        result.append("%s|%s|%s|%s|%d" % (stamp(job.submitted), job.user, job.machine or "", job.printer, pages))
    return sorted(result)


def period_edges(today, saved):
    """The start of every period that is not everything, and the moment
    before it: a job must be recorded at each."""
    ms = dt.timedelta(milliseconds=1)
    starts = [midnight(today), saved, dt.datetime(today.year, today.month, 1), dt.datetime(today.year, 1, 1)]
    return {stamp(when) for start in starts for when in (start, start - ms)}


def expectations(rows, jobs, today, saved, saved_name):
    starts = {"everything": "1800-01-01T00:00:00.000",
              "today": stamp(midnight(today)),
              "month": stamp(dt.datetime(today.year, today.month, 1)),
              "year": stamp(dt.datetime(today.year, 1, 1)),
              "saved": stamp(saved),
              # the saved date's day chosen in the date picker: from its midnight
              "picked": stamp(midnight(saved))}
    lines = ["# The week ending %s: what the program must show. Written by tests/week/make-week.py,"
             % today.isoformat(),
             "# worked out by week_model.py from spooler-scenario.txt. Fields are tab-separated.",
             "today\t%s" % today.isoformat(),
             "fact\tprinters\t%d" % len(PRINTERS),
             "fact\tusers\t%d" % len({job.user for job in jobs}),
             "fact\tmachines\t%d" % len({job.machine for job in jobs if job.machine}),
             "fact\tjobs\t%d" % len(jobs),
             "fact\trows\t%d" % len(rows),
             "fact\tpages\t%d" % sum(row[4] for row in rows),
             "saved\t%s\t%s" % (saved_name, starts["saved"]),
             "picked\t%s" % starts["picked"],
             "last\t%s" % "\t".join(str(cell) for cell in rows[-1][:5])]
    for period, since in starts.items():
        lines.append("start\t%s\t%s" % (period, since))
        for grouping in ("printer", "user", "machine"):
            for name, (pages, count) in sorted(week_model.totals(rows, since, grouping).items()):
                lines.append("total\t%s\t%s\t%s\t%d\t%d" % (period, grouping, name, pages, count))
    for row in sorted(rows):
        lines.append("row\t%s" % "\t".join(str(cell) for cell in row[:5]))
    return "\n".join(lines) + "\n"


SAVED_NAME = "Stocktake d'hiver Απογραφή Инвентаризация 棚卸"


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("outdir")
    parser.add_argument("--zone", default="UTC")
    parser.add_argument("--today", type=dt.date.fromisoformat)
    parser.add_argument("--end", action="store_true")
    parser.add_argument("--pictures", action="store_true")
    args = parser.parse_args()
    if args.pictures:
        USERS[:] = [("吉田" if user == "𠮷田" else user, home) for user, home in USERS]
    if args.today is None:
        args.today = dt.datetime.now(ZoneInfo(args.zone)).date()

    jobs, saved = build_week(args.today, args.zone)
    text = scenario_text(jobs, args.today, args.zone, args.end)
    snapshots, _ = week_model.parse(text)
    seen = {week_model.identity(job) for snapshot in snapshots for printer in snapshot["printers"]
            for job in printer["jobs"]}
    if len(seen) != JOBS or len(jobs) != JOBS:
        sys.exit("make-week: %d jobs written, %d seen in the scenario, not %d" % (len(jobs), len(seen), JOBS))
    rows = week_model.play(snapshots, args.zone)
    found = sorted("%s|%s|%s|%s|%d" % row[:5] for row in rows)
    if found != intended_rows(jobs):
        sys.exit("make-week: the model's rows differ from the week as written")
    edges = period_edges(args.today, saved)
    if not edges <= {row[0] for row in rows}:
        sys.exit("make-week: no row at " + ", ".join(sorted(edges - {row[0] for row in rows})))

    os.makedirs(args.outdir, exist_ok=True)
    with open(os.path.join(args.outdir, "spooler-scenario.txt"), "w", encoding="utf-8", newline="\n") as file:
        file.write(text)
    with open(os.path.join(args.outdir, "week-expected.txt"), "w", encoding="utf-8", newline="\n") as file:
        file.write(expectations(rows, jobs, args.today, saved, SAVED_NAME))
    print("make-week: %d printers, %d users, %d machines, %d jobs, %d rows, %d pages, %d passes" % (
        len(PRINTERS), len({job.user for job in jobs}), len({job.machine for job in jobs if job.machine}), len(jobs),
        len(rows), sum(row[4] for row in rows), len(snapshots)))


if __name__ == "__main__":
    main()
