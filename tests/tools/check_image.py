#!/usr/bin/python3
"""Reads a premastered volume with independent readers and compares what each
of them gives back with the source tree the volume was made from.

    check_image.py IMAGE [IMAGE ...] SOURCE_DIR [options]

IMAGE is LAYER01.IMG, or LAYER01.IMG followed by LAYER02.IMG: several images
are joined (sparsely) into one temporary file, which is the whole volume.
SOURCE_DIR's contents are expected at the root of the disc.

Readers: isoinfo (-d, -l, -J -l, -J -x), osirrox (extraction of the Joliet
tree), 7z (l, x; it opens UDF when the volume carries it, and is then also
made to read the ISO 9660 side, which takes Joliet) and pycdlib (walk of the
ISO and the Joliet tree, reads through Joliet, the ISO and Joliet records of a
file naming the same extent). When the volume carries UDF, pycdlib also walks
and reads the UDF tree (each file's data the sectors its Joliet record names)
and udfinfo must read it without complaint and count its folders.
The readers only read; nothing here writes an image.

Exit status 0 when every reader agrees with the source tree, 1 otherwise (with
what each reader said), 2 on a usage error.
"""

import argparse
import collections
import errno
import os
import re
import shutil
import subprocess
import sys
import tempfile

CHUNK = 1 << 20
ISO_LEVEL1_FILE = re.compile(r"^[A-Z0-9_]{1,8}(\.[A-Z0-9_]{0,3})?;1$")
ISO_LEVEL1_DIR = re.compile(r"^[A-Z0-9_]{1,8}$")
SHORT_NAME = re.compile(r"^[A-Z0-9_]{1,8}(\.[A-Z0-9_]{1,3})?$")
XORRISO_TROUBLE = re.compile(r"\b(SORRY|FAILURE|FATAL|ABORT|MISHAP|WARNING)\b|error", re.IGNORECASE)
SEVENZIP_TROUBLE = re.compile(r"ERROR|Warnings|WARNINGS|Errors|Can not open|Can't open|Unexpected end")


class Problems:
    def __init__(self):
        self.by_reader = collections.OrderedDict()

    def add(self, reader, text):
        self.by_reader.setdefault(reader, []).append(text)

    def __bool__(self):
        return bool(self.by_reader)

    def report(self):
        for reader, texts in self.by_reader.items():
            print("== %s" % reader)
            for text in texts[:60]:
                print("  " + text.rstrip().replace("\n", "\n  "))
            if len(texts) > 60:
                print("  ... and %d more" % (len(texts) - 60))


# --------------------------------------------------------------------------
# The expected tree


class Entry:
    def __init__(self, kind, local=None, size=0):
        self.kind = kind  # 'd' or 'f'
        self.local = local  # file giving the expected bytes (None: any bytes)
        self.size = size


def source_tree(source_dir, extra_files):
    """Relative path (POSIX, no leading '/') -> Entry; '' is the root."""
    tree = {"": Entry("d", source_dir)}
    for folder, dirs, files in os.walk(source_dir):
        rel = os.path.relpath(folder, source_dir)
        rel = "" if rel == "." else rel
        for name in dirs:
            tree[join(rel, name)] = Entry("d", os.path.join(folder, name))
        for name in files:
            local = os.path.join(folder, name)
            tree[join(rel, name)] = Entry("f", local, os.stat(local).st_size)
    for extra in extra_files:
        name, _, local = extra.partition("=")
        if name in tree:
            sys.exit("check_image: --extra-file %s also stands in the source tree" % name)
        tree[name] = Entry("f", local or None, os.stat(local).st_size if local else -1)
    return tree


def join(rel, name):
    return name if rel == "" else rel + "/" + name


def files_of(tree):
    return sorted(p for p, e in tree.items() if e.kind == "f")


# --------------------------------------------------------------------------
# Byte comparisons (sparse-aware: only the data regions of either file are read)


def data_regions(fd, size):
    """The (start, end) ranges of a file that hold data; the rest are holes."""
    regions, offset = [], 0
    while offset < size:
        try:
            start = os.lseek(fd, offset, os.SEEK_DATA)
        except OSError as error:
            if error.errno == errno.ENXIO:  # nothing but a hole behind offset
                break
            return [(0, size)]  # the file system knows no holes
        end = min(os.lseek(fd, start, os.SEEK_HOLE), size)
        regions.append((start, end))
        offset = end
    return regions


