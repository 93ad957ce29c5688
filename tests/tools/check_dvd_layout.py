#!/usr/bin/python3
"""Checks that the DVD-Video files of a volume lie where their own tables say.

    check_dvd_layout.py IMAGE VIDEO_TS_SOURCE

The information files are read back from the image (through its UDF volume,
by ifo_layout.py); from their tables follows each file's sector counted from
VIDEO_TS.IFO: VIDEO_TS.VOB at the menu start, VIDEO_TS.BUP ending on the video
manager's last sector, each VTS_nn_0.IFO at the start the title search table
gives, VTS_nn_0.VOB at its menu start, the title VOBs back to back from the
title start, VTS_nn_0.BUP ending on the set's last sector. Every file's ISO
9660, Joliet and UDF extents must equal that sector plus VIDEO_TS.IFO's own,
its data must equal its source, the sectors between the files must be zeros,
and every other file of the volume must lie behind the zone's declared end.

Prints "zone as its tables say: N files, G gap sectors, end E"; exit status 0
when all holds, 1 otherwise.
"""

import io
import os
import sys

import pycdlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import ifo_layout  # noqa: E402

SECTOR = 2048


def expected_starts(layout):
    """name -> first sector counted from VIDEO_TS.IFO, as the tables give it."""
    manager, sizes = layout["manager"], layout["file_sectors"]
    starts = {"VIDEO_TS.IFO": 0}
    if "VIDEO_TS.VOB" in sizes:
        starts["VIDEO_TS.VOB"] = manager["menu_vobs"]
    starts["VIDEO_TS.BUP"] = manager["last_sector"] + 1 - sizes["VIDEO_TS.BUP"]
    for table in layout["title_sets"]:
        prefix, start = "VTS_%02d_" % table["number"], table["start"]
        starts[prefix + "0.IFO"] = start
        if prefix + "0.VOB" in sizes:
            starts[prefix + "0.VOB"] = start + table["menu_vobs"]
        next_title = start + table["title_vobs"]
        for n in range(1, 10):
            if prefix + "%d.VOB" % n not in sizes:
                break
            starts[prefix + "%d.VOB" % n] = next_title
            next_title += sizes[prefix + "%d.VOB" % n]
        starts[prefix + "0.BUP"] = start + table["last_sector"] + 1 - sizes[prefix + "0.BUP"]
    return starts


def extents(iso, name):
    path = "/VIDEO_TS/" + name
    partition = iso.udf_main_descs.partitions[0].part_start_location
    udf = iso.get_record(udf_path=path)
    return (iso.get_record(iso_path=path + ";1").extent_location(),
            iso.get_record(joliet_path=path + ";1").extent_location(),
            partition + udf.alloc_descs[0].log_block_num if udf.alloc_descs else None)


def check(image_path, sources):
    layout = ifo_layout.layout(ifo_layout.image_reader(image_path))
    starts = expected_starts(layout)
    iso = pycdlib.PyCdlib()
    iso.open(image_path)
    base = iso.get_record(iso_path="/VIDEO_TS/VIDEO_TS.IFO;1").extent_location()
    problems = []
    if base % 16:
        problems.append("VIDEO_TS.IFO at sector %d, not a multiple of 16" % base)
    used = set()
    for name, start in starts.items():
        found = extents(iso, name)
        if found != (base + start,) * 3:
            problems.append("%s: ISO, Joliet, UDF extents %s; the tables say %d" % (name, found, base + start))
        data = io.BytesIO()
        iso.get_file_from_iso_fp(data, udf_path="/VIDEO_TS/" + name)
        with open(os.path.join(sources, name), "rb") as source:
            if data.getvalue() != source.read():
                problems.append("%s: data differs from its source" % name)
        used.update(range(base + start, base + start + layout["file_sectors"][name]))
    end = base + layout["end"]
    gaps = 0
    with open(image_path, "rb") as image:
        for sector in range(base, end):
            if sector in used:
                continue
            gaps += 1
            image.seek(sector * SECTOR)
            if image.read(SECTOR) != bytes(SECTOR):
                problems.append("gap sector %d is not zero" % sector)
    for path, _, files in iso.walk(iso_path="/"):
        for name in files:
            location = iso.get_record(iso_path=path.rstrip("/") + "/" + name).extent_location()
            if not path.startswith("/VIDEO_TS") and location < end:
                problems.append("%s/%s at sector %d, inside the zone ending at %d" % (path, name, location, end))
    return problems, "zone as its tables say: %d files, %d gap sectors, end %d" % (len(starts), gaps, layout["end"])


def main(argv):
    if len(argv) != 2:
        print(__doc__.strip().splitlines()[2].strip(), file=sys.stderr)
        return 2
    try:
        problems, summary = check(argv[0], argv[1])
    except (ifo_layout.LayoutError, pycdlib.pycdlibexception.PyCdlibException, OSError) as error:
        print("check_dvd_layout.py: %s" % error)
        return 1
    for problem in problems:
        print(problem)
    print(summary)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
