#!/usr/bin/env python3
"""Writes a small synthetic DVD-Video title into FOLDER/VIDEO_TS: navigation
only, no picture or sound. A video manager (first-play chain, title menu, one
title per set) and title sets of one program chain playing one cell of
navigation packs; every table on a sector boundary, each BUP a copy of its IFO.

Sectors count from VIDEO_TS.IFO. Files lie end to end unless --manager-last or
--set-gap declare gaps (as authoring tools do) that an image must keep.
"""

import argparse
import os
import struct
import sys

SECTOR = 2048
ONE_SECOND = bytes([0x00, 0x00, 0x01, 0xC0])  # playback time: 30 frames (frame byte: rate bits 11)
VOBU_TICKS = 22500  # a VOBU of one navigation pack lasts a quarter second (90 kHz clock)
VIDEO_ATTRIBUTES = bytes([0x43, 0x00])  # MPEG-2, NTSC, 4:3, display format unspecified, 720x480
JUMP_TO_TITLE_1 = bytes([0x30, 0x02, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00])  # a navigation command
PGC_HEADER = 236
TITLE_PACKS, MENU_PACKS = 4, 2  # navigation packs of each VTS_nn_1.VOB and of VIDEO_TS.VOB

u8, u16, u32 = (struct.Struct(form).pack for form in (">B", ">H", ">I"))

def put(buffer, offset, data):
    buffer[offset:offset + len(data)] = data

