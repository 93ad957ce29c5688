#!/usr/bin/python3
"""Reads a premastered volume with independent readers and compares what each
of them gives back with the source tree the volume was made from.

    check_image.py IMAGE [IMAGE ...] SOURCE_DIR [--extra-file NAME=LOCAL] [--work-dir DIR]

Several images (LAYER01.IMG LAYER02.IMG) are joined sparsely into one volume.
isoinfo lists the ISO 9660 and Joliet trees and extracts every file through
Joliet; osirrox and 7z extract the whole tree (7z once more from the ISO 9660
side when it opens UDF); pycdlib reads every file through Joliet and, when
present, UDF, and checks that the ISO, Joliet and UDF trees name the same
extents; udfinfo reads the UDF volume. Files above LARGE bytes are read by
pycdlib in samples and extracted whole only by osirrox. Exit status 0 when
every reader agrees with the source tree, 1 otherwise (printing what each said).
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
LARGE = 256 << 20
LEVEL1_FILE = re.compile(r"^[A-Z0-9_]{1,8}(\.[A-Z0-9_]{0,3})?;1$")
LEVEL1_FOLDER = re.compile(r"^[A-Z0-9_]{1,8}$")
SHORT_NAME = re.compile(r"^[A-Z0-9_]{1,8}(\.[A-Z0-9_]{1,3})?$")
XORRISO_TROUBLE = re.compile(r"\b(SORRY|FAILURE|FATAL|ABORT|MISHAP|WARNING)\b|error", re.IGNORECASE)
SEVENZIP_TROUBLE = re.compile(r"ERROR|Warnings|WARNINGS|Errors|Can not open|Can't open|Unexpected end")
ISOINFO_LINE = re.compile(
    rb"^([d-])[-rwxsStT]{9}\s+\d+\s+\d+\s+\d+\s+(\d+)\s+[^[]*\[\s*(\d+)\s+([0-9A-Fa-f]+)\]  (.*) $")
KIND_NAME = {"d": "folder", "f": "file"}
Entry = collections.namedtuple("Entry", "kind local size")  # kind 'd' or 'f'
problems = collections.OrderedDict()  # reader -> complaints

def complain(reader, text):
    problems.setdefault(reader, []).append(text)

def join(rel, name):
    return name if rel == "" else rel + "/" + name

def walk_local(root, entry):
    """Relative path -> entry(kind, local path) of everything below root."""
    found = {}
    for folder, dirs, files in os.walk(root):
        rel = os.path.relpath(folder, root)
        for kind, names in (("d", dirs), ("f", files)):
            for name in names:
                found[join("" if rel == "." else rel, name)] = entry(kind, os.path.join(folder, name))
    return found

def files_of(tree):
    return sorted(p for p, e in tree.items() if e.kind == "f")

# --- byte comparisons (sparse-aware: only data regions are read) -------------

def data_regions(fd, size):
    regions, offset = [], 0
    while offset < size:
        try:
            start = os.lseek(fd, offset, os.SEEK_DATA)
        except OSError as error:
            if error.errno == errno.ENXIO:  # a hole up to the end
                break
            return [(0, size)]  # the file system knows no holes
        offset = min(os.lseek(fd, start, os.SEEK_HOLE), size)
        regions.append((start, offset))
    return regions

def merged(regions):
    result = []
    for start, end in sorted(regions):
        if result and start <= result[-1][1]:
            result[-1] = (result[-1][0], max(result[-1][1], end))
        else:
            result.append((start, end))
    return result

def compare_ranges(local, size, actual_size, ranges, read_at):
    """None when read_at(offset, n) gives local's bytes over every range, else a description."""
    if size != actual_size:
        return "%d bytes, the source has %d" % (actual_size, size)
    with open(local, "rb") as f:
        for start, end in ranges:
            for offset in range(start, end, CHUNK):
                f.seek(offset)
                n = min(CHUNK, end - offset)
                expected, actual = f.read(n), read_at(offset, n)
                if expected != actual:
                    first = next((i for i, (x, y) in enumerate(zip(expected, actual)) if x != y), len(actual))
                    return "bytes differ at offset %d" % (offset + first)
    return None

def reader_of(f):
    def read_at(offset, n):
        f.seek(offset)
        return f.read(n)
    return read_at

