#!/usr/bin/env python3
"""Checks the summary's HTML page as a browser rendered it.

    check_html_page.py WORK

WORK holds fleet.json and summary.txt (the summary's outputs), dom.html
(Chromium's --dump-dom), net.json (its net log) and screenshot.png. Checks
that the charts show the summary's numbers, that the headline and the
status chart equal a recount of the JSON, that each blocker's <details>
holds the endpoints it holds back, that the page loads nothing, and that
markup in a report stays text. With compare.json and compare-dom.html (a
second run with --compare), that each moved endpoint unfolds by name.
"""
import collections
import html.parser
import json
import os
import sys

FORBIDDEN_TAGS = {"script", "link", "img", "iframe", "object", "embed", "video", "audio",
                  "source", "frame", "base", "form"}
FORBIDDEN_ATTRS = {"src", "href", "srcset", "action", "formaction", "poster", "background",
                   "data", "xlink:href"}


class Page(html.parser.HTMLParser):
    def __init__(self):
        super().__init__()
        self.charts = collections.defaultdict(list)  # id -> [(label, count)]
        self.chart = None
        self.tags = collections.Counter()
        self.problems = []
        self.text = []
        self.csp = None
        self.headline = None
        self.in_headline = False
        # Table id -> rows of [first cell, [names in its <details>], summary text],
        # for the blockers and the actions.
        self.rows = {"blockers": [], "actions": []}
        self.move_rows = []  # [from, to, [names in its <details>]]
        self.table = None
        self.cell = None
        self.column = 0

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        self.tags[tag] += 1
        if tag in FORBIDDEN_TAGS:
            self.problems.append("element <%s> in the page" % tag)
        for name, value in attrs.items():
            if name in FORBIDDEN_ATTRS or name.startswith("on"):
                self.problems.append("attribute %s=%r on <%s>" % (name, value, tag))
            if value and "url(" in value:
                self.problems.append("url( in %s of <%s>" % (name, tag))
        if tag == "meta" and attrs.get("http-equiv", "").lower() == "content-security-policy":
            self.csp = attrs.get("content", "")
        if tag == "svg":
            self.chart = attrs.get("id")
        if tag == "p" and attrs.get("id") == "headline":
            self.in_headline, self.headline = True, ""
        if tag == "table":
            self.table = attrs.get("id")
        if self.table == "moves":
            if tag == "tr":
                self.move_rows.append(["", "", []])
                self.column = 0
            elif tag == "td":
                self.column += 1
                self.cell = self.column
            elif tag == "li" and self.column == 3 and "class" not in attrs:
                self.move_rows[-1][2].append("")
        if self.table in self.rows:
            rows = self.rows[self.table]
            if tag == "tr":
                rows.append(["", [], ""])
                self.column = 0
            elif tag == "td":
                self.column += 1
                self.cell = self.column
            elif tag == "li" and self.column == 2:
                rows[-1][1].append("")
            elif tag == "summary":
                self.cell = "summary"
        if tag == "g" and self.chart and "data-count" in attrs:
            self.charts[self.chart].append((attrs["data-label"], int(attrs["data-count"])))

    def handle_endtag(self, tag):
        if tag == "svg":
            self.chart = None
        if tag == "p":
            self.in_headline = False
        if tag == "table":
            self.table = None
        if tag in ("td", "summary"):
            self.cell = self.column if tag == "summary" else None

    def handle_data(self, data):
        self.text.append(data)
        if self.in_headline:
            self.headline += data
        if self.table == "moves" and self.move_rows:
            row = self.move_rows[-1]
            if self.cell in (1, 2):
                row[self.cell - 1] += data
            elif self.cell == 3 and row[2]:
                row[2][-1] += data
        if self.table in self.rows and self.rows[self.table]:
            row = self.rows[self.table][-1]
            if self.cell == 1:
                row[0] += data
            elif self.cell == "summary":
                row[2] += data
            elif self.cell == 2 and row[1]:
                row[1][-1] += data
        if "url(" in data and self.tags["style"]:
            self.problems.append("url( in a style")


