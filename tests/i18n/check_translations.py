#!/usr/bin/python3
"""Checks that a translation is complete: lupdate is run over the sources into a copy of the .ts
file, and the check fails on any text the translation lacks (new in the sources), any text it
still carries that the sources no longer have, and any translation that loses or adds a %1..%9
place holder of its source.

usage: check_translations.py LUPDATE SOURCE_DIR TS_FILE...
"""
import re
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree
from pathlib import Path

PLACE_HOLDER = re.compile(r"%[1-9]")


def problems_of(ts_path):
    problems = []
    for context in ElementTree.parse(ts_path).getroot().iter("context"):
        name = context.findtext("name")
        for message in context.iter("message"):
            source = message.findtext("source") or ""
            translation = message.find("translation")
            kind = translation.get("type") if translation is not None else "missing"
            where = f"{name}: {source!r}"
            if kind in ("vanished", "obsolete"):
                problems.append(f"no longer in the sources: {where}")
            elif kind == "unfinished" or translation is None or not (translation.text or "").strip():
                problems.append(f"not translated: {where}")
            elif sorted(PLACE_HOLDER.findall(source)) != sorted(PLACE_HOLDER.findall(translation.text)):
                problems.append(f"place holders differ: {where} -> {translation.text!r}")
    return problems


def main():
    lupdate, sources, *ts_files = sys.argv[1:]
    failed = False
    for ts_file in ts_files:
        with tempfile.TemporaryDirectory() as scratch:
            copy = Path(scratch) / Path(ts_file).name
            shutil.copyfile(ts_file, copy)
            subprocess.run([lupdate, "-locations", "none", "-extensions", "cpp,h",
                            "-tr-function-alias", "QT_TRANSLATE_NOOP+=ORVANE_TRANSLATE_NOOP", sources, "-ts", str(copy)],
                           check=True, stdout=subprocess.DEVNULL)
            problems = problems_of(copy)
        for problem in problems:
            print(f"{Path(ts_file).name}: {problem}")
        print(f"{Path(ts_file).name}: {len(problems)} problem(s)")
        failed = failed or bool(problems)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
