#!/usr/bin/env python3
"""The return-code meanings of include/vidlox.h, read from the header's own
comments, so that the tool and the host README never carry a second copy.

    header_codes.py HEADER --c OUT.cpp        table for vidlox.exe
    header_codes.py HEADER --markdown OUT.md  tables for the host README

How the header documents codes, and so what is read:
  - A comment documents the prototypes that follow it up to the next comment;
    a section comment ("/* ---- Frames ----") that is followed by another
    comment gives defaults to every function of its section, and one that
    speaks of the "codes above" keeps the previous section's defaults too.
  - A line naming only functions ("vlx_GetCodecList / vlx_GetCodecListSize")
    narrows the entries under it to those functions, up to a blank line.
  - An entry is a negative number followed by its text: "-4 device_index out
    of range", "-1: out of range, unchanged." It ends at the next entry, at a
    gap of two spaces, at the end of a sentence or of the parentheses it
    opened in, or at a line indented no deeper than its own (a continuation
    line is indented deeper, or ends the entry's text before the line's own
    first entry). Text before the first entry of a group that ends in ":"
    ("mode 0:") prefixes the group's entries.
  - Codes listed together share the text after them ("-42, -43 (the same
    steps)"), or take one alternative each ("-4 / -5 answered A / B"); a
    range "-5 ... -13 what: a, b, ..." gives each code its item when the
    counts agree.
  - An entry starting with "also" adds to the meaning the code has anyway;
    any other later entry replaces it.
  - Entries under a line naming a function documented further up (an
    extension's section adding codes to a base function) give that
    function the codes it did not have.
"""
import argparse
import re
import sys

TOKEN = re.compile(r"(?<![\w.-])-(\d+)(?:\s*\.\.\.\s*-(\d+))?(?=[\s:,;)]|\.(?:\s|$)|$)")
# What may stand before an entry on its line: nothing, a gap of two spaces, a
# list comma, a prefix colon, a sentence end, "or" ("0, or -100 ...") or an
# opening parenthesis ("(-4 also when ...)"), or a slash between codes
# ("-4 / -5 answered E_INVALIDARG / E_POINTER").
ENTRY_START = re.compile(r"(?:^\s*|\S {2,}|, |: |\. |\bor |\(|\S / )$")
ENTRY_END = re.compile(r"(?<=\S) {2,}|(?<!\.)\.(?!\.)(?=\s+[A-Z0-9`(]|\s*$)")
PROTOTYPE = re.compile(r"\bint32_t\s+(vlx_\w+)\s*\(")
SUBHEAD = re.compile(r"^\s*vlx_\w+(?:\s*[/,]\s*vlx_\w+)*\s*$")
PROSE_INDENT = 1  # " * text": paragraphs; tables are indented deeper


def comment_lines(comment):
    """The comment's lines without the /*, * and */ markers, indentation kept."""
    return [re.sub(r"^\s*\*(?!/)", "", raw, count=1).rstrip() for raw in comment[2:-2].split("\n")]


def indentation(line):
    return len(line) - len(line.lstrip(" "))


def entry_tokens(line):
    return [t for t in TOKEN.finditer(line) if ENTRY_START.search(line[: t.start()])]


def split_items(text):
    """Comma-separated items outside parentheses."""
    items, depth, current = [], 0, ""
    for ch in text:
        depth += ch == "("
        depth -= ch == ")"
        if ch == "," and depth == 0:
            items.append(current.strip())
            current = ""
        else:
            current += ch
    items.append(current.strip())
    return [i for i in items if i]


def entry_text(lines, row, token, next_token):
    """Text of the entry `token` on lines[row]: up to the next entry on the
    line, or on through the continuation lines below it."""
    line = lines[row]
    if next_token is not None:
        text = line[token.end(): next_token.start()]
    else:
        text = line[token.end():]
        own = indentation(line)
        for follow in lines[row + 1:]:
            if not follow.strip() or SUBHEAD.match(follow):
                break
            tokens = entry_tokens(follow)
            head = follow[: tokens[0].start()] if tokens else follow
            if not head.strip():
                break  # the line starts with an entry of its own
            deeper = indentation(follow) > own
            prose = own <= PROSE_INDENT == indentation(follow)
            # "-49 no compressor / with that name, -50 ...": the text before the
            # line's first entry ends this one, unless it is a group's "mode 6:".
            tail = bool(tokens) and indentation(follow) >= own and not head.strip().endswith(":")
            if not (deeper or prose or tail):
                break
            text += "\n" + head
            if tokens:
                break
    text = re.sub(r"^[\s:,/]+", "", text)
    found = ENTRY_END.search(text)
    if found:
        text = text[: found.start()]
    depth = 0
    for at, ch in enumerate(text):  # an entry inside parentheses ends with them
        depth += (ch == "(") - (ch == ")")
        if depth < 0:
            text = text[:at]
            break
    text = re.sub(r"\s+", " ", text).strip().rstrip(",;").strip()
    return re.sub(r"\s+(or|and)$", "", text)


