#!/usr/bin/env python3
"""Lists the instructions of an ARM64 disassembly (llvm-objdump -d, on standard
input) that write x18 or w18. Windows ARM64 keeps the thread's TEB in x18 and
restores it at any moment; code that writes it corrupts every thread-local
access after it. Prints each such instruction; exits 1 when there is one."""
import re
import sys

REG = re.compile(r"^[xw]18$")
# First operand only read (stores, compares, branches, system writes).
READS_FIRST = re.compile(r"^(st(?!x|lx)[a-z0-9]*|cmp|cmn|tst|ccmp|ccmn|fcmp|fccmp|cbn?z|tbn?z|"
                         r"b(\..*)?|bl|br|blr|ret|msr|prfm|prfum|dc|ic|tlbi|sys|hint|bti)$")
# Two registers loaded.
LOADS_PAIR = re.compile(r"^(ld[a-z]*p[a-z]*|ldnp)$")


def operands(text):
    parts, depth, current = [], 0, ""
    for ch in text:
        depth += ch in "[{"
        depth -= ch in "]}"
        if ch == "," and depth == 0:
            parts.append(current.strip())
            current = ""
        else:
            current += ch
    if current.strip():
        parts.append(current.strip())
    return parts


def writes_x18(mnemonic, ops):
    # A base register written back ([x18, #8]! or [x18], #8).
    for i, op in enumerate(ops):
        if re.match(r"^\[x18(,.*)?\]!$", op) or (op == "[x18]" and i + 1 < len(ops)):
            return True
    if not ops:
        return False
    if LOADS_PAIR.match(mnemonic):
        return any(REG.match(op) for op in ops[:2])
    if READS_FIRST.match(mnemonic):
        return False
    return bool(REG.match(ops[0]))


found = 0
for line in sys.stdin:
    m = re.match(r"^\s*([0-9a-f]+):\s+(?:[0-9a-f]{2} ?){0,4}\s*([a-z][a-z0-9.]*)\s*(.*)$", line)
    if not m:
        continue
    mnemonic, rest = m.group(2), m.group(3).split("//")[0].split(";")[0]
    if writes_x18(mnemonic, operands(rest)):
        print(line.rstrip())
        found += 1
sys.exit(1 if found else 0)