def compare_local_files(expected, actual):
    size = os.path.getsize(expected)
    with open(expected, "rb") as fe, open(actual, "rb") as fa:
        regions = merged(data_regions(fe.fileno(), size) + data_regions(fa.fileno(), os.path.getsize(actual)))
        return compare_ranges(expected, size, os.path.getsize(actual), regions, reader_of(fa))

def compare_bytes(local, actual):
    size = os.path.getsize(local)
    return compare_ranges(local, size, len(actual), [(0, size)], lambda offset, n: actual[offset:offset + n])

# --- tree comparisons: found maps a path to (kind, size or None) -------------

def compare_tree(reader, expected, found, content_root=None):
    for path in sorted((set(expected) | set(found)) - {""}):
        e, f = expected.get(path), found.get(path)
        if e is None:
            complain(reader, "unexpected %s %r on the disc" % (KIND_NAME[f[0]], path))
        elif f is None:
            complain(reader, "missing %s %r" % (KIND_NAME[e.kind], path))
        elif e.kind != f[0]:
            complain(reader, "%r is a %s, the source has a %s" % (path, KIND_NAME[f[0]], KIND_NAME[e.kind]))
        elif e.kind == "f" and f[1] is not None and f[1] != e.size:
            complain(reader, "%r has %d bytes, the source %d" % (path, f[1], e.size))
        elif e.kind == "f" and content_root is not None:
            difference = compare_local_files(e.local, os.path.join(content_root, path))
            if difference:
                complain(reader, "%r: %s" % (path, difference))

def extracted_tree(root):
    for folder, dirs, _ in os.walk(root):
        for name in [""] + dirs:
            os.chmod(os.path.join(folder, name), 0o755)
    return walk_local(root, lambda kind, path: (kind, os.path.getsize(path) if kind == "f" else None))

def run(command):
    env = dict(os.environ, LANG="C.UTF-8", LC_ALL="C.UTF-8")
    return subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env)

def text_of(result):
    return (result.stdout + b"\n" + result.stderr).decode("utf-8", "replace")

def said(result):
    return "exit %d; said:\n%s" % (result.returncode, text_of(result).strip())

# --- isoinfo ---------------------------------------------------------------

def isoinfo_tree(image, options, reader):
    """[(directory, name bytes, kind, size, extent)] of one tree, or None after a complaint;
    names are unique in each directory (but for case in the ISO tree)."""
    result = run(["isoinfo"] + options + ["-l", "-i", image])
    if result.returncode or result.stderr.strip():
        complain(reader, said(result))
        return None
    listing, directory = [], None
    for line in result.stdout.split(b"\n"):
        if line.startswith(b"Directory listing of "):
            directory = line[len(b"Directory listing of "):].rstrip(b"/")
            continue
        m = ISOINFO_LINE.match(line)
        if line.strip() and (not m or directory is None):
            complain(reader, "unreadable listing line %r" % line)
            return None
        if line.strip() and m.group(5) not in (b".", b".."):
            listing.append((directory, m.group(5), "d" if m.group(1) == b"d" else "f", int(m.group(2)),
                            int(m.group(3))))
    seen = collections.Counter((d, n.upper() if not options else n) for (d, n, _, _, _) in listing)
    for (directory, name), count in seen.items():
        if count > 1:
            complain(reader, "%r holds %r %d times" % (directory or b"/", name, count))
    return listing

def latin1_form(text):
    """A Joliet name as isoinfo prints it in ISO 8859-1: other characters become '_'."""
    return bytes(ord(c) if ord(c) < 256 else ord("_") for c in text)