def merged(regions):
    result = []
    for start, end in sorted(regions):
        if result and start <= result[-1][1]:
            result[-1] = (result[-1][0], max(result[-1][1], end))
        else:
            result.append((start, end))
    return result


def compare_local_files(expected, actual):
    """None when the two files hold the same bytes, else a description."""
    size_e, size_a = os.path.getsize(expected), os.path.getsize(actual)
    if size_e != size_a:
        return "size %d, source has %d" % (size_a, size_e)
    with open(expected, "rb") as fe, open(actual, "rb") as fa:
        regions = merged(data_regions(fe.fileno(), size_e) + data_regions(fa.fileno(), size_a))
        for start, end in regions:
            fe.seek(start)
            fa.seek(start)
            offset = start
            while offset < end:
                n = min(CHUNK, end - offset)
                be, ba = fe.read(n), fa.read(n)
                if be != ba:
                    return "bytes differ at offset %d" % (offset + first_difference(be, ba))
                offset += n
    return None


def first_difference(a, b):
    for i, (x, y) in enumerate(zip(a, b)):
        if x != y:
            return i
    return min(len(a), len(b))


def compare_stream(expected_path, read):
    """Compares a source file with a stream given by read(n)."""
    with open(expected_path, "rb") as fe:
        offset = 0
        while True:
            be = fe.read(CHUNK)
            ba = read(len(be)) if be else read(1)
            if be != ba:
                if not be:
                    return "more bytes than the source's %d" % offset
                return "bytes differ at offset %d (or stream ended)" % (offset + first_difference(be, ba))
            if not be:
                return None
            offset += len(be)


def sample_ranges(local, size, sample_bytes=1 << 20, step=256 << 20):
    """Ranges of a large file worth reading: its data regions, and a sample
    of every step bytes, and its tail."""
    with open(local, "rb") as f:
        regions = data_regions(f.fileno(), size)
    ranges = list(regions)
    for start in range(0, size, step):
        ranges.append((start, min(size, start + sample_bytes)))
    ranges.append((max(0, size - sample_bytes), size))
    return merged(ranges)


def compare_ranges(local, ranges, read_at):
    with open(local, "rb") as f:
        for start, end in ranges:
            offset = start
            while offset < end:
                n = min(CHUNK, end - offset)
                f.seek(offset)
                be = f.read(n)
                ba = read_at(offset, n)
                if be != ba:
                    return "bytes differ at offset %d" % (offset + first_difference(be, ba))
                offset += n
    return None


# --------------------------------------------------------------------------
# Tree comparisons


def compare_tree(reader, problems, expected, found, content_root=None):
    """found: relative path -> ('d'|'f', size or None). With content_root,
    file contents are compared with the extracted files below it."""
    for path in sorted(set(expected) | set(found)):
        if path == "":
            continue
        e, f = expected.get(path), found.get(path)
        if e is None:
            problems.add(reader, "unexpected %s %r on the disc" % (kind_name(f[0]), path))
            continue
        if f is None:
            problems.add(reader, "missing %s %r" % (kind_name(e.kind), path))
            continue
        if e.kind != f[0]:
            problems.add(reader, "%r is a %s, the source has a %s" % (path, kind_name(f[0]), kind_name(e.kind)))
            continue
        if e.kind != "f":
            continue
        if f[1] is not None and e.size >= 0 and f[1] != e.size:
            problems.add(reader, "%r has %d bytes, the source %d" % (path, f[1], e.size))
            continue
        if content_root is None or e.local is None:
            continue
        difference = compare_local_files(e.local, os.path.join(content_root, path))
        if difference:
            problems.add(reader, "%r: %s" % (path, difference))


def kind_name(kind):
    return "folder" if kind == "d" else "file"


def walk_local(root):
    found = {}
    for folder, dirs, files in os.walk(root):
        rel = os.path.relpath(folder, root)
        rel = "" if rel == "." else rel
        for name in dirs:
            found[join(rel, name)] = ("d", None)
        for name in files:
            found[join(rel, name)] = ("f", os.path.getsize(os.path.join(folder, name)))
    return found


def make_writable(root):
    for folder, dirs, files in os.walk(root):
        os.chmod(folder, 0o755)
        for name in dirs:
            os.chmod(os.path.join(folder, name), 0o755)