def doc_entries(lines):
    """(scope, code, text, is_also) for every entry of one comment; scope is
    None for the whole comment or the set of functions it is narrowed to."""
    scope, prefix, prefix_indent = None, "", -1
    found = []
    for row, line in enumerate(lines):
        if not line.strip():
            scope, prefix = None, ""
            continue
        if SUBHEAD.match(line):
            scope, prefix = set(re.findall(r"vlx_\w+", line)), ""
            continue
        if indentation(line) <= prefix_indent:
            prefix, prefix_indent = "", -1
        tokens = entry_tokens(line)
        texts = [entry_text(lines, row, t, tokens[i + 1] if i + 1 < len(tokens) else None)
                 for i, t in enumerate(tokens)]
        # "-42, -43, -96 (the same steps)": the codes share the text after
        # them; "-4 / -5 answered A / B": each takes its alternative.
        for i in range(len(texts) - 2, -1, -1):
            if not texts[i]:
                texts[i] = texts[i + 1]
        start = 0
        while start < len(texts):
            end = start
            while end + 1 < len(texts) and texts[end + 1] is texts[start]:
                end += 1
            count = end - start + 1
            alternatives = re.fullmatch(r"(.*?)(\S+(?: / \S+){%d})(.*)" % (count - 1), texts[start]) \
                if count > 1 else None
            if alternatives:
                head, items, tail = alternatives.groups()
                for offset, item in enumerate(items.split(" / ")):
                    texts[start + offset] = head + item + tail
            start = end + 1
        last_end = 0
        for token, text in zip(tokens, texts):
            segment = re.split(r"\S {2,}|[.;] ", line[last_end: token.start()])[-1].strip()
            if segment.endswith(":") and not TOKEN.search(segment):
                prefix, prefix_indent = segment, indentation(line)
            last_end = token.end()
            if not text:
                continue
            first, last = int(token.group(1)), int(token.group(2) or token.group(1))
            codes = list(range(first, last + 1))
            meanings = [text] * len(codes)
            if len(codes) > 1 and ":" in text:
                head, tail = text.split(":", 1)
                items = split_items(tail)
                if len(items) == len(codes):
                    meanings = [f"{head.strip()}: {item}" for item in items]
            for code, meaning in zip(codes, meanings):
                also = meaning.startswith("also")
                if also:
                    meaning = re.sub(r"^also:?\s*", "", meaning)
                elif prefix:
                    meaning = f"{prefix} {meaning}"
                found.append((scope, -code, meaning, also))
    return found


def read_header(text):
    """{function: {code: meaning}} in the header's order of functions. A
    section comment followed by another comment gives its section's defaults;
    followed by a prototype, it is that prototype's own documentation."""
    functions = {}
    defaults, inherited, own, after_section = [], [], [], False
    for match in re.finditer(r"/\*.*?\*/|\bint32_t\s+vlx_\w+\s*\(", text, re.S):
        chunk = match.group(0)
        if chunk.startswith("/*"):
            entries = doc_entries(comment_lines(chunk))
            extend_earlier(functions, entries)
            if after_section:
                defaults = inherited + own
            if chunk[2:].lstrip().startswith("----"):
                # "share the frame codes above": the section before lends its defaults.
                inherited = defaults if "codes above" in chunk else []
                defaults = []
            own, after_section = entries, chunk[2:].lstrip().startswith("----")
            continue
        after_section = False
        functions[PROTOTYPE.match(chunk).group(1)] = merge(PROTOTYPE.match(chunk).group(1), [defaults, own])
    return functions


def extend_earlier(functions, entries):
    """Entries narrowed to a function documented further up (an extension
    that gives a base function more codes: "vlx_Open" under an extension's
    heading) give that function the codes it did not have."""
    for scope, code, meaning, also in entries:
        for name in sorted(scope or ()):
            if name not in functions:
                continue
            table = functions[name]
            if code in table:
                continue  # the function's own meaning stands
            table[code] = meaning
            functions[name] = dict(sorted(table.items(), key=lambda item: -item[0]))


def merge(name, docs):
    """Later docs replace earlier ones code by code; "also" entries add."""
    base, extra = {}, {}
    for doc in docs:
        for scope, code, meaning, also in doc:
            if scope is not None and name not in scope:
                continue
            if also:
                extra.setdefault(code, []).append(meaning)
            else:
                base[code] = meaning
    for code, additions in extra.items():
        parts = ([base[code]] if code in base else []) + [("also " if code in base else "") + a for a in additions]
        base[code] = "; ".join(parts)
    return dict(sorted(base.items(), key=lambda item: -item[0]))


def c_string(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def write_c(functions, out):
    out.write("// Generated by tools/vidlox/header_codes.py from include/vidlox.h: do not edit.\n")
    out.write('#include "code_meanings.h"\n\n')
    out.write("const vlx_code_meaning vlx_code_meanings[] = {\n")
    for name, codes in functions.items():
        for code, meaning in codes.items():
            out.write(f"    {{{c_string(name)}, {code}, {c_string(meaning)}}},\n")
    out.write("    {nullptr, 0, nullptr},\n};\n")


def write_markdown(functions, out):
    for name, codes in functions.items():
        if not codes:
            continue
        out.write(f"`{name}`\n\n| Code | Meaning |\n|---|---|\n")
        for code, meaning in codes.items():
            out.write(f"| {code} | {meaning.replace('|', '/')} |\n")
        out.write("\n")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("header")
    parser.add_argument("--c")
    parser.add_argument("--markdown")
    args = parser.parse_args()
    with open(args.header, encoding="utf-8") as f:
        functions = read_header(f.read())
    if not functions:
        sys.exit("no vlx_ prototypes found in " + args.header)
    if args.c:
        with open(args.c, "w", encoding="utf-8") as out:
            write_c(functions, out)
    if args.markdown:
        with open(args.markdown, "w", encoding="utf-8") as out:
            write_markdown(functions, out)
    if not args.c and not args.markdown:
        write_markdown(functions, sys.stdout)


if __name__ == "__main__":
    main()
