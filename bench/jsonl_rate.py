#!/usr/bin/env python3
"""Rates of qvn-compose --jsonl and of Python's json.loads on the same JSON Lines records.

Usage: jsonl_rate.py [--compose PATH] [--records N] [--mix template|varied] [--repeat N] [--write]
                     [FILE]
Without FILE, N records (1,000,000 unless given) of about 360 bytes are generated into a
temporary file; with --write they are written to FILE and nothing is measured (qvn-bench makes
its lines so). The template mix repeats one shape of record with a few numbers changed; the
varied mix draws every field and option from a fixed seed, with prompts of many lines,
non-ASCII text, quotes, backslashes and tabs, and both json.dumps styles of separator. json.loads parses every line; with --compose, qvn-compose --jsonl composes the
same file, the two taking turns. Prints one line per rate (the best of the repeats) and, with
both, their ratio and the median and range of the ratios of single rounds. Nothing is
asserted.
"""
import argparse
import json
import os
import random
import subprocess
import sys
import tempfile
import time

SHAPES = (0, 1, 2)


def record(i):
    prompt = ("Record %d: the changes to \"Report %d.xlsx\" could not be saved.\r\n"
              "Close it in the other program and choose Retry, or Cancel to go on." %
              (i, i % 97))
    r = {
        "txtPrompt": prompt,
        "strTitle": "Editor %d" % (i % 13),
        "intButtonSet": 1 + i % 5,
        "intIcon": i % 5,
        "intDefButton": i % 2,
        "intCodeOption": SHAPES[i % 3],
        "txtVarName": "response",
        "chkHelp": i % 2,
        "txtHelpFile": "app.hlp" if i % 2 else "",
        "txtHelpContext": "100" if i % 2 else "",
        "chkAddSelect": 1,
        "labels": ["Retry", "Cancel", "Help" if i % 2 else "", ""],
    }
    return json.dumps(r, ensure_ascii=False, separators=(",", ":"))


WORDS = ("the", "file", "could", "not", "be", "saved", "Report", "changes", "Retry", "Cancel",
         "Größe", "überschreiben", "éditeur", "café", "naïve", "Ärger", "€", "日本語", "✓",
         "\"quoted\"", "C:\\Temp\\out.txt", "tab\there", "50%", "<b>", "a&b", "O'Brien")
BREAKS = ("\r\n", "\r\n", "\n", "\r", "\r\n\r\n")


def text(rng, words, breaks):
    parts = []
    for _ in range(words):
        parts.append(rng.choice(WORDS))
        parts.append(rng.choice(BREAKS) if rng.random() < breaks else " ")
    return "".join(parts[:-1])


def varied_record(rng):
    r = {}
    # Every field is left out now and then, so that its load value is used too.
    def maybe(key, value, chance=0.85):
        if rng.random() < chance:
            r[key] = value
    maybe("txtPrompt", text(rng, rng.randint(10, 26), 0.2), 0.97)
    maybe("strTitle", text(rng, rng.randint(1, 5), 0.1))
    maybe("intButtonSet", rng.randrange(6))
    maybe("intIcon", rng.randrange(5))
    maybe("intDefButton", rng.randrange(4))
    maybe("intCodeOption", rng.randrange(3))
    maybe("txtVarName", rng.choice(("response", "answer", "intResult", "x")), 0.5)
    for key in ("chkHelp", "chkSysModal", "chkSetForeground", "chkRightAlign", "chkRtlReading",
                "chkOptValOnly", "chkAddSelect", "chkNotEqual"):
        maybe(key, rng.choice((0, 1, True, False)), 0.4)
    if rng.random() < 0.4:
        r["txtHelpFile"] = rng.choice(("app.hlp", "C:\\Help\\Größe.chm", ""))
        r["txtHelpContext"] = rng.choice(("100", "2001", ""))
    if rng.random() < 0.4:
        r["labels"] = [rng.choice(("Retry", "Cancel", "Ja", "Nein", "Hilfe", "")) for _ in range(4)]
    keys = list(r)
    rng.shuffle(keys)
    r = {k: r[k] for k in keys}
    if rng.random() < 0.5:
        return json.dumps(r, ensure_ascii=rng.random() < 0.5)
    return json.dumps(r, ensure_ascii=rng.random() < 0.5, separators=(",", ":"))


def write_records(path, count, mix="template"):
    rng = random.Random(26)
    with open(path, "w", encoding="utf-8", newline="\n") as f:
        for i in range(count):
            f.write(record(i) if mix == "template" else varied_record(rng))
            f.write("\n")


def loads_pass(lines):
    """Records/s of one json.loads pass over `lines`, in processor time."""
    start = time.process_time()
    for line in lines:
        json.loads(line)
    return len(lines) / max(time.process_time() - start, 1e-9)


def compose_run(compose, path, count):
    """Records/s of one whole qvn-compose --jsonl run, in the processor time it takes, as the
    system accounts it to the child in microseconds (os.times counts in clock ticks, a
    hundredth of a second, which is a few per cent of a run)."""
    with open(path, "rb") as f:
        child = subprocess.Popen([compose, "--jsonl"], stdin=f, stdout=subprocess.DEVNULL)
        _, status, usage = os.wait4(child.pid, 0)
        child.returncode = os.waitstatus_to_exitcode(status)  # reaped here, not by Popen
    return count / max(usage.ru_utime + usage.ru_stime, 1e-9)


def rates(path, compose, repeat):
    """The best of `repeat` rounds of each side, as qvn-bench measures its own: other work on
    the machine only ever slows a round down. The two sides take turns, a json.loads pass
    and then a qvn-compose run in each round, so that both meet the machine in the same
    states; the median ratio of the rounds is given beside the ratio of the bests."""
    with open(path, "rb") as f:
        lines = f.read().splitlines()
    loads = []
    composed = []
    for _ in range(repeat):
        loads.append(loads_pass(lines))
        if compose:
            composed.append(compose_run(compose, path, len(lines)))
    return loads, composed, len(lines)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--compose", help="path of qvn-compose")
    parser.add_argument("--records", type=int, default=1_000_000)
    parser.add_argument("--mix", choices=("template", "varied"), default="template")
    parser.add_argument("--repeat", type=int, default=1, help="passes of json.loads and runs of qvn-compose; the best counts")
    parser.add_argument("--write", action="store_true")
    parser.add_argument("file", nargs="?")
    args = parser.parse_args()
    path = args.file
    if args.write:
        write_records(path, args.records, args.mix)
        return 0
    temporary = None
    if path is None:
        temporary = tempfile.NamedTemporaryFile(suffix=".jsonl", delete=False)
        temporary.close()
        path = temporary.name
        write_records(path, args.records, args.mix)
    try:
        loads, composed, count = rates(path, args.compose, args.repeat)
        size = os.path.getsize(path)
        print("records: %d, %.0f bytes each on average" % (count, size / max(count, 1)))
        print("json.loads: %.0f records/s" % max(loads))
        if args.compose:
            print("qvn-compose --jsonl: %.0f records/s" % max(composed))
            rounds = sorted(c / l for c, l in zip(composed, loads))
            print("ratio: %.1f (median of the rounds %.1f, from %.1f to %.1f)" %
                  (max(composed) / max(loads), rounds[len(rounds) // 2], rounds[0], rounds[-1]))
    finally:
        if temporary is not None:
            os.unlink(path)
    return 0


if __name__ == "__main__":
    sys.exit(main())
