#!/usr/bin/env python3
"""Renders the user guide (docs/guide/*.md) to HTML pages with the screenshots they show.

    render-guide.py SOURCE_DIR OUTPUT_DIR

Each SOURCE_DIR/NAME.md becomes OUTPUT_DIR/NAME.html; an image the guide shows from the docs
folder (../screenshot.png, ../screenshots/NAME.png, as the Markdown links them so that they also
show in the source) is copied to OUTPUT_DIR/images/ and linked from there. Headings get the ids
the guide's own links use (lower case, words joined by "-")."""

import re
import shutil
import sys
from pathlib import Path

import markdown

STYLE = """
body { font-family: 'DejaVu Sans', sans-serif; max-width: 60em; margin: 2em auto; padding: 0 1em;
       line-height: 1.5; color: CanvasText; background: Canvas; }
img { max-width: 100%; border: 1px solid GrayText; }
table { border-collapse: collapse; }
th, td { border: 1px solid GrayText; padding: 0.3em 0.6em; vertical-align: top; text-align: left; }
code { font-family: 'DejaVu Sans Mono', monospace; }
"""


def render(source: Path, output: Path) -> None:
    output.mkdir(parents=True, exist_ok=True)
    (output / "images").mkdir(exist_ok=True)
    docs = source.parent
    for page in sorted(source.glob("*.md")):
        text = page.read_text(encoding="utf-8")

        def local_image(match: re.Match) -> str:
            image = (source / match[2]).resolve()
            if not image.is_file() or docs.resolve() not in image.parents:
                sys.exit(f"render-guide: {page.name} shows {match[2]}, which is not a file in {docs}")
            shutil.copyfile(image, output / "images" / image.name)
            return f"{match[1]}(images/{image.name})"

        text = re.sub(r"(!\[[^\]]*\])\(([^)\s]+\.png)\)", local_image, text)
        body = markdown.markdown(text, extensions=["tables", "toc"], output_format="html")
        title = next((line[2:].strip() for line in text.splitlines() if line.startswith("# ")), page.stem)
        html = (f'<!DOCTYPE html>\n<html lang="en">\n<head>\n<meta charset="utf-8">\n'
                f'<meta name="viewport" content="width=device-width, initial-scale=1">\n'
                f"<title>{title}</title>\n<style>{STYLE}</style>\n</head>\n<body>\n{body}\n</body>\n</html>\n")
        (output / (page.stem + ".html")).write_text(html, encoding="utf-8")


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit("usage: render-guide.py SOURCE_DIR OUTPUT_DIR")
    render(Path(sys.argv[1]), Path(sys.argv[2]))