def run(command, **kwargs):
    env = dict(os.environ, LANG="C.UTF-8", LC_ALL="C.UTF-8")
    return subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env, **kwargs)


def said(result, trouble=None):
    """The exit status and the output; with a pattern, only the lines that
    match it (and the line after each)."""
    out = (result.stdout + b"\n" + result.stderr).decode("utf-8", "replace").strip()
    if trouble is not None:
        lines = out.splitlines()
        keep = [i for i, line in enumerate(lines) if trouble.search(line)]
        picked = sorted({j for i in keep for j in (i, i + 1) if j < len(lines)})
        if picked:
            out = "\n".join(lines[j] for j in picked)
    return "exit %d; said:\n%s" % (result.returncode, out)


# --------------------------------------------------------------------------
# isoinfo

ISOINFO_LINE = re.compile(
    rb"^([d-])[-rwxsStT]{9}\s+\d+\s+\d+\s+\d+\s+(\d+)\s+[^[]*\[\s*(\d+)\s+([0-9A-Fa-f]+)\]  (.*) $"
)


def isoinfo_listing(output):
    """[(directory path, name bytes, kind, size, extent)] in listing order."""
    listing = []
    directory = None
    for line in output.split(b"\n"):
        if line.startswith(b"Directory listing of "):
            directory = line[len(b"Directory listing of "):].rstrip(b"/")
            continue
        if not line.strip():
            continue
        m = ISOINFO_LINE.match(line)
        if not m or directory is None:
            raise ValueError("unreadable listing line %r" % line)
        name = m.group(5)
        if name in (b".", b".."):
            continue
        listing.append((directory, name, "d" if m.group(1) == b"d" else "f", int(m.group(2)), int(m.group(3))))
    return listing


def check_unique_names(reader, listing, problems, fold_case):
    seen = collections.Counter((d, n.upper() if fold_case else n) for (d, n, _, _, _) in listing)
    for (directory, name), count in seen.items():
        if count > 1:
            problems.add(reader, "%r holds %r %d times" % (directory or b"/", name, count))


def latin1_form(text):
    """A Joliet name as isoinfo prints it in ISO 8859-1: characters outside it become '_'."""
    return bytes(ord(c) if ord(c) < 256 else ord("_") for c in text)


def isoinfo_tree(image, options, label, problems):
    """isoinfo's listing of one tree, or None with its complaint added."""
    result = run(["isoinfo"] + options + ["-l", "-i", image])
    if result.returncode or result.stderr.strip():
        problems.add("isoinfo", label + ": " + said(result))
        return None
    try:
        return isoinfo_listing(result.stdout)
    except ValueError as error:
        problems.add("isoinfo", "%s: %s" % (label, error))
        return None


def check_isoinfo(image, tree, problems, options):
    reader = "isoinfo"
    result = run(["isoinfo", "-d", "-i", image])
    text = result.stdout.decode("latin-1")
    if result.returncode or result.stderr.strip():
        problems.add(reader, "-d: " + said(result))
    elif "CD-ROM is in ISO 9660 format" not in text or "Joliet with UCS level 3" not in text:
        problems.add(reader, "-d does not find ISO 9660 with Joliet: " + said(result))
    else:
        m = re.search(r"Volume size is: (\d+)", text)
        block = re.search(r"Logical block size is: (\d+)", text)
        if not block or block.group(1) != "2048":
            problems.add(reader, "-d: logical block size is not 2048: " + said(result))
        if not m or int(m.group(1)) * 2048 > os.path.getsize(image):
            problems.add(reader, "-d: volume size beyond the image: " + said(result))

    # The ISO tree: its shape and sizes match the source, its names are ISO names.
    iso = isoinfo_tree(image, [], "-l", problems)
    if iso is not None:
        check_iso_names(reader + " -l", iso, problems, options)
    joliet = isoinfo_tree(image, ["-J", "-j", "iso8859-1"], "-J -l", problems)
    if joliet is None:
        return
    found = {}
    by_disc_name = {}
    for path, entry in tree.items():
        if path:
            by_disc_name[b"/" + latin1_form(path)] = path
    check_unique_names(reader + " -J -l", joliet, problems, fold_case=False)
    for directory, name, kind, size, extent in joliet:
        if kind == "f":
            if not name.endswith(b";1"):
                problems.add(reader, "-J -l: file %r in %r has no ';1'" % (name, directory))
                continue
            name = name[:-2]
        disc = directory + b"/" + name
        path = by_disc_name.get(disc, disc.decode("latin-1")[1:])
        found[path] = (kind, size)
    compare_tree(reader + " -J -l", problems, tree, found)
    if iso is not None:
        iso_files = sorted((s, x) for (_, _, k, s, x) in iso if k == "f")
        joliet_files = sorted((s, x) for (_, _, k, s, x) in joliet if k == "f")
        if iso_files != joliet_files:
            problems.add(reader, "the ISO and Joliet trees name different file extents and sizes")
        if sum(1 for v in iso if v[2] == "d") != sum(1 for v in joliet if v[2] == "d"):
            problems.add(reader, "the ISO and Joliet trees hold different numbers of folders")

    for path in pick_files(tree, options):
        entry = tree[path]
        disc = b"/" + latin1_form(path) + b";1"
        with subprocess.Popen(["isoinfo", "-J", "-j", "iso8859-1", "-x", disc, "-i", image],
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE) as process:
            if entry.local is None:
                process.stdout.read()
                difference = None
            else:
                difference = compare_stream(entry.local, process.stdout.read)
            process.stdout.read()
            errors = process.stderr.read()
        if difference or process.returncode or errors.strip():
            problems.add(reader, "-J -x %r: %s %s" % (path, difference or "", errors.decode("utf-8", "replace")))