def sectors(data):
    return -(-len(data) // SECTOR)

def program_chain(cell=None, pre=(), post=()):
    """One program of one cell spanning sectors `cell` (first, last) of its
    VOBS, or no program at all; optional commands."""
    header, tail = bytearray(PGC_HEADER), bytearray()
    offsets = [0, 0, 0, 0]  # commands, program map, cell playback, cell position
    commands = list(pre) + list(post)
    if commands:
        offsets[0] = PGC_HEADER
        tail += u16(len(pre)) + u16(len(post)) + u16(0) + u16(8 + 8 * len(commands) - 1) + b"".join(commands)
    if cell is not None:
        first, last = cell
        put(header, 2, u8(1) + u8(1) + ONE_SECOND)  # programs, cells, playback time
        offsets[1] = PGC_HEADER + len(tail)
        tail += bytes([1, 0])  # program 1 starts at cell 1; padded to even
        offsets[2] = PGC_HEADER + len(tail)
        tail += bytes(4) + ONE_SECOND + u32(first) + u32(0) + u32(last) + u32(last)
        offsets[3] = PGC_HEADER + len(tail)
        tail += u16(1) + u8(0) + u8(1)  # VOB 1, cell 1
    put(header, 228, b"".join(u16(offset) for offset in offsets))
    return bytes(header + tail)

def pgc_table(entry_id, pgc):
    """A program chain information table holding one program chain."""
    return u16(1) + u16(0) + u32(16 + len(pgc) - 1) + u8(entry_id) + u8(0) + u16(0) + u32(16) + pgc

def cell_address_table(count):
    return u16(1) + u16(0) + u32(8 + 12 - 1) + u16(1) + u8(1) + u8(0) + u32(0) + u32(count - 1)

def vobu_address_map(count):
    return u32(4 + 4 * count - 1) + b"".join(u32(n) for n in range(count))

# MPEG-2 pack header, SCR 0, mux rate 25200 (10.08 Mbit/s), no stuffing.
PACK_HEADER = bytes([0x00, 0x00, 0x01, 0xBA, 0x44, 0x00, 0x04, 0x00, 0x04, 0x01, 0x01, 0x89, 0xC3, 0xF8])
SYSTEM_HEADER = bytes([0x00, 0x00, 0x01, 0xBB, 0x00, 0x12, 0x80, 0xC4, 0xE1, 0x04, 0xE1, 0xFF, 0xB9, 0xE0, 0xE8,
                       0xB8, 0xC0, 0x20, 0xBD, 0xE0, 0x3A, 0xBF, 0xE0, 0x02])

def private_stream_2(substream, length, payload):
    return bytes([0x00, 0x00, 0x01, 0xBF]) + u16(length) + u8(substream) + payload + bytes(length - 1 - len(payload))

def navigation_pack(index, count, vob_id):
    """The navigation pack that makes up VOBU `index` of `count`, at sector `index` of its VOBS."""
    start = index * VOBU_TICKS
    pci = u32(index) + u16(0) + u16(0) + u32(0) + u32(start) + u32(start + VOBU_TICKS) + u32(0) + u32(0)
    sri = [0x3FFFFFFF] * 42
    if index + 1 < count:
        sri[20] = 0x80000000 | 1  # next VOBU, one sector on
    if index > 0:
        sri[21] = 0x80000000 | 1  # previous VOBU, one sector back
    dsi = u32(0) + u32(index) + bytes(16) + u16(vob_id) + u8(0) + u8(1) + bytes([0x00, 0x00, 0x00, 0xC0])
    dsi += bytes(148 + 54) + b"".join(u32(v) for v in sri)
    pack = PACK_HEADER + SYSTEM_HEADER + private_stream_2(0x00, 0x3D4, pci) + private_stream_2(0x01, 0x3FA, dsi)
    assert len(pack) == SECTOR
    return pack

def video_object_set(packs, vob_id=1):
    return b"".join(navigation_pack(n, packs, vob_id) for n in range(packs))

def table_sectors(tables):
    """The sector of each table behind a one-sector management table, and the
    sector count of the whole information file."""
    first, starts = 1, []
    for table in tables:
        starts.append(first)
        first += sectors(table)
    return starts, first

def information_file(mat, tables):
    return b"".join(table + bytes(-len(table) % SECTOR) for table in [bytes(mat)] + tables)

def manager_tables(titles, title_sets):
    """The title search table (one title of one chapter per (title set,
    first sector of that set) in `titles`), the menu language unit (the
    title menu, whose cell is the menu VOBS), the title set attributes and
    the menu VOBS's cell and VOBU tables."""
    search = u16(len(titles)) + u16(0) + u32(8 + 12 * len(titles) - 1)
    for number, first_sector in titles:
        search += u8(0) + u8(1) + u16(1) + u16(0) + u8(number) + u8(1) + u32(first_sector)
    menu_pgcit = pgc_table(0x82, program_chain(cell=(0, MENU_PACKS - 1), post=[JUMP_TO_TITLE_1]))
    menus = u16(1) + u16(0) + u32(16 + len(menu_pgcit) - 1) + b"en" + u8(0) + u8(0x80) + u32(16) + menu_pgcit
    entry = bytearray(542)
    put(entry, 0, u32(len(entry) - 1))
    put(entry, 264, VIDEO_ATTRIBUTES)
    header = 8 + 4 * title_sets
    attributes = u16(title_sets) + u16(0) + u32(header + title_sets * len(entry) - 1)
    attributes += b"".join(u32(header + n * len(entry)) for n in range(title_sets)) + bytes(entry) * title_sets
    return [search, menus, attributes, cell_address_table(MENU_PACKS), vobu_address_map(MENU_PACKS)]

def manager_mat(pointers, ifo_sectors, last_sector, title_sets):
    """The video manager's management table; `pointers` are the sectors of the tables of manager_tables()."""
    fp_offset = 0x400
    first_play = program_chain(pre=[JUMP_TO_TITLE_1])
    titles, menus, attributes, cells, vobus = pointers
    mat = bytearray(SECTOR)
    put(mat, 0, b"DVDVIDEO-VMG" + u32(last_sector))
    put(mat, 28, u32(ifo_sectors - 1) + u8(0) + u8(0x11))  # version 1.1
    put(mat, 34, u32(0) + u16(1) + u16(1) + u8(1))  # no region prohibited; volumes, volume, side
    put(mat, 62, u16(title_sets) + b"PRAVEL-SYNTHETIC".ljust(32, b"\0"))
    put(mat, 128, u32(fp_offset + len(first_play) - 1) + u32(fp_offset))
    put(mat, 192, u32(ifo_sectors))  # menu VOBS right behind the IFO
    put(mat, 196, u32(titles) + u32(menus) + u32(0) + u32(attributes) + u32(0) + u32(cells) + u32(vobus))
    put(mat, 256, VIDEO_ATTRIBUTES)
    put(mat, fp_offset, first_play)
    return mat

def title_set_tables():
    """Part of title (one title of one chapter: program chain 1, program 1),
    the program chains and the title VOBS's cell and VOBU tables."""
    parts = u16(1) + u16(0) + u32(12 + 4 - 1) + u32(12) + u16(1) + u16(1)
    return [parts, pgc_table(0x81, program_chain(cell=(0, TITLE_PACKS - 1))), cell_address_table(TITLE_PACKS),
            vobu_address_map(TITLE_PACKS)]

def title_set_mat(pointers, ifo_sectors, last_sector, title_vobs):
    parts, pgcs, cells, vobus = pointers
    mat = bytearray(SECTOR)
    put(mat, 0, b"DVDVIDEO-VTS" + u32(last_sector))
    put(mat, 28, u32(ifo_sectors - 1) + u8(0) + u8(0x11))
    put(mat, 128, u32(983))  # end of this table
    put(mat, 192, u32(0) + u32(title_vobs))  # no menu
    put(mat, 200, u32(parts) + u32(pgcs) + bytes(16) + u32(cells) + u32(vobus))
    put(mat, 512, VIDEO_ATTRIBUTES)
    return mat

def title_set_files(number, gap):
    """VTS_nn_0.IFO, VTS_nn_1.VOB and VTS_nn_0.BUP, each (name, data, start
    within the set), and the set's last sector: the title VOBS lie right
    behind the IFO, and the set declares `gap` sectors before the BUP."""
    tables = title_set_tables()
    pointers, ifo_sectors = table_sectors(tables)
    last_sector = 2 * ifo_sectors + TITLE_PACKS - 1 + gap
    ifo = information_file(title_set_mat(pointers, ifo_sectors, last_sector, ifo_sectors), tables)
    prefix = "VTS_%02d_" % number
    return [(prefix + "0.IFO", ifo, 0), (prefix + "1.VOB", video_object_set(TITLE_PACKS), ifo_sectors),
            (prefix + "0.BUP", ifo, last_sector - ifo_sectors + 1)], last_sector

def make_video_ts(folder, sets=1, manager_last=None, set_gap=0):
    """Writes FOLDER/VIDEO_TS and returns its path."""
    if not 1 <= sets <= 99 or set_gap < 0:
        raise ValueError("1 to 99 title sets, a gap of 0 or more sectors")
    title_sets = [title_set_files(n, set_gap) for n in range(1, sets + 1)]
    pointers, ifo_sectors = table_sectors(manager_tables([(n, 0) for n in range(1, sets + 1)], sets))
    contiguous = 2 * ifo_sectors + MENU_PACKS - 1
    manager_last = contiguous if manager_last is None else manager_last
    if manager_last < contiguous:
        raise ValueError("the video manager needs sectors 0 to %d" % contiguous)
    starts = [manager_last + 1]
    for _, last_sector in title_sets[:-1]:
        starts.append(starts[-1] + last_sector + 1)
    ifo = information_file(manager_mat(pointers, ifo_sectors, manager_last, sets),
                           manager_tables(list(enumerate(starts, 1)), sets))
    placed = [("VIDEO_TS.IFO", ifo), ("VIDEO_TS.VOB", video_object_set(MENU_PACKS)), ("VIDEO_TS.BUP", ifo)]
    placed += [(name, data) for files, _ in title_sets for name, data, _ in files]
    video_ts = os.path.join(folder, "VIDEO_TS")
    os.makedirs(video_ts, exist_ok=True)
    for name, data in placed:
        with open(os.path.join(video_ts, name), "wb") as out:
            out.write(data)
    return video_ts

def main(argv):
    parser = argparse.ArgumentParser(description="Writes a synthetic DVD-Video title into FOLDER/VIDEO_TS.")
    parser.add_argument("folder")
    parser.add_argument("--sets", type=int, default=1, help="title sets, one title each")
    parser.add_argument("--manager-last", type=int, metavar="S",
                        help="last sector of the video manager; the BUP ends there, title set 1 starts at S+1")
    parser.add_argument("--set-gap", type=int, default=0, metavar="G",
                        help="sectors each title set declares between its title VOBS and its BUP")
    args = parser.parse_args(argv)
    try:
        print(make_video_ts(args.folder, args.sets, args.manager_last, args.set_gap))
    except ValueError as error:
        parser.error(str(error))
    return 0

if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
