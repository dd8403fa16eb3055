#!/usr/bin/env python3
"""Puts the web edition together: build/web/ with the page, its modules, the core's script and wasm
and the click sound, and orvane.html, the same page in one file (wasm, script, style and sound inside)
that works when opened from disk, where a browser loads no modules and fetches no files.

  assemble.py WASM_BUILD_DIR CLICK_WAV OUT_DIR
"""
import base64
import pathlib
import re
import shutil
import sys

PAGE = pathlib.Path(__file__).resolve().parent / 'page'
IMPORT = re.compile(r"^import\s*\{[^}]*\}\s*from\s*'\./([a-z_]+\.js)';\s*$", re.M)


def modules_in_order(name, seen, order):
    """The page's modules, each after those it imports."""
    if name in seen:
        return
    seen.add(name)
    text = (PAGE / name).read_text()
    for imported in IMPORT.findall(text):
        modules_in_order(imported, seen, order)
    order.append(name)


def inline_script(text):
    # The HTML parser would end the script at the first closing tag inside it.
    return text.replace('</script', '<\\/script')


def main():
    wasm_dir, click, out = (pathlib.Path(a) for a in sys.argv[1:4])
    out.mkdir(parents=True, exist_ok=True)
    for f in PAGE.iterdir():
        shutil.copyfile(f, out / f.name)
    shutil.copyfile(wasm_dir / 'orvane.js', out / 'orvane.js')
    shutil.copyfile(wasm_dir / 'orvane.wasm', out / 'orvane.wasm')
    shutil.copyfile(click, out / 'orvclick.wav')

    order = []
    modules_in_order('main.js', set(), order)
    bundle = '\n'.join(
        re.sub(r'^export\s+', '', IMPORT.sub('', (PAGE / name).read_text()), flags=re.M) for name in order)
    # One script: a name declared at the top of two modules would clash there.
    names = re.findall(r'^(?:const|let|class|function|async function)\s+([A-Za-z_$][\w$]*)', bundle, re.M)
    clashes = sorted({n for n in names if names.count(n) > 1})
    if clashes:
        sys.exit(f'assemble.py: declared in more than one module: {", ".join(clashes)}')
    page = (PAGE / 'index.html').read_text()
    css = (PAGE / 'style.css').read_text()
    sound = 'data:audio/wav;base64,' + base64.b64encode(click.read_bytes()).decode()
    core = (wasm_dir / 'orvane_single.js').read_text()
    replacements = [
        ('<link rel="stylesheet" href="style.css">', f'<style>\n{css}</style>'),
        ('<meta name="orv-click" content="orvclick.wav">', f'<meta name="orv-click" content="{sound}">'),
        ('<script src="orvane.js"></script>', f'<script>\n{inline_script(core)}</script>'),
        ('<script type="module" src="main.js"></script>',
         f'<script type="module">\n{inline_script(bundle)}</script>'),
    ]
    for old, new in replacements:
        if old not in page:
            sys.exit(f'assemble.py: index.html has no {old}')
        page = page.replace(old, new)
    (out / 'orvane.html').write_text(page)


if __name__ == '__main__':
    main()
