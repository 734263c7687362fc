#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""translations/corvane_en.ts translates every text of translations/corvane_zh_CN.ts: each
message has a finished translation, with the same placeholders as its source (%1 … %99, %n, in
any order) and no Chinese left in it; a %n text has both English forms.

    check_english.py SOURCE_ROOT

Exit status 0 when everything holds, 1 with the findings on stderr otherwise."""

import collections
import os
import re
import sys
import xml.etree.ElementTree as ET

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from check_catalogue import REFRESH, has_cjk  # noqa: E402

PLACEHOLDER = re.compile(r"%(?:L?[1-9][0-9]?|n)")


def placeholders(text):
    """The placeholders of text, counted (%L1 counts as %1: both take the first argument)."""
    return collections.Counter(p.replace("L", "") for p in PLACEHOLDER.findall(text))


def message_problems(source, numerus, finished, forms):
    """What is wrong with one message's translation: its source, whether it counts (%n), whether
    it is marked finished, and its text (one form, or each numerus form)."""
    if not finished:
        return ["not finished"]
    expected = 2 if numerus else 1
    if len(forms) != expected:
        return [f"{len(forms)} forms instead of {expected}"]
    problems = []
    for form in forms:
        if not form.strip():
            problems.append("empty")
        elif placeholders(form) != placeholders(source):
            problems.append(f"placeholders differ: {form!r}")
        elif has_cjk(form):
            problems.append(f"Chinese left: {form!r}")
    return problems


# The rule on its own: source, numerus, finished, forms, and whether it is accepted.
SELF_CHECKS = [
    ("plain", "复制", False, True, ["Copy"], True),
    ("unfinished", "复制", False, False, ["Copy"], False),
    ("empty", "复制", False, True, [""], False),
    ("placeholders moved", "「%1」有 %2 页", False, True, ["%2 pages in “%1”"], True),
    ("placeholder lost", "「%1」有 %2 页", False, True, ["“%1” has pages"], False),
    ("placeholder doubled", "%1", False, True, ["%1 %1"], False),
    ("placeholder renumbered", "输入 %1", False, True, ["Input %2"], False),
    ("localized argument", "输入 %L1", False, True, ["Input %1"], True),
    ("percent sign", "100%", False, True, ["100%"], True),
    ("chinese left", "重试", False, True, ["重试 Retry"], False),
    ("full-width colon", "%1：%2", False, True, ["%1：%2"], False),
    ("both plural forms", "已恢复 %n 个对话", True, True,
     ["Restored %n chat", "Restored %n chats"], True),
    ("one plural form", "已恢复 %n 个对话", True, True, ["Restored %n chats"], False),
    ("plural form without %n", "已恢复 %n 个对话", True, True,
     ["Restored one chat", "Restored %n chats"], False),
]


def self_check():
    return [f"  {name}: {'accepted' if ok else 'refused'} wrongly"
            for name, source, numerus, finished, forms, ok in SELF_CHECKS
            if (not message_problems(source, numerus, finished, forms)) != ok]


def messages(path):
    """(context, source) -> (numerus, finished, forms) for every message of a catalogue."""
    found = {}
    for ctx in ET.parse(path).getroot().iter("context"):
        for msg in ctx.iter("message"):
            translation = msg.find("translation")
            numerus = msg.get("numerus") == "yes"
            kind = translation.get("type") if translation is not None else "unfinished"
            if translation is None:
                forms = []
            elif numerus:
                forms = [f.text or "" for f in translation.iter("numerusform")]
            else:
                forms = [translation.text or ""]
            found[(ctx.findtext("name") or "", msg.findtext("source") or "")] = (
                numerus, kind is None, forms)
    return found


def check(root):
    failures = self_check()
    if failures:
        return ["The rule itself is wrong:"] + failures
    folder = os.path.join(root, "translations")
    try:
        sources = messages(os.path.join(folder, "corvane_zh_CN.ts"))
        english = messages(os.path.join(folder, "corvane_en.ts"))
    except (OSError, ET.ParseError) as e:
        return [f"A catalogue cannot be read: {e}"]
    missing = sorted(set(sources) - set(english))
    stale = sorted(set(english) - set(sources))
    if missing or stale:
        failures += [f"translations/corvane_en.ts is behind the sources; refresh it with "
                     f"`{REFRESH}` and translate what is new."]
        failures += [f"  not in it: [{c}] {s!r}" for c, s in missing]
        failures += [f"  no longer in the sources: [{c}] {s!r}" for c, s in stale]
    for (context, source), (numerus, finished, forms) in sorted(english.items()):
        failures += [f"  [{context}] {source!r}: {problem}"
                     for problem in message_problems(source, numerus, finished, forms)]
    return failures


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: check_english.py SOURCE_ROOT")
    problems = check(sys.argv[1])
    print("\n".join(problems), file=sys.stderr)
    sys.exit(1 if problems else 0)
