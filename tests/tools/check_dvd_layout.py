#!/usr/bin/python3
"""Checks that the DVD-Video files of a volume lie where their own tables say.

    check_dvd_layout.py IMAGE VIDEO_TS_SOURCE

The information files are read back through the image's UDF volume. Their
tables give each file's sector counted from VIDEO_TS.IFO: VIDEO_TS.VOB at the
menu start, VIDEO_TS.BUP ending on the manager's last sector, each
VTS_nn_0.IFO where the title search table says, VTS_nn_0.VOB at its menu
start, the title VOBs back to back from the title start, VTS_nn_0.BUP ending
on the set's last sector. Each file's ISO 9660, Joliet and UDF extents must be
there, its data its source's; the sectors between the files must be zeros and
every other file must lie behind the zone. Prints "zone as its tables say: N
files, G gap sectors, end E"; exit status 0 when all holds, 1 otherwise.
"""

import io
import os
import struct
import sys

import pycdlib

SECTOR = 2048

def u32(data, offset):
    return struct.unpack_from(">I", data, offset)[0]

def sectors(size):
    return -(-size // SECTOR)

def expected_starts(read):
    """name -> (first sector counted from VIDEO_TS.IFO, sectors), as the tables give it, and the zone's end."""
    files = {}

    def place(name, start):
        data = read(name)
        if data is not None:
            files[name] = (start, sectors(len(data)))
        return data

    manager = place("VIDEO_TS.IFO", 0)
    if manager is None or manager[:12] != b"DVDVIDEO-VMG":
        raise ValueError("VIDEO_TS.IFO is missing or lacks DVDVIDEO-VMG")
    last = u32(manager, 12)
    place("VIDEO_TS.VOB", u32(manager, 192))
    place("VIDEO_TS.BUP", last + 1 - sectors(len(manager)))
    search = u32(manager, 196) * SECTOR
    starts = {}
    for n in range(struct.unpack_from(">H", manager, search)[0]):
        starts.setdefault(manager[search + 8 + 12 * n + 6], u32(manager, search + 8 + 12 * n + 8))
    end = last + 1
    for number in sorted(starts):
        prefix, start = "VTS_%02d_" % number, starts[number]
        ifo = place(prefix + "0.IFO", start)
        if ifo is None or ifo[:12] != b"DVDVIDEO-VTS":
            raise ValueError("%s0.IFO is missing or lacks DVDVIDEO-VTS" % prefix)
        if u32(ifo, 192):
            place(prefix + "0.VOB", start + u32(ifo, 192))
        next_title = start + u32(ifo, 196)
        for n in range(1, 10):
            data = place(prefix + "%d.VOB" % n, next_title)
            if data is None:
                break
            next_title += sectors(len(data))
        end = start + u32(ifo, 12) + 1
        place(prefix + "0.BUP", end - sectors(len(ifo)))
    return files, end

def check(image_path, sources):
    iso = pycdlib.PyCdlib()
    iso.open(image_path)

    def read(name):
        data = io.BytesIO()
        try:
            iso.get_file_from_iso_fp(data, udf_path="/VIDEO_TS/" + name)
        except pycdlib.pycdlibexception.PyCdlibException:
            return None
        return data.getvalue()

    files, zone_end = expected_starts(read)
    base = iso.get_record(iso_path="/VIDEO_TS/VIDEO_TS.IFO;1").extent_location()
    partition = iso.udf_main_descs.partitions[0].part_start_location
    problems = [] if base % 16 == 0 else ["VIDEO_TS.IFO at sector %d, not a multiple of 16" % base]
    used = set()
    for name, (start, length) in files.items():
        path = "/VIDEO_TS/" + name
        udf = iso.get_record(udf_path=path)
        found = (iso.get_record(iso_path=path + ";1").extent_location(),
                 iso.get_record(joliet_path=path + ";1").extent_location(),
                 partition + udf.alloc_descs[0].log_block_num if udf.alloc_descs else None)
        if found != (base + start,) * 3:
            problems.append("%s: ISO, Joliet, UDF extents %s; the tables say %d" % (name, found, base + start))
        with open(os.path.join(sources, name), "rb") as source:
            if read(name) != source.read():
                problems.append("%s: data differs from its source" % name)
        used.update(range(base + start, base + start + length))
    end = base + zone_end
    gaps = [sector for sector in range(base, end) if sector not in used]
    with open(image_path, "rb") as image:
        for sector in gaps:
            image.seek(sector * SECTOR)
            if image.read(SECTOR) != bytes(SECTOR):
                problems.append("gap sector %d is not zero" % sector)
    for path, _, names in iso.walk(iso_path="/"):
        for name in names:
            location = iso.get_record(iso_path=path.rstrip("/") + "/" + name).extent_location()
            if not path.startswith("/VIDEO_TS") and location < end:
                problems.append("%s/%s at sector %d, inside the zone ending at %d" % (path, name, location, end))
    return problems, "zone as its tables say: %d files, %d gap sectors, end %d" % (len(files), len(gaps), zone_end)

def main(argv):
    if len(argv) != 2:
        print("usage: check_dvd_layout.py IMAGE VIDEO_TS_SOURCE", file=sys.stderr)
        return 2
    try:
        problems, summary = check(argv[0], argv[1])
    except (ValueError, struct.error, pycdlib.pycdlibexception.PyCdlibException, OSError) as error:
        print("check_dvd_layout.py: %s" % error)
        return 1
    print("\n".join(problems + [summary]))
    return 1 if problems else 0

if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
