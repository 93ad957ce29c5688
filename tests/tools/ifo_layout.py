#!/usr/bin/python3
"""Prints the layout that a DVD-Video title's information files declare, as JSON.

Reads VIDEO_TS.IFO and every VTS_nn_0.IFO it names, from a VIDEO_TS folder
(or the folder holding one) or, through its UDF file system, from an image.
All sectors are counted from the first sector of VIDEO_TS.IFO, as the video
manager's title search table counts them. Refuses, with a message and exit
status 1, information files that lack their identifier, tables that point
outside their file, files that do not fit the sectors declared for them, and
title sets that are unnamed, out of order or overlapping.

Usage: ifo_layout.py IMAGE_OR_FOLDER
"""

import io
import json
import os
import struct
import sys

import pycdlib

SECTOR = 2048


class LayoutError(Exception):
    pass


def require(condition, message, *values):
    if not condition:
        raise LayoutError(message % values)


def u8(data, offset):
    return data[offset]


def u16(data, offset):
    return struct.unpack_from(">H", data, offset)[0]


def u32(data, offset):
    return struct.unpack_from(">I", data, offset)[0]


def sectors(size):
    return (size + SECTOR - 1) // SECTOR


def folder_reader(path):
    """name -> bytes or None, for a VIDEO_TS folder or the folder holding one."""
    if os.path.isdir(os.path.join(path, "VIDEO_TS")):
        path = os.path.join(path, "VIDEO_TS")
    names = {name.upper(): name for name in os.listdir(path)}

    def read(name):
        if name not in names:
            return None
        with open(os.path.join(path, names[name]), "rb") as source:
            return source.read()
    return read


def image_reader(path):
    """name -> bytes or None, for the VIDEO_TS folder of an image's UDF volume."""
    image = pycdlib.PyCdlib()
    image.open(path)
    children = [child for child in image.list_children(udf_path="/VIDEO_TS") if child is not None]
    names = {name.upper(): name for name in (child.file_identifier().decode() for child in children)}

    def read(name):
        if name not in names:
            return None
        data = io.BytesIO()
        image.get_file_from_iso_fp(data, udf_path="/VIDEO_TS/" + names[name])
        return data.getvalue()
    return read


def management_table(name, ifo, identifier):
    """The fields the two kinds of information file share: the last sector of
    the whole set, the last sector of the IFO and the first of the menu VOBS."""
    require(ifo is not None, "%s is missing", name)
    require(len(ifo) >= SECTOR and len(ifo) % SECTOR == 0, "%s: %d bytes, not whole sectors", name, len(ifo))
    require(ifo[:12] == identifier, "%s lacks %s", name, identifier.decode())
    table = {"last_sector": u32(ifo, 12), "ifo_last_sector": u32(ifo, 28), "menu_vobs": u32(ifo, 192)}
    require(table["ifo_last_sector"] + 1 == sectors(len(ifo)), "%s: declares %d IFO sectors, holds %d",
            name, table["ifo_last_sector"] + 1, sectors(len(ifo)))
    require(2 * table["ifo_last_sector"] + 1 <= table["last_sector"], "%s: IFO and BUP exceed last sector %d",
            name, table["last_sector"])
    return table


def check_objects(name, ifo_last, first, objects, bup_start):
    """The object files `objects` ((name, size or None), ...) start at sector
    `first` and must end before the BUP; 0 means no objects."""
    size = sum(len(data) for _, data in objects if data is not None)
    if first == 0:
        require(size == 0, "%s: no VOBS declared, but %s present", name, [n for n, d in objects if d is not None])
        return
    require(ifo_last < first <= bup_start, "%s: VOBS at sector %d, outside %d to %d", name, first, ifo_last + 1,
            bup_start)
    require(first + sectors(size) <= bup_start, "%s: %d VOBS sectors from %d overlap the BUP at %d", name,
            sectors(size), first, bup_start)


