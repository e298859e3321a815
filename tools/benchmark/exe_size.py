#!/usr/bin/env python3
"""The size of a linked executable by section and by library, from the GNU
linker's map file (-Wl,-Map), which names the object or archive member that
each input section came from.

    exe_size.py build/release/Lanceur_Tarvik.map

Sizes are those the linker laid out: before stripping, without the file's
512-byte section alignment, so they add up to a little less than the file."""

import pathlib
import re
import sys

# Sections of the image; the map also lists debugging sections that -s strips.
IMAGE_SECTIONS = (".text", ".data", ".rdata", ".pdata", ".xdata", ".bss", ".idata", ".CRT", ".tls", ".rsrc",
                  ".reloc")
# Held in memory only: no bytes in the file.
NOT_IN_FILE = {".bss"}

OUTPUT = re.compile(r"^(\.\S+)(?:\s+0x[0-9a-f]+\s+0x([0-9a-f]+))?\s*$")
INPUT = re.compile(r"^ (\S+)(?:\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(.+))?$")
CONTINUED = re.compile(r"^\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(.+)$")

# (pattern on the input file's name, library), first match wins.
LIBRARIES = [
    (re.compile(r"libjpeg\.a\([^)]*\.asm\.obj\)"), "libjpeg-turbo's SIMD (assembly)"),
    (re.compile(r"libjpeg\.a\("), "libjpeg-turbo (C)"),
    (re.compile(r"libsodium\.a\("), "libsodium"),
    (re.compile(r"libstdc\+\+\.a\("), "libstdc++"),
    (re.compile(r"libgcc(_eh)?\.a\("), "libgcc"),
    (re.compile(r"lib(win)?pthread\.a\("), "winpthread"),
    (re.compile(r"_delay\.a\(|lib(kernel32|user32|gdi32|comctl32|advapi32|shell32|ole32|ws2_32|winmm|winhttp|"
                r"oleaut32|uuid|comdlg32|winspool|psapi)\.a\("), "import tables (Windows DLLs)"),
    (re.compile(r"lib(mingwex|mingw32|msvcrt|moldname|mingwthrd)\.a\(|/crt\w*\.o$|/dllcrt\w*\.o$|crtbegin\.o|"
                r"crtend\.o|/lib/[^/(]+\.o$"), "mingw-w64 runtime"),
    (re.compile(r"\.res$"), "resources (.rc)"),
    # Link-time optimisation compiles the launcher's code and libjpeg-turbo's
    # C code together into these: the map cannot tell the two apart.
    (re.compile(r"\.ltrans\d*\.ltrans\.o$"), "link-time optimised: the launcher's code and libjpeg-turbo's C code"),
    (re.compile(r"libtarvik\.a\(|\.cpp\.obj$"), "the launcher's own code"),
    (re.compile(r"^dll stuff$"), "import tables (Windows DLLs)"),
]


def library_of(path):
    for pattern, name in LIBRARIES:
        if pattern.search(path):
            return name
    return "other"


def read_map(path):
    """{(output section, input file): bytes} and {output section: bytes}."""
    lines = pathlib.Path(path).read_text(errors="replace").splitlines()
    start = next(i for i, line in enumerate(lines) if line.startswith("Linker script and memory map"))
    pieces = {}
    totals = {}
    section = None
    pending = None
    for line in lines[start + 1:]:
        out = OUTPUT.match(line)
        if out:
            section = out.group(1) if out.group(1) in IMAGE_SECTIONS else None
            if section and out.group(2):
                totals[section] = int(out.group(2), 16)
            elif section:
                pending = ("output", section)
            continue
        if section is None:
            continue
        if pending and pending[0] == "output":
            cont = re.match(r"^\s+0x[0-9a-f]+\s+0x([0-9a-f]+)\s*$", line)
            if cont:
                totals[section] = int(cont.group(1), 16)
            pending = None
            continue
        inp = INPUT.match(line)
        if inp and not inp.group(1).startswith(("*", "0x")):
            if inp.group(2):
                add(pieces, section, inp.group(4), int(inp.group(3), 16))
                pending = None
            else:
                pending = ("input", inp.group(1))
            continue
        if pending:
            cont = CONTINUED.match(line)
            if cont:
                add(pieces, section, cont.group(3), int(cont.group(2), 16))
            pending = None
    return pieces, totals


def add(pieces, section, source, size):
    if size:
        key = (section, source.strip())
        pieces[key] = pieces.get(key, 0) + size


def by_library(pieces):
    """{library: {section: bytes}}"""
    result = {}
    for (section, source), size in pieces.items():
        row = result.setdefault(library_of(source), {})
        row[section] = row.get(section, 0) + size
    return result


def largest_members(pieces, library, count):
    """The archive members of one library with the most bytes in the file."""
    sizes = {}
    for (section, source), size in pieces.items():
        if section not in NOT_IN_FILE and library_of(source) == library:
            member = re.sub(r"^.*/", "", source)
            sizes[member] = sizes.get(member, 0) + size
    return sorted(sizes.items(), key=lambda kv: -kv[1])[:count]


def markdown(map_path, exe_size=None):
    """Markdown tables: the sections, then the libraries by section."""
    pieces, totals = read_map(map_path)
    libraries = by_library(pieces)
    sections = [s for s in IMAGE_SECTIONS if totals.get(s)]
    out = []
    if exe_size is not None:
        out.append(f"File: {exe_size} bytes. Sections as laid out by the linker (`.bss` takes no bytes in the "
                   f"file; the rest is headers and alignment):")
        out.append("")
    out.append("| section | bytes |")
    out.append("|---|---:|")
    for s in sections:
        out.append(f"| `{s}` | {totals[s]} |")
    out.append(f"| in the file | {sum(totals[s] for s in sections if s not in NOT_IN_FILE)} |")
    out.append("")
    shown = [s for s in sections if s in (".text", ".rdata", ".data", ".pdata", ".xdata", ".idata", ".rsrc")]
    out.append("| library | " + " | ".join(f"`{s}`" for s in shown) + " | other | in the file |")
    out.append("|---|" + "---:|" * (len(shown) + 2))
    ordered = sorted(libraries.items(), key=lambda kv: -file_bytes(kv[1]))
    for name, row in ordered:
        other = sum(v for s, v in row.items() if s not in shown and s not in NOT_IN_FILE)
        out.append(f"| {name} | " + " | ".join(str(row.get(s, 0)) for s in shown) +
                   f" | {other} | {file_bytes(row)} |")
    out.append("")
    for name in libraries:
        if name.startswith(("libstdc++", "libjpeg-turbo", "mingw-w64 runtime")):
            members = ", ".join(f"{m} {b}" for m, b in largest_members(pieces, name, 6))
            out.append(f"- largest members of {name} (bytes in the file): {members}")
    streams = sorted({m for (_, source), _ in pieces.items()
                      for m in re.findall(r"libstdc\+\+\.a\(([^)]*(?:ios|locale|stream|facet)[^)]*)\)", source)})
    out.append(f"- iostreams or locale members of libstdc++ linked: {', '.join(streams) if streams else 'none'}")
    out.append("")
    return out


def file_bytes(row):
    return sum(v for s, v in row.items() if s not in NOT_IN_FILE)


if __name__ == "__main__":
    if len(sys.argv) != 2:
        raise SystemExit("usage: exe_size.py <map file>")
    print("\n".join(markdown(sys.argv[1])))