def check_isoinfo(image, tree):
    result = run(["isoinfo", "-d", "-i", image])
    text = result.stdout.decode("latin-1")
    size = re.search(r"Volume size is: (\d+)", text)
    wanted = ("CD-ROM is in ISO 9660 format", "Joliet with UCS level 3", "Logical block size is: 2048")
    if (result.returncode or result.stderr.strip() or not all(w in text for w in wanted) or not size
            or int(size.group(1)) * 2048 > os.path.getsize(image)):
        complain("isoinfo", "-d finds no ISO 9660 volume with Joliet, 2048-byte blocks within the image: "
                 + said(result))
    iso = isoinfo_tree(image, [], "isoinfo -l")
    for directory, name, kind, _, _ in iso or []:  # Level 1 identifiers: files with ';1', folders without
        if not (LEVEL1_FILE if kind == "f" else LEVEL1_FOLDER).match(name.decode("latin-1")):
            complain("isoinfo -l", "%s %r in %r is not a Level 1 identifier" % (KIND_NAME[kind], name, directory))
    reader = "isoinfo -J -l"
    joliet = isoinfo_tree(image, ["-J", "-j", "iso8859-1"], reader)
    if joliet is None:
        return
    by_disc_name = {b"/" + latin1_form(path): path for path in tree if path}
    found = {}
    for directory, name, kind, size, _ in joliet:
        if kind == "f" and not name.endswith(b";1"):
            complain(reader, "file %r in %r has no ';1'" % (name, directory))
            continue
        disc = directory + b"/" + (name[:-2] if kind == "f" else name)
        found[by_disc_name.get(disc, disc.decode("latin-1")[1:])] = (kind, size)
    compare_tree(reader, tree, found)
    for path in (p for p in files_of(tree) if tree[p].size <= LARGE):
        result = run(["isoinfo", "-J", "-j", "iso8859-1", "-x", b"/" + latin1_form(path) + b";1", "-i", image])
        difference = compare_bytes(tree[path].local, result.stdout)
        if difference or result.returncode or result.stderr.strip():
            complain("isoinfo", "-J -x %r: %s %s" % (path, difference or "", result.stderr.decode("utf-8", "replace")))

# --- osirrox and 7z --------------------------------------------------------

def check_extraction(reader, result, trouble, expected, out):
    if result.returncode or trouble.search(text_of(result)):
        complain(reader, said(result))
    if not os.path.isdir(out):
        complain(reader, "extracted nothing")
        return
    compare_tree(reader, expected, extracted_tree(out), content_root=out)
    shutil.rmtree(out, ignore_errors=True)

def check_7z(image, tree, work, archive_type=None):
    """7z as it opens the volume; when that is UDF, once more told to read the ISO 9660 side."""
    reader = "7z" if archive_type is None else "7z -t" + archive_type
    forced = [] if archive_type is None else ["-t" + archive_type]
    result = run(["7z", "l", "-slt"] + forced + [image])
    text = text_of(result)
    # The listing's own lines name files; a file may be called "Errors.txt".
    remarks = "\n".join(line for line in text.splitlines() if not line.startswith("Path = "))
    if result.returncode or SEVENZIP_TROUBLE.search(remarks):
        complain(reader, "l: " + said(result))
    kind = re.search(r"^Type = (\w+)", text, re.MULTILINE)
    kind = kind.group(1) if kind else None
    if kind not in ("Iso", "Udf"):
        complain(reader, "l does not see an ISO or UDF volume")
    found = {}
    for block in text[text.find("----------\n"):].split("\n\n"):
        fields = dict(line.split(" = ", 1) for line in block.splitlines() if " = " in line)
        if "Path" in fields and "Folder" in fields:
            folder = fields["Folder"] == "+"
            size = int(fields["Size"]) if not folder and fields.get("Size", "").isdigit() else None
            found[fields["Path"]] = ("d" if folder else "f", size)
    compare_tree(reader + " l", tree, found)
    out = os.path.join(work, "7z")
    large = [p for p in files_of(tree) if tree[p].size > LARGE]
    result = run(["7z", "x", "-y", "-o" + out] + forced + [image] + ["-x!" + p for p in large])
    check_extraction(reader + " x", result, SEVENZIP_TROUBLE, {p: e for p, e in tree.items() if p not in large}, out)
    if kind == "Udf" and archive_type is None:
        check_7z(image, tree, work, "iso")

# --- pycdlib and udfinfo ---------------------------------------------------

def children(record):
    return [c for c in record.children if not c.is_dot() and not c.is_dotdot()]

def walk_records(record, rel, found, extents, reader, joliet):
    """found: path -> (kind, length), extents: file path -> first sector; ';1' taken off."""
    for child in children(record):
        name = child.file_identifier().decode("utf-16_be" if joliet else "latin-1")
        if child.is_dir():
            found[join(rel, name)] = ("d", None)
            walk_records(child, join(rel, name), found, extents, reader, joliet)
            continue
        if not name.endswith(";1"):
            complain(reader, "file %r in %r has no ';1'" % (name, rel))
        path = join(rel, name[:-2] if name.endswith(";1") else name)
        found[path] = ("f", child.data_length)
        extents[path] = child.extent_location()

