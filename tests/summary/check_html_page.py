#!/usr/bin/env python3
"""Checks the summary's HTML page as a browser rendered it.

    check_html_page.py WORK

WORK holds fleet.json and summary.txt (the summary's outputs), dom.html
(Chromium's --dump-dom), net.json (its net log) and screenshot.png. Checks
that the charts show the summary's numbers, that the page loads nothing,
and that markup in a report stays text.
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
        if tag == "g" and self.chart and "data-count" in attrs:
            self.charts[self.chart].append((attrs["data-label"], int(attrs["data-count"])))

    def handle_endtag(self, tag):
        if tag == "svg":
            self.chart = None

    def handle_data(self, data):
        self.text.append(data)
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

    for failure in failures:
        print("FAIL:", failure)
    print("charts:", dict(page.charts))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