def summary_counts(text):
    """The text summary's blocks: title -> [(label, count)]."""
    blocks, current = {}, None
    for line in text.splitlines():
        if line.endswith(":") and not line.startswith(" "):
            current = blocks.setdefault(line, [])
        elif current is not None and line.startswith("  ") and line.strip()[:1].isdigit():
            count, label = line.strip().split("  ", 1)
            current.append((label.strip(), int(count)))
        elif not line.startswith(" "):
            current = None
    return blocks


def verdict_counts(endpoints, key):
    counts = collections.Counter(e[key]["verdict"] for e in endpoints)
    return sorted(counts.items())


STATUSES = ["encodes in hardware (GPU)", "encodes in hardware (camera only)",
            "would encode after a driver update", "cannot encode in hardware", "unknown"]


def expected_headline(endpoints):
    counts = collections.Counter(e["status"] for e in endpoints)
    total = len(endpoints)
    hardware = counts[STATUSES[0]] + counts[STATUSES[1]]
    tenths = hardware * 1000 // total if total else 0
    percent = str(tenths // 10) + ("." + str(tenths % 10) if tenths % 10 else "")
    return ("%d of %d endpoints (%s%%) encode H.264 in hardware; %d more would after a driver "
            "update; %d cannot; %d unknown" % (hardware, total, percent, counts[STATUSES[2]],
                                               counts[STATUSES[3]], counts[STATUSES[4]]))


GPU_UNKNOWN = ("re-run the checker", "install the graphics vendor's display driver",
               "run the ARM64 build")


def held_back(endpoints, reason):
    """Endpoints the JSON says a refusal reason, or the missing encoder, holds back:
    those that do not encode in hardware, and the GPU of those that encode
    through a camera only, unless the GPU's own story is unknown."""
    names = set()
    for e in endpoints:
        gpu = e["action"].split("for the GPU: ", 1)[-1]
        camera_only = e["status"] == STATUSES[1] and not gpu.startswith(GPU_UNKNOWN)
        if e["status"] not in STATUSES[2:4] and not camera_only:
            continue
        # An AMD model that the fleet shows refused by device ID counts as that
        # refusal, not as the refusal by driver version its report gives.
        by_fleet = "showed it refused by device ID (" in e["action"] and \
            "update the driver of AMD" not in e["action"]
        reasons = [x["reason"] for x in e["encoders"]
                   if not (by_fleet and x["reason"].startswith("AMD") and "driver version" in x["reason"])]
        if reason in reasons or "refused by device ID (%s)" % reason in e["action"] or \
                (reason == "No hardware H.264 encoder" and e["no_encoders"]):
            names.add(e["endpoint"])
    return names


def check_actions(page, endpoints):
    """Each action's folded list holds exactly the endpoints the JSON gives it."""
    failures = []
    rows = [r for r in page.rows["actions"] if r[0]]
    recount = collections.defaultdict(set)
    for e in endpoints:
        if e["action"]:
            recount[e["action"]].add(e["endpoint"])
    if sorted(r[0] for r in rows) != sorted(recount):
        failures.append("actions %d on the page, %d in the JSON" % (len(rows), len(recount)))
    for action, names, summary in rows:
        if int(summary.split()[0]) != len(names) or set(names) != recount[action]:
            failures.append("%s: %s listed, the JSON says %s" % (action, sorted(names)[:5],
                                                                sorted(recount[action])[:5]))
    return failures


def check_blockers(page, endpoints):
    failures = []
    rows = [r for r in page.rows["blockers"] if r[0]]
    if not rows:
        failures.append("no blockers table")
    for reason, names, summary in rows:
        count = int(summary.split()[0])
        if len(names) != count:
            failures.append("%s: %d endpoints listed, %d counted" % (reason, len(names), count))
        recount = held_back(endpoints, reason)
        if recount and set(names) != recount:
            failures.append("%s holds back %s, the JSON says %s" % (reason, sorted(names)[:5],
                                                                    sorted(recount)[:5]))
    return failures


def check_moves(work):
    """The page of a second summary run with --compare: each from -> to row
    unfolds to the endpoints the JSON says moved so."""
    compare = json.load(open(os.path.join(work, "compare.json"), encoding="utf-8"))["compare"]
    page = Page()
    page.feed(open(os.path.join(work, "compare-dom.html"), encoding="utf-8").read())
    moved = collections.defaultdict(set)
    for move in compare["moved"]:
        moved[(move["from"] or "(no status)", move["to"])].add(move["endpoint"])
    shown = {(f, t): set(names) for f, t, names in page.move_rows if f}
    failures = page.problems
    if not moved:
        failures.append("the second fleet moved no endpoint")
    if shown != moved:
        failures.append("moves on the page %s, the JSON says %s" % (
            sorted((k, len(v)) for k, v in shown.items()), sorted((k, len(v)) for k, v in moved.items())))
    return failures


def main(work):
    failures = []
    fleet = json.load(open(os.path.join(work, "fleet.json"), encoding="utf-8"))
    text = open(os.path.join(work, "summary.txt"), encoding="utf-8").read()
    page = Page()
    page.feed(open(os.path.join(work, "dom.html"), encoding="utf-8").read())
    blocks = summary_counts(text)

    # Charts against the text summary, and the verdicts against a recount of the JSON.
    for chart, title in (("chart-encoding", "H.264 encoding:"), ("chart-decoding", "H.264 decoding:")):
        if page.charts[chart] != blocks.get(title):
            failures.append("%s shows %s, the summary says %s" % (chart, page.charts[chart], blocks.get(title)))
    for chart, key in (("chart-encoding", "encoding"), ("chart-decoding", "decoding")):
        if sorted(page.charts[chart]) != verdict_counts(fleet["endpoints"], key):
            failures.append("%s disagrees with a recount of the JSON" % chart)
    leading = blocks.get("Leading blockers of hardware encoding (endpoints):", [])
    if not leading or page.charts["chart-blockers"][:len(leading)] != leading:
        failures.append("blocker chart %s, summary %s" % (page.charts["chart-blockers"], leading))
    endpoints = sum(count for _, count in page.charts["chart-encoding"])
    if "Endpoints read: %d\n" % endpoints not in text or endpoints != len(fleet["endpoints"]):
        failures.append("the encoding chart adds up to %d endpoints" % endpoints)

    # The headline and the status chart against a recount of the JSON; each
    # blocker's folded list against the endpoints it holds back.
    if page.headline != expected_headline(fleet["endpoints"]):
        failures.append("headline %r, the JSON says %r" % (page.headline,
                                                          expected_headline(fleet["endpoints"])))
    if not text.startswith(expected_headline(fleet["endpoints"]) + "\n"):
        failures.append("the text summary does not start with the headline")
    recount = collections.Counter(e["status"] for e in fleet["endpoints"])
    if page.charts["chart-status"] != [(s, recount[s]) for s in STATUSES]:
        failures.append("status chart %s, the JSON says %s" % (page.charts["chart-status"], recount))
    if page.tags["details"] != page.tags["summary"] or \
            page.tags["details"] < len(page.rows["blockers"]) + len(page.rows["actions"]) - 2:
        failures.append("blockers or actions without their <details>")
    failures += check_blockers(page, fleet["endpoints"])
    failures += check_actions(page, fleet["endpoints"])

    # Nothing from outside: no element or attribute that fetches, a strict policy,
    # and no request for the image hidden in a device name.
    failures += page.problems
    if not page.csp or "default-src 'none'" not in page.csp:
        failures.append("no Content-Security-Policy default-src 'none'")
    net = open(os.path.join(work, "net.json"), encoding="utf-8").read()
    if "summary-canary" in net:
        failures.append("the browser asked for the image named in a report")

    # Markup from a report is text.
    alltext = "".join(page.text)
    if "<script>alert(1)</script><img src=http://summary-canary.invalid/x.png>" not in alltext:
        failures.append("the hostile GPU name is not shown as text")

    shot = open(os.path.join(work, "screenshot.png"), "rb").read()
    if not shot.startswith(b"\x89PNG") or len(shot) < 20000:
        failures.append("screenshot missing or blank (%d bytes)" % len(shot))

    if os.path.exists(os.path.join(work, "compare-dom.html")):
        failures += check_moves(work)

    for failure in failures:
        print("FAIL:", failure)
    print("charts:", dict(page.charts))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