def signature(record):
    """A directory, names aside: its files' extents and lengths, its folders' signatures."""
    files = sorted((c.extent_location(), c.data_length) for c in children(record) if not c.is_dir())
    return tuple(files), tuple(sorted(signature(c) for c in children(record) if c.is_dir()))

def check_iso_matches_joliet(iso_root, joliet_root, joliet_extents, reader):
    """Both trees hold the same files in the same folders, and a file whose
    source name is an 8.3 name keeps it as its ISO name."""
    if signature(iso_root) != signature(joliet_root):
        complain(reader, "the trees differ in their folders or their files' extents and lengths")
    iso_extents, iso_names = {}, collections.defaultdict(set)
    walk_records(iso_root, "", {}, iso_extents, reader, joliet=False)
    for path, extent in iso_extents.items():
        iso_names[extent].add(path.rsplit("/", 1)[-1])
    for path, extent in joliet_extents.items():
        base = path.rsplit("/", 1)[-1]
        if SHORT_NAME.match(base) and base not in iso_names[extent]:
            complain(reader, "%r keeps no ISO name %r (has %s)" % (path, base, sorted(iso_names[extent])))

def read_files(iso, tree, found, path_kind, suffix, reader):
    """Every file read back whole; a large one in samples: its data regions, a MiB every 256 MiB, its tail."""
    for path in (p for p in files_of(tree) if p in found):
        local, size = tree[path].local, tree[path].size
        with iso.open_file_from_iso(**{path_kind: "/" + path + suffix}) as f:
            if size > LARGE:
                with open(local, "rb") as source:
                    ranges = data_regions(source.fileno(), size) + [(max(0, size - CHUNK), size)]
                ranges += [(start, min(size, start + CHUNK)) for start in range(0, size, 256 << 20)]
                difference = compare_ranges(local, size, size, merged(ranges), reader_of(f))
            else:
                difference = compare_bytes(local, f.read())
        if difference:
            complain(reader, "%r read back: %s" % (path, difference))

def walk_udf(entry, rel, found, placement, partition_start):
    for fi_desc in entry.fi_descs:
        if fi_desc.is_parent() or fi_desc.file_entry is None:
            continue
        child = fi_desc.file_entry
        path = join(rel, child.file_identifier().decode(child.file_ident.encoding))
        if child.is_dir():
            found[path] = ("d", None)
            walk_udf(child, path, found, placement, partition_start)
        else:
            found[path] = ("f", child.get_data_length())
            placement[path] = [(partition_start + ad.log_block_num, ad.extent_length)
                               for ad in child.alloc_descs if ad.extent_length > 0]

def check_pycdlib_udf(iso, tree, joliet_extents, reader):
    """The UDF tree gives the source tree back, each file's data in one run
    of sectors starting where its Joliet record says."""
    found, placement = {}, {}
    walk_udf(iso.get_record(udf_path="/"), "", found, placement, iso.udf_main_descs.partitions[0].part_start_location)
    compare_tree(reader, tree, found)
    for path, extents in placement.items():
        if path not in joliet_extents or not extents:
            continue
        if extents[0][0] != joliet_extents[path]:
            complain(reader, "%r: data at sector %d, the Joliet record says %d"
                     % (path, extents[0][0], joliet_extents[path]))
        if any(start + (length + 2047) // 2048 != following
               for (start, length), (following, _) in zip(extents, extents[1:])):
            complain(reader, "%r: its extents %s are not one run of sectors" % (path, extents))
    read_files(iso, tree, found, "udf_path", "", reader)

def check_pycdlib(image, tree):
    """Whether the volume carries UDF."""
    reader = "pycdlib"
    try:
        import pycdlib
        iso = pycdlib.PyCdlib()
        iso.open(image)
    except Exception as error:  # noqa: BLE001 - every complaint of the reader counts
        complain(reader, "open: %s: %s" % (type(error).__name__, error))
        return False
    try:
        joliet_root = iso.get_record(joliet_path="/")
        found, extents = {}, {}
        walk_records(joliet_root, "", found, extents, reader + " Joliet", joliet=True)
        compare_tree(reader + " Joliet", tree, found)
        check_iso_matches_joliet(iso.get_record(iso_path="/"), joliet_root, extents, reader + " ISO/Joliet")
        read_files(iso, tree, found, "joliet_path", ";1", reader + " Joliet")
        if iso.has_udf():
            check_pycdlib_udf(iso, tree, extents, reader + " UDF")
        return iso.has_udf()
    except Exception as error:  # noqa: BLE001
        complain(reader, "%s: %s" % (type(error).__name__, error))
        return False
    finally:
        iso.close()

