"""What a scenario of the simulated spooler must leave in pgwarden.db, worked
out from the scenario text alone by the counting rules, without any of the
program's code: the rows of tbTrabajos, and the totals the statistics view
shows for a start date and a grouping.

The rules, as the monitor and the store are meant to follow them:
- Each snapshot is one pass. An unreachable one changes nothing: the monitor
  waits and enumerates again, which takes the next snapshot.
- A printer the enumeration no longer lists is dropped; each job it was
  following whose PagesPrinted is not 0 is recorded as last seen.
- A printer that cannot be opened, or whose information or jobs cannot be
  read, keeps its followed jobs for the pass. One that reports no job has an
  empty queue; otherwise its queue is the jobs listed.
- A followed job that is no longer in its queue (matched by id and
  submission time) is recorded when it was printing at its last sighting:
  status PRINTING, PRINTED or COMPLETE (0x10, 0x80, 0x1000).
- A job is recorded once: its printer, id and submission time name it.
- A quit asked for while a printer is read ends the pass after that printer.
- The row: the submission time in local time, the user, the machine and the
  printer (empty for none), and PagesPrinted, or TotalPages when that is 0,
  times the copies when the job's device mode carries them (at least 1).
"""
from datetime import datetime, timezone
from zoneinfo import ZoneInfo

PRINTING_STATUS = 0x10 | 0x80 | 0x1000


class ScenarioError(Exception):
    pass


def split_words(line):
    """Words of a line; a quoted part runs to the next quote, no escapes."""
    words, i = [], 0
    while i < len(line):
        if line[i] in " \t":
            i += 1
            continue
        word = ""
        while i < len(line) and line[i] not in " \t":
            if line[i] != '"':
                word += line[i]
                i += 1
                continue
            close = line.find('"', i + 1)
            if close < 0:
                raise ScenarioError("a quote is not closed")
            word += line[i + 1:close]
            i = close + 1
        words.append(word)
    return words


def number(text):
    return int(text, 16) if text[:2].lower() == "0x" else int(text, 10)


def parse_job(words, printer):
    job = {"id": number(words[1]), "printer": printer, "status": 0, "printed": 0, "total": 0,
           "copies": None, "devmode": True, "user": None, "machine": None,
           "submitted": "2026-01-01T00:00:00.000"}
    for word in words[2:]:
        if word == "nodevmode":
            job["devmode"] = False
            continue
        key, _, value = word.partition("=")
        if key in ("user", "machine", "submitted"):
            job[key] = value
        elif key in ("document", "color", "duplex", "papersize", "form", "size"):
            pass  # the job's details: they never change its pages
        elif key in ("status", "printed", "total"):
            job[key] = number(value)
        elif key == "copies":
            job["copies"] = number(value)
        else:
            raise ScenarioError("unknown word " + word)
    return job


def parse(text):
    """The snapshots of a scenario text, and whether it ends by itself."""
    if text.startswith("\ufeff"):
        text = text[1:]
    snapshots, end = [], False
    for number_of_line, line in enumerate(text.split("\n"), 1):
        line = line.rstrip("\r")
        if not line.strip() or line.lstrip().startswith("#"):
            continue
        try:
            words = split_words(line)
            if words[0] == "pass":
                snapshots.append({"unreachable": "unreachable" in words[1:], "printers": []})
            elif words[0] == "end":
                end = True
            elif words[0] == "printer":
                flags = {}
                for word in words[2:]:
                    key, _, value = word.partition("=")
                    flags[key] = value
                snapshots[-1]["printers"].append({"name": words[1], "flags": flags, "jobs": []})
            elif words[0] == "job":
                printer = snapshots[-1]["printers"][-1]
                printer["jobs"].append(parse_job(words, printer["name"]))
            else:
                raise ScenarioError("unknown directive " + words[0])
        except (ScenarioError, IndexError, ValueError) as error:
            raise ScenarioError("line %d: %s" % (number_of_line, error)) from error
    return snapshots, end


def page_count(job):
    pages = job["printed"] if job["printed"] != 0 else job["total"]
    if job["devmode"] and job["copies"] is not None:
        pages *= max(job["copies"], 1)
    return pages


def local_text(submitted, zone):
    """The submission time (UTC) as the row's local date-time text."""
    when = datetime.strptime(submitted, "%Y-%m-%dT%H:%M:%S.%f").replace(tzinfo=timezone.utc)
    local = when.astimezone(ZoneInfo(zone)) if zone != "UTC" else when
    return local.strftime("%Y-%m-%dT%H:%M:%S.") + "%03d" % (local.microsecond // 1000)


def identity(job):
    return (job["printer"], job["id"], job["submitted"])


def play(snapshots, zone="UTC"):
    """The rows, in the order the monitor hands them to recorders: each is
    (date text, user, machine, printer, pages, pass index)."""
    followed = {}  # printer name -> [(job, seen printing)], in enumeration order
    recorded = set()
    rows = []

    def record(job, at):
        if identity(job) in recorded:
            return
        recorded.add(identity(job))
        rows.append((local_text(job["submitted"], zone), job["user"] or "", job["machine"] or "",
                     job["printer"], page_count(job), at))

    for at, snapshot in enumerate(snapshots):
        if snapshot["unreachable"]:
            continue
        listed = []
        for printer in snapshot["printers"]:
            if all(printer["name"] != other["name"] for other in listed):
                listed.append(printer)
        names = [printer["name"] for printer in listed]
        for name, jobs in followed.items():
            if name not in names:
                for job, _ in jobs:
                    if job["printed"] != 0:
                        record(job, at)
        followed = {name: followed.get(name, []) for name in names}
        for printer in listed:
            flags = printer["flags"]
            quit_now = "quit" in flags
            if "unopenable" in flags or "info-fails" in flags:
                if quit_now:
                    break
                continue
            count = number(flags["reports"]) if "reports" in flags else len(printer["jobs"])
            if count != 0 and "jobs-fail" in flags:
                if quit_now:
                    break
                continue
            queue = printer["jobs"] if count != 0 else []
            still = {(job["id"], job["submitted"]) for job in queue}
            for job, seen in followed[printer["name"]]:
                if seen and (job["id"], job["submitted"]) not in still:
                    record(job, at)
            followed[printer["name"]] = [(job, job["status"] & PRINTING_STATUS != 0) for job in queue]
            if quit_now:
                break
        else:
            continue
        break  # the quit came while a printer was read: no pass follows
    return rows


def totals(rows, since, grouping):
    """{group: (pages, jobs)} of the rows at or after the start text."""
    column = {"printer": 3, "user": 1, "machine": 2}[grouping]
    found = {}
    for row in rows:
        if row[0] >= since:
            pages, jobs = found.get(row[column], (0, 0))
            found[row[column]] = (pages + row[4], jobs + 1)
    return found