def check_iso_names(reader, iso, problems, options):
    check_unique_names(reader, iso, problems, fold_case=True)
    for directory, name, kind, _, _ in iso:
        text = name.decode("latin-1")
        if kind == "f" and not text.endswith(";1"):
            problems.add(reader, "file %r in %r has no ';1'" % (text, directory))
        if kind == "d" and ";" in text:
            problems.add(reader, "folder %r in %r has a version" % (text, directory))
        if options.iso_level == 1:
            pattern = ISO_LEVEL1_FILE if kind == "f" else ISO_LEVEL1_DIR
            if not pattern.match(text):
                problems.add(reader, "%r in %r is not a Level 1 identifier" % (text, directory))


def pick_files(tree, options):
    """Files read one by one: all when few, else the unusual ones and a spread."""
    files = [p for p in files_of(tree) if tree[p].size <= options.large]
    if len(files) <= options.sample:
        return files
    special = [p for p in files if tree[p].size in (0, 1, 2047, 2048, 2049)
               or not p.isascii() or " " in p or len(os.path.basename(p)) >= 60]
    rest = [p for p in files if p not in special]
    step = max(1, len(rest) // max(1, options.sample - len(special)))
    return sorted(set(special[: options.sample] + rest[::step]))


# --------------------------------------------------------------------------
# osirrox


def check_osirrox(image, tree, problems, options, work):
    reader = "osirrox"
    out = os.path.join(work, "osirrox")
    result = run(["osirrox", "-osirrox", "on:sparse=1m", "-indev", image, "-extract", "/", out])
    text = (result.stdout + result.stderr).decode("utf-8", "replace")
    trouble = [line for line in text.splitlines() if XORRISO_TROUBLE.search(line)]
    if result.returncode or trouble:
        problems.add(reader, said(result, XORRISO_TROUBLE))
        if not os.path.isdir(out):
            return
    if not os.path.isdir(out):
        problems.add(reader, "extracted nothing: " + said(result))
        return
    make_writable(out)
    compare_tree(reader, problems, tree, walk_local(out), content_root=out)
    shutil.rmtree(out, ignore_errors=True)


# --------------------------------------------------------------------------
# 7z


def sevenzip_listing(output):
    found = {}
    for block in output.split("\n\n"):
        fields = dict(line.split(" = ", 1) for line in block.splitlines() if " = " in line)
        if "Path" not in fields or "Folder" not in fields:
            continue
        kind = "d" if fields["Folder"] == "+" else "f"
        size = int(fields["Size"]) if kind == "f" and fields.get("Size", "").isdigit() else None
        found[fields["Path"]] = (kind, size)
    return found


def check_7z(image, tree, problems, options, work):
    """7z as it opens the volume (UDF when present), and when that is UDF,
    once more told to read the ISO 9660 side (which takes Joliet)."""
    kind = check_7z_as(image, tree, problems, options, work, None)
    if kind == "Udf":
        check_7z_as(image, tree, problems, options, work, "iso")


def check_7z_as(image, tree, problems, options, work, archive_type):
    reader = "7z" if archive_type is None else "7z -t" + archive_type
    forced = [] if archive_type is None else ["-t" + archive_type]
    result = run(["7z", "l", "-slt"] + forced + [image])
    text = (result.stdout + result.stderr).decode("utf-8", "replace")
    # The listing's own lines name files; a file may be called "Errors.txt".
    remarks = "\n".join(line for line in text.splitlines() if not line.startswith("Path = "))
    if result.returncode or SEVENZIP_TROUBLE.search(remarks):
        problems.add(reader, "l: " + said(result, SEVENZIP_TROUBLE))
    kind = re.search(r"^Type = (\w+)", text, re.MULTILINE)
    kind = kind.group(1) if kind else None
    if kind not in ("Iso", "Udf"):
        problems.add(reader, "l does not see an ISO or UDF volume")
    listing_start = text.find("----------\n")
    compare_tree(reader + " l", problems, tree, sevenzip_listing(text[listing_start:]))

    out = os.path.join(work, "7z")
    large = [p for p in files_of(tree) if tree[p].size > options.large]
    command = ["7z", "x", "-y", "-o" + out] + forced + [image] + ["-x!" + p for p in large]
    result = run(command)
    text = (result.stdout + result.stderr).decode("utf-8", "replace")
    if result.returncode or SEVENZIP_TROUBLE.search(text):
        problems.add(reader, "x: " + said(result, SEVENZIP_TROUBLE))
    if not os.path.isdir(out):
        problems.add(reader, "x extracted nothing")
        return kind
    make_writable(out)
    found = walk_local(out)
    expected = {p: e for p, e in tree.items() if p not in large}
    compare_tree(reader + " x", problems, expected, found, content_root=out)
    shutil.rmtree(out, ignore_errors=True)
    return kind


# --------------------------------------------------------------------------
# pycdlib


def check_pycdlib(image, tree, problems, options):
    reader = "pycdlib"
    try:
        import pycdlib
    except ImportError as error:
        problems.add(reader, "not importable: %s" % error)
        return
    iso = pycdlib.PyCdlib()
    try:
        iso.open(image)
    except Exception as error:  # noqa: BLE001 - every complaint of the reader counts
        problems.add(reader, "open: %s: %s" % (type(error).__name__, error))
        return
    try:
        iso_root = iso.get_record(iso_path="/")
        joliet_root = iso.get_record(joliet_path="/")
        found, extents = {}, {}
        walk_records(joliet_root, "", found, extents, problems, reader + " Joliet", joliet=True)
        compare_tree(reader + " Joliet", problems, tree, found)
        walk_records(iso_root, "", {}, {}, problems, reader + " ISO", joliet=False)
        match_trees(joliet_root, iso_root, "", tree, problems, reader + " ISO/Joliet", options)
        read_files(iso, tree, found, "joliet_path", ";1", problems, reader + " Joliet", options)
        if iso.has_udf():
            check_pycdlib_udf(iso, tree, extents, problems, reader + " UDF", options)
    except Exception as error:  # noqa: BLE001
        problems.add(reader, "%s: %s" % (type(error).__name__, error))
    finally:
        iso.close()


def children(record):
    return [c for c in record.children if not c.is_dot() and not c.is_dotdot()]


def record_name(record, joliet):
    raw = record.file_identifier()
    return raw.decode("utf-16_be") if joliet else raw.decode("latin-1")


def walk_records(record, rel, found, extents, problems, reader, joliet):
    """found: relative path -> (kind, length), extents: file path -> first
    sector; a file's ';1' is taken off."""
    for child in children(record):
        name = record_name(child, joliet)
        if child.is_dir():
            path = join(rel, name)
            found[path] = ("d", None)
            walk_records(child, path, found, extents, problems, reader, joliet)
            continue
        if not name.endswith(";1"):
            problems.add(reader, "file %r in %r has no ';1'" % (name, rel))
        else:
            name = name[:-2]
        found[join(rel, name)] = ("f", child.data_length)
        extents[join(rel, name)] = child.extent_location()


def signature(record):
    """What a directory holds, names aside: the extents and lengths of its
    files, and the signatures of its folders."""
    files = sorted((c.extent_location(), c.data_length) for c in children(record) if not c.is_dir())
    folders = sorted(signature(c) for c in children(record) if c.is_dir())
    return (tuple(files), tuple(folders))


def match_trees(joliet_dir, iso_dir, rel, tree, problems, reader, options):
    """Every Joliet file has an ISO record of the same extent and length, and
    the folders pair up; ISO names of 8.3 source names are those names."""
    jsig, isig = signature(joliet_dir), signature(iso_dir)
    if jsig[0] != isig[0]:
        problems.add(reader, "files of %r: Joliet extents/lengths %s, ISO %s" % (rel or "/", jsig[0], isig[0]))
    if not options.joliet_only_names:
        iso_names = {record_name(c, False) for c in children(iso_dir)}
        for c in children(joliet_dir):
            name = record_name(c, True)
            base = name[:-2] if not c.is_dir() and name.endswith(";1") else name
            if SHORT_NAME.match(base) and (not c.is_dir() or "." not in base):
                wanted = base + ("" if c.is_dir() else ";1")
                if wanted not in iso_names:
                    problems.add(reader, "%r keeps no ISO name %r in %r (has %s)"
                                 % (name, wanted, rel or "/", sorted(iso_names)))
    jfolders = collections.defaultdict(list)
    for c in children(joliet_dir):
        if c.is_dir():
            jfolders[signature(c)].append(c)
    ifolders = collections.defaultdict(list)
    for c in children(iso_dir):
        if c.is_dir():
            ifolders[signature(c)].append(c)
    for sig in set(jfolders) | set(ifolders):
        js, iss = jfolders.get(sig, []), ifolders.get(sig, [])
        if len(js) != len(iss):
            names = [record_name(c, True) for c in js] or [record_name(c, False) for c in iss]
            problems.add(reader, "folders %s of %r have no counterpart in the other tree" % (names, rel or "/"))
            continue
        for jc, ic in zip(js, iss):
            match_trees(jc, ic, join(rel, record_name(jc, True)), tree, problems, reader, options)


def read_files(iso, tree, found, path_kind, suffix, problems, reader, options):
    for path in files_of(tree):
        entry = tree[path]
        if path not in found or entry.local is None:
            continue
        with iso.open_file_from_iso(**{path_kind: "/" + path + suffix}) as f:
            if entry.size > options.large:
                def read_at(offset, n, f=f):
                    f.seek(offset)
                    return f.read(n)
                difference = compare_ranges(entry.local, sample_ranges(entry.local, entry.size), read_at)
            else:
                difference = compare_stream(entry.local, f.read)
        if difference:
            problems.add(reader, "%r read back: %s" % (path, difference))


def check_pycdlib_udf(iso, tree, joliet_extents, problems, reader, options):
    """The UDF tree gives the source tree back, and each file's data is the
    one copy the Joliet record names."""
    partition_start = iso.udf_main_descs.partitions[0].part_start_location
    found, placement = {}, {}
    walk_udf(iso.get_record(udf_path="/"), "", found, placement, partition_start)
    compare_tree(reader, problems, tree, found)
    for path, extents in placement.items():
        if path not in joliet_extents or not extents:
            continue
        first = extents[0][0]
        if first != joliet_extents[path]:
            problems.add(reader, "%r: data at sector %d, the Joliet record says %d" % (path, first, joliet_extents[path]))
        for (start, length), (following, _) in zip(extents, extents[1:]):
            if start + (length + 2047) // 2048 != following:
                problems.add(reader, "%r: its extents %s are not one run of sectors" % (path, extents))
                break
    read_files(iso, tree, found, "udf_path", "", problems, reader, options)


def walk_udf(entry, rel, found, placement, partition_start):
    for fi_desc in entry.fi_descs:
        if fi_desc.is_parent() or fi_desc.file_entry is None:
            continue
        child = fi_desc.file_entry
        path = join(rel, child.file_identifier().decode(child.file_ident.encoding))
        if child.is_dir():
            found[path] = ("d", None)
            walk_udf(child, path, found, placement, partition_start)
            continue
        found[path] = ("f", child.get_data_length())
        placement[path] = [(partition_start + ad.log_block_num, ad.extent_length)
                           for ad in child.alloc_descs if ad.extent_length > 0]


def check_udfinfo(image, tree, problems):
    """udfinfo, when the volume carries UDF: it reads the volume without
    complaint and counts the tree's folders."""
    reader = "udfinfo"
    result = run(["udfinfo", image])
    text = result.stdout.decode("utf-8", "replace")
    if result.returncode or result.stderr.strip():
        problems.add(reader, said(result))
        return
    fields = dict(line.split("=", 1) for line in text.splitlines() if "=" in line and not line.startswith("start="))
    folders = sum(1 for e in tree.values() if e.kind == "d")  # the root included
    if fields.get("numdirs") != str(folders):
        problems.add(reader, "numdirs=%s, the tree has %d folders with the root" % (fields.get("numdirs"), folders))
    if fields.get("integrity") != "closed":
        problems.add(reader, "integrity=%s" % fields.get("integrity"))


def carries_udf(image):
    """True when a UDF volume recognition sequence stands in sectors 16 to 31."""
    with open(image, "rb") as f:
        for sector in range(16, 32):
            f.seek(sector * 2048)
            if f.read(6)[1:6] == b"NSR02":
                return True
    return False


# --------------------------------------------------------------------------


def join_images(images, work):
    """One file holding the images back to back; runs of zeros become holes."""
    joined = os.path.join(work, "volume.img")
    zeros = bytes(CHUNK)
    with open(joined, "wb") as out:
        position = 0
        for image in images:
            with open(image, "rb") as f:
                while True:
                    block = f.read(CHUNK)
                    if not block:
                        break
                    if block == zeros[: len(block)]:
                        out.seek(len(block), os.SEEK_CUR)
                    else:
                        out.write(block)
                    position += len(block)
        out.truncate(position)
    return joined


def parse_arguments(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("paths", nargs="+", help="IMAGE [IMAGE ...] SOURCE_DIR")
    parser.add_argument("--joliet-only-names", action="store_true",
                        help="check only the Joliet names against the source; otherwise a source name "
                             "that already is an upper-case 8.3 name must also be the ISO name")
    parser.add_argument("--extra-file", action="append", default=[], metavar="NAME[=LOCAL]",
                        help="a file at the root of the disc that the source lacks (e.g. AUTORUN.INF); "
                             "with =LOCAL its bytes must equal LOCAL's")
    parser.add_argument("--iso-level", type=int, default=1, choices=(1, 2),
                        help="1: ISO identifiers must be 8.3 names (the default)")
    parser.add_argument("--large", type=int, default=256 << 20, metavar="BYTES",
                        help="files above this size are read by pycdlib in samples (their data regions, a "
                             "sample every 256 MiB and the tail) and left out of isoinfo -x and 7z x; "
                             "osirrox extracts them sparsely and compares them whole")
    parser.add_argument("--sample", type=int, default=48, help="files read one by one with isoinfo -x")
    parser.add_argument("--work-dir", help="where the joined volume and extractions go")
    options = parser.parse_args(argv)
    if len(options.paths) < 2:
        parser.error("give at least one image and the source folder")
    options.images, options.source = options.paths[:-1], options.paths[-1]
    for image in options.images:
        if not os.path.isfile(image):
            parser.error("no image %s" % image)
    if not os.path.isdir(options.source):
        parser.error("no source folder %s" % options.source)
    return options


def main(argv):
    options = parse_arguments(argv)
    tree = source_tree(options.source, options.extra_file)
    problems = Problems()
    work = tempfile.mkdtemp(prefix="check-image-", dir=options.work_dir)
    try:
        image = options.images[0]
        if len(options.images) > 1:
            image = join_images(options.images, work)
        if os.path.getsize(image) % 2048:
            problems.add("image", "%d bytes is not a whole number of sectors" % os.path.getsize(image))
        check_isoinfo(image, tree, problems, options)
        check_osirrox(image, tree, problems, options, work)
        check_7z(image, tree, problems, options, work)
        check_pycdlib(image, tree, problems, options)
        udf = carries_udf(image)
        if udf:
            check_udfinfo(image, tree, problems)
    finally:
        make_writable(work)
        shutil.rmtree(work, ignore_errors=True)
    if problems:
        problems.report()
        return 1
    print("check_image: %d folders and %d files agree in isoinfo, osirrox, 7z, pycdlib%s"
          % (sum(1 for e in tree.values() if e.kind == "d") - 1, len(files_of(tree)),
             " and udfinfo" if udf else ""))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