def check_udfinfo(image, tree):
    """udfinfo reads the volume without complaint, counts the tree's folders (the
    root included), finds the partition up to the volume's end and the closing
    anchor in its last sector, and names the file set Root."""
    result = run(["udfinfo", image])
    if result.returncode or result.stderr.strip():
        complain("udfinfo", said(result))
        return
    text = result.stdout.decode("utf-8", "replace")
    lines = text.splitlines()
    fields = dict(line.split("=", 1) for line in lines if "=" in line and not line.startswith("start="))
    folders = sum(e.kind == "d" for e in tree.values())
    if fields.get("numdirs") != str(folders) or fields.get("integrity") != "closed":
        complain("udfinfo", "numdirs=%s integrity=%s; the tree has %d folders with the root"
                 % (fields.get("numdirs"), fields.get("integrity"), folders))
    sectors = os.path.getsize(image) // 2048
    partition = re.search(r"^start=(\d+), blocks=(\d+), type=PSPACE$", text, re.MULTILINE)
    anchor = "\nstart=%d, blocks=1, type=ANCHOR\n" % (sectors - 1)
    if (not partition or sum(map(int, partition.groups())) != sectors or anchor not in text
            or fields.get("fsid") != "Root"):
        complain("udfinfo", "no partition up to sector %d, anchor in its last sector or file set "
                 "Root:\n%s" % (sectors, text))

def join_images(images, work):
    """One file holding the images back to back; runs of zeros become holes."""
    joined = os.path.join(work, "volume.img")
    with open(joined, "wb") as out:
        for image in images:
            with open(image, "rb") as f:
                for block in iter(lambda: f.read(CHUNK), b""):
                    if block.count(0) == len(block):
                        out.seek(len(block), os.SEEK_CUR)
                    else:
                        out.write(block)
        out.truncate(out.tell())
    return joined

def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("paths", nargs="+", help="IMAGE [IMAGE ...] SOURCE_DIR")
    parser.add_argument("--extra-file", action="append", default=[], metavar="NAME=LOCAL",
                        help="a file at the root of the disc that the source lacks, and its bytes")
    parser.add_argument("--work-dir", help="where the joined volume and extractions go")
    options = parser.parse_args(argv)
    images, source = options.paths[:-1], options.paths[-1]
    if not images or not all(map(os.path.isfile, images)) or not os.path.isdir(source):
        parser.error("give existing images and the source folder")
    tree = walk_local(source, lambda kind, path: Entry(kind, path, os.path.getsize(path) if kind == "f" else 0))
    tree[""] = Entry("d", source, 0)
    for name, _, local in (extra.partition("=") for extra in options.extra_file):
        tree[name] = Entry("f", local, os.path.getsize(local))
    work = tempfile.mkdtemp(prefix="check-image-", dir=options.work_dir)
    try:
        image = join_images(images, work) if len(images) > 1 else images[0]
        if os.path.getsize(image) % 2048:
            complain("image", "%d bytes is not a whole number of sectors" % os.path.getsize(image))
        check_isoinfo(image, tree)
        out = os.path.join(work, "osirrox")
        result = run(["osirrox", "-osirrox", "on:sparse=1m", "-indev", image, "-extract", "/", out])
        check_extraction("osirrox", result, XORRISO_TROUBLE, tree, out)
        check_7z(image, tree, work)
        udf = check_pycdlib(image, tree)
        if udf:
            check_udfinfo(image, tree)
    finally:
        extracted_tree(work)
        shutil.rmtree(work, ignore_errors=True)
    for reader, texts in problems.items():
        print("== %s" % reader)
        for text in texts[:60] + (["... and %d more" % (len(texts) - 60)] if len(texts) > 60 else []):
            print("  " + text.rstrip().replace("\n", "\n  "))
    if problems:
        return 1
    print("check_image: %d folders and %d files agree in isoinfo, osirrox, 7z, pycdlib%s"
          % (sum(e.kind == "d" for e in tree.values()) - 1, len(files_of(tree)), " and udfinfo" if udf else ""))
    return 0

if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