def title_search_table(ifo, pointer):
    """(title set number, first sector of the set) of each title."""
    require(1 <= pointer and (pointer + 1) * SECTOR <= len(ifo),
            "VIDEO_TS.IFO: title search table at sector %d, outside the IFO", pointer)
    offset = pointer * SECTOR
    count, end = u16(ifo, offset), u32(ifo, offset + 4)
    require(count >= 1 and 8 + 12 * count - 1 <= end and offset + end < len(ifo),
            "VIDEO_TS.IFO: title search table of %d titles ends at byte %d", count, end)
    return [(u8(ifo, offset + 8 + 12 * n + 6), u32(ifo, offset + 8 + 12 * n + 8)) for n in range(count)]


def video_manager(read):
    ifo = read("VIDEO_TS.IFO")
    table = management_table("VIDEO_TS.IFO", ifo, b"DVDVIDEO-VMG")
    require(read("VIDEO_TS.BUP") == ifo, "VIDEO_TS.BUP is not a copy of VIDEO_TS.IFO")
    table["title_sets"] = u16(ifo, 62)
    table["title_search_table"] = u32(ifo, 196)
    table["titles"] = [{"title_set": number, "start": start}
                       for number, start in title_search_table(ifo, table["title_search_table"])]
    bup_start = table["last_sector"] - table["ifo_last_sector"]
    check_objects("VIDEO_TS.IFO", table["ifo_last_sector"], table["menu_vobs"],
                  [("VIDEO_TS.VOB", read("VIDEO_TS.VOB"))], bup_start)
    return table


def title_set(read, number, start):
    prefix = "VTS_%02d_" % number
    ifo = read(prefix + "0.IFO")
    table = management_table(prefix + "0.IFO", ifo, b"DVDVIDEO-VTS")
    require(read(prefix + "0.BUP") == ifo, "%s0.BUP is not a copy of %s0.IFO", prefix, prefix)
    table["number"], table["start"] = number, start
    table["title_vobs"] = u32(ifo, 196)
    require(table["title_vobs"] != 0, "%s0.IFO declares no title VOBS", prefix)
    bup_start = table["last_sector"] - table["ifo_last_sector"]
    check_objects(prefix + "0.IFO", table["ifo_last_sector"], table["menu_vobs"],
                  [(prefix + "0.VOB", read(prefix + "0.VOB"))], table["title_vobs"])
    titles = [(prefix + "%d.VOB" % n, read(prefix + "%d.VOB" % n)) for n in range(1, 10)]
    check_objects(prefix + "0.IFO", table["ifo_last_sector"], table["title_vobs"], titles, bup_start)
    return table


def title_set_starts(manager):
    """The first sector of each title set, as its titles give it."""
    starts = {}
    for title in manager["titles"]:
        number, start = title["title_set"], title["start"]
        require(1 <= number <= manager["title_sets"], "a title names title set %d of %d", number,
                manager["title_sets"])
        require(starts.get(number, start) == start, "titles of set %d start at %d and %d", number, start,
                starts.get(number))
        starts[number] = start
    missing = sorted(set(range(1, manager["title_sets"] + 1)) - set(starts))
    require(not missing, "no title names title set(s) %s", missing)
    return [starts[number] for number in range(1, manager["title_sets"] + 1)]


def layout(read):
    manager = video_manager(read)
    sets, next_free = [], manager["last_sector"] + 1
    for number, start in enumerate(title_set_starts(manager), 1):
        require(start >= next_free, "title set %d starts at sector %d, before sector %d", number, start, next_free)
        sets.append(title_set(read, number, start))
        next_free = start + sets[-1]["last_sector"] + 1
    names = ["VIDEO_TS.IFO", "VIDEO_TS.VOB", "VIDEO_TS.BUP"]
    for table in sets:
        prefix = "VTS_%02d_" % table["number"]
        names += [prefix + "0.IFO"] + [prefix + "%d.VOB" % n for n in range(10)] + [prefix + "0.BUP"]
    files = {name: sectors(len(data)) for name in names for data in [read(name)] if data is not None}
    return {"manager": manager, "title_sets": sets, "end": next_free, "file_sectors": files}


def main(argv):
    if len(argv) != 1:
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        return 2
    path = argv[0]
    try:
        read = folder_reader(path) if os.path.isdir(path) else image_reader(path)
        print(json.dumps(layout(read), indent=1))
    except (LayoutError, OSError, pycdlib.pycdlibexception.PyCdlibException) as error:
        print("ifo_layout.py: %s" % error, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
