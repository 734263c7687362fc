#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Every Chinese text in the program's C++ and QML goes through the translation markers, and
translations/corvane_zh_CN.ts holds exactly the marked texts.

    check_catalogue.py SOURCE_ROOT

The sources are read as text: comments are skipped, string literals are collected with the call
they are an argument of. The reader checks itself on a few snippets first. Exit status 0 when
everything holds, 1 with the findings on stderr otherwise."""

import os
import re
import sys
import xml.etree.ElementTree as ET

REFRESH = "cmake --build build --target update_translations"

# Chinese literals the user never reads, by file name (wherever the file moves) and text.
ALLOWED = {
    # Typeset once at start so that the fallback fonts are loaded before the first frame.
    ("theme.cpp", "你好，这是一个测试：“中文”与 English text — 123, (ok)! 的了我"),
    # Words looked for in a gateway's answer, and where a stored failure's description parts.
    ("failurenotice.cpp", "上下文"),
    ("failurenotice.cpp", "图片"),
    ("failurenotice.cpp", "图像"),
    ("failurenotice.cpp", "工具"),
    ("failurenotice.cpp", "支持"),
    ("failurenotice.cpp", "：\n"),
    # The language menu: each language names itself, in every interface language.
    ("Main.qml", "中文"),
}

BY_CLASS = {"tr", "qsTr", "QT_TR_NOOP", "QT_TR_N_NOOP"}
WITH_CONTEXT = {"translate", "qsTranslate", "QT_TRANSLATE_NOOP", "QT_TRANSLATE_N_NOOP",
                "QT_TRANSLATE_NOOP3"}
RAW_PREFIXES = {"R", "uR", "u8R", "UR", "LR"}
ENCODING_PREFIXES = {"u", "u8", "U", "L"}
HEX = "0123456789abcdefABCDEF"


def has_cjk(text):
    """Han, kana, Hangul and the full-width forms: the scripts of a text meant for a reader."""
    return any(0x2E80 <= u <= 0x9FFF or 0xAC00 <= u <= 0xD7AF or 0xF900 <= u <= 0xFAFF
               or 0xFE30 <= u <= 0xFE4F or 0xFF00 <= u <= 0xFFEF or 0x20000 <= u <= 0x2FFFF
               for u in map(ord, text))


def is_ident(c):
    return c.isalnum() or c in "_$"


class Literal:
    def __init__(self, line, text):
        self.line, self.text, self.marked = line, text, False
        self.context = ""  # the catalogue context, when the source names it


def scan(code, qml, file_context):
    """The string literals of code, in order, each marked or not."""
    literals = []
    frames = []  # per open bracket: [callee, qualifier, argument, context]
    pos, line, n = 0, 1, len(code)
    last, ident, qualifier = "other", "", ""

    def add(at, text):
        nonlocal last
        if not qml and last == "literal":  # adjacent literals are one text in C++
            literals[-1].text += text
            return
        last = "literal"
        lit = Literal(at, text)
        if frames:
            frame = frames[-1]
            if frame[0] in BY_CLASS and frame[2] == 0:
                lit.marked, lit.context = True, file_context if qml else frame[1]
            elif frame[0] in WITH_CONTEXT and frame[2] == 0:
                frame[3] = text
            elif frame[0] in WITH_CONTEXT and frame[2] == 1:
                lit.marked, lit.context = True, frame[3]
        literals.append(lit)

    def escape():
        """The character after a backslash, decoded; pos is on it."""
        nonlocal pos, line
        c = code[pos]
        pos += 1
        most = {"x": 2 if qml else 8, "u": 4, "U": 8}.get(c)
        if most:
            end = pos
            while end < n and end - pos < most and code[end] in HEX:
                end += 1
            value = int(code[pos:end] or "0", 16)
            pos = end
            return chr(value) if value <= 0x10FFFF else "\ufffd"
        if c == "\n":  # a continued line
            line += 1
            return ""
        return {"n": "\n", "t": "\t", "r": "\r"}.get(c, c)

    while pos < n:
        c = code[pos]
        if c == "\n":
            line += 1
        if c.isspace():
            pos += 1
        elif code.startswith("//", pos):
            end = code.find("\n", pos)
            pos = n if end < 0 else end
        elif code.startswith("/*", pos):
            end = code.find("*/", pos + 2)
            stop = n if end < 0 else end + 2
            line += code.count("\n", pos, stop)
            pos = stop
        elif c.isdecimal():
            # A number, with C++'s digit separators (60'000) and suffixes.
            while pos < n and (is_ident(code[pos]) or code[pos] == "."
                               or (not qml and code[pos] == "'")):
                pos += 1
            last = "other"
        elif is_ident(c):
            start = pos
            while pos < n and is_ident(code[pos]):
                pos += 1
            word = code[start:pos]
            after = code[pos] if pos < n else ""
            if not qml and after == '"' and word in RAW_PREFIXES:
                at = line
                opening = code.index("(", pos)
                end = ")" + code[pos + 1:opening] + '"'
                close = code.index(end, opening)
                text = code[opening + 1:close]
                line += text.count("\n")
                pos = close + len(end)
                add(at, text)
            elif not qml and after in ('"', "'") and word in ENCODING_PREFIXES:
                pass  # the literal follows
            else:
                qualifier = ident if last == "scope" else ""
                ident, last = word, "identifier"
        elif c in "\"'" or (qml and c == "`"):
            at, text = line, []
            pos += 1
            while pos < n and code[pos] != c:
                ch = code[pos]
                pos += 1
                if ch == "\n":
                    line += 1
                text.append(escape() if ch == "\\" and pos < n else ch)
            pos += 1
            add(at, "".join(text))
        elif code.startswith("::", pos):
            pos += 2
            last = "scope" if last == "identifier" else "other"
        else:
            pos += 1
            if c in "([{":
                callee = c == "(" and last == "identifier"
                frames.append([ident if callee else "", qualifier if callee else "", 0, ""])
            elif c in ")]}":
                if frames:
                    frames.pop()
            elif c == "," and frames:
                frames[-1][2] += 1
            last = "other"
    return literals


# The reader itself: code, is it QML, the marked texts ("context|text", "|text" when unnamed),
# and the unmarked Chinese ones.
SELF_CHECKS = [
    ("tr", 'return tr("没有"), Foo::tr("有 %n 个", nullptr, n);', False,
     ["|没有", "Foo|有 %n 个"], []),
    ("translate and noop",
     'QCoreApplication::translate("Math", "公式"); '
     'QStringLiteral("## " QT_TRANSLATE_NOOP("Stored", "用户") "**\\n")', False,
     ["Math|公式", "Stored|用户"], []),
    ("a literal around a marked one", 'tr("失败：%1").arg(QStringLiteral("原因"))', False,
     ["|失败：%1"], ["原因"]),
    ("unmarked forms",
     'QString s = u"甲"_s + QLatin1String("x") + u8"乙"; f(R"x(丙")x"); g(\'丁\');', False,
     [], ["甲", "乙", '丙"', "丁"]),
    ("comments", '// "甲"\n/* tr("乙") "丙" */ tr("丁")', False, ["|丁"], []),
    ("adjacent, escapes", 'tr("上" "下\\n\\"引\\"\\x4e2d")', False, ['|上下\n"引"中'], []),
    ("quotes that are not literals", 'c == \'"\' ? 60\'000 : tr("甲"); x = "乙";', False,
     ["|甲"], ["乙"]),
    ("qml", "Label { text: qsTr(\"保存\") + 'x'; tip: \"提示\"; t: `模板` }", True,
     ["View|保存"], ["提示", "模板"]),
    ("qml qsTranslate", 'text: qsTranslate("Stored", "新对话")', True, ["Stored|新对话"], []),
]


def self_check():
    failures = []
    for name, code, qml, marked, unmarked in SELF_CHECKS:
        lits = scan(code, qml, "View")
        found = [l.context + "|" + l.text for l in lits if l.marked]
        found_unmarked = [l.text for l in lits if not l.marked and has_cjk(l.text)]
        if (found, found_unmarked) != (marked, unmarked):
            failures.append(f"  {name}: marked {found!r}, unmarked {found_unmarked!r}; "
                            f"expected {marked!r}, {unmarked!r}")
    return failures


def source_literals(src):
    """Each source file under src, relative, with its literals."""
    for folder, _, names in sorted(os.walk(src)):
        for name in sorted(names):
            base, ext = os.path.splitext(name)
            if ext in (".cpp", ".h", ".qml"):
                path = os.path.join(folder, name)
                with open(path, encoding="utf-8") as f:
                    yield os.path.relpath(path, src), scan(f.read(), ext == ".qml", base)


def catalogue(path):
    """Context and source of every message of the catalogue."""
    return {(ctx.findtext("name") or "", msg.findtext("source") or "")
            for ctx in ET.parse(path).getroot().iter("context")
            for msg in ctx.iter("message")}


def described(context, text):
    return f"  [{context or '?'}] {text}"


def check(root):
    failures = self_check()
    if failures:
        return ["The literal reader is wrong:"] + failures
    files = list(source_literals(os.path.join(root, "src")))
    if len(files) <= 50:
        return [f"Too few sources under {root}/src"]

    # A Chinese text is shown to the user, so it goes through tr() (qsTr() in QML), or
    # through QT_TRANSLATE_NOOP("Stored", …) when it is written into a file.
    unmarked = [f'  {file}:{l.line}: "{l.text}"' for file, lits in files for l in lits
                if not l.marked and has_cjk(l.text)
                and (os.path.basename(file), l.text) not in ALLOWED]
    if unmarked:
        failures += ["Chinese text outside tr()/qsTr()/QT_TRANSLATE_NOOP():"] + unmarked

    # Each exception still names a literal that is there, so the list cannot outlive its use.
    seen = {(os.path.basename(file), l.text) for file, lits in files for l in lits}
    failures += [f"Allowed but no longer in the sources: {f}: {t}"
                 for f, t in sorted(ALLOWED - seen)]

    # The committed catalogue lists every marked text, and nothing else. A bare tr() in C++
    # names no context: the class is not read here.
    try:
        listed = catalogue(os.path.join(root, "translations", "corvane_zh_CN.ts"))
    except (OSError, ET.ParseError) as e:
        return failures + [f"translations/corvane_zh_CN.ts cannot be read: {e}"]
    marked = {(l.context, l.text) for _, lits in files for l in lits if l.marked and l.context}
    unnamed = {l.text for _, lits in files for l in lits if l.marked and not l.context}
    if not marked or not unnamed:
        return failures + ["No marked texts found in the sources"]
    listed_texts = {text for _, text in listed}
    missing = sorted([described(*m) for m in marked - listed] +
                     [described("", t) for t in unnamed - listed_texts])
    stale = sorted(described(*m) for m in listed if m not in marked and m[1] not in unnamed)
    if missing or stale:
        failures += [f"translations/corvane_zh_CN.ts is behind the sources; refresh it with "
                     f"`{REFRESH}`.", "Not in it:"] + missing + ["No longer in the sources:"] + stale
    return failures


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: check_catalogue.py SOURCE_ROOT")
    problems = check(sys.argv[1])
    print("\n".join(problems), file=sys.stderr)
    sys.exit(1 if problems else 0)
