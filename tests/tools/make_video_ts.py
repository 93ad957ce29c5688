#!/usr/bin/env python3
"""Writes a small synthetic DVD-Video title into FOLDER/VIDEO_TS: navigation
only, no picture or sound. A video manager (first-play chain, title menu, one
title per set) and title sets of one program chain playing one cell of
navigation packs; every table on a sector boundary, each BUP a copy of its IFO.

Sectors count from VIDEO_TS.IFO. Files lie end to end unless --manager-last or
--set-gap declare gaps (as authoring tools do) that an image must keep.
--break makes one fault, for refusal tests: "overlap" (VTS_01_0.IFO's title
VOBS start on its own last IFO sector) or "short" (VIDEO_TS.IFO's title search
table lies one sector past its end).
"""

import argparse
import os
import struct
import sys

SECTOR = 2048

# Playback time of a cell: one second at 30 frames (frame byte: rate bits 11).
ONE_SECOND = bytes([0x00, 0x00, 0x01, 0xC0])
# A VOBU of one navigation pack lasts a quarter second (90 kHz clock).
VOBU_TICKS = 22500

# Video attributes: MPEG-2, NTSC, 4:3, display format unspecified, 720x480.
VIDEO_ATTRIBUTES = bytes([0x43, 0x00])

# Navigation command "jump to title 1".
JUMP_TO_TITLE_1 = bytes([0x30, 0x02, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00])

u8, u16, u32 = (struct.Struct(form).pack for form in (">B", ">H", ">I"))

def pad_to_sector(data):
    return data + bytes(-len(data) % SECTOR)

def put(buffer, offset, data):
    buffer[offset:offset + len(data)] = data

# --- program chains ---------------------------------------------------------

PGC_HEADER = 236
CELL_PLAYBACK = 24
CELL_POSITION = 4

def program_chain(cell_sectors=None, pre=(), post=()):
    """A program chain: one program of one cell spanning `cell_sectors`
    (first, last) of its VOBS, or no program at all; optional commands."""
    header = bytearray(PGC_HEADER)
    tail = bytearray()
    offset = PGC_HEADER
    commands = list(pre) + list(post)
    command_offset = 0
    if commands:
        command_offset = offset
        table = u16(len(pre)) + u16(len(post)) + u16(0)
        table += u16(8 + 8 * len(commands) - 1)
        table += b"".join(commands)
        tail += table
        offset += len(table)
    map_offset = playback_offset = position_offset = 0
    if cell_sectors is not None:
        first, last = cell_sectors
        put(header, 2, u8(1) + u8(1))  # programs, cells
        put(header, 4, ONE_SECOND)
        map_offset = offset
        tail += bytes([1, 0])  # program 1 starts at cell 1; padded to even
        offset += 2
        playback_offset = offset
        cell = bytearray(CELL_PLAYBACK)
        put(cell, 4, ONE_SECOND)
        put(cell, 8, u32(first) + u32(0) + u32(last) + u32(last))
        tail += cell
        offset += CELL_PLAYBACK
        position_offset = offset
        tail += u16(1) + u8(0) + u8(1)  # VOB 1, cell 1
        offset += CELL_POSITION
    put(header, 228, u16(command_offset) + u16(map_offset) + u16(playback_offset) + u16(position_offset))
    return bytes(header + tail)

def pgc_table(entry_id, pgc):
    """A program chain information table holding one program chain."""
    start = 16
    table = u16(1) + u16(0) + u32(start + len(pgc) - 1)
    table += u8(entry_id) + u8(0) + u16(0) + u32(start)
    return table + pgc

def cell_address_table(sectors):
    return u16(1) + u16(0) + u32(8 + 12 - 1) + u16(1) + u8(1) + u8(0) + u32(0) + u32(sectors - 1)

def vobu_address_map(sectors):
    return u32(4 + 4 * sectors - 1) + b"".join(u32(n) for n in range(sectors))

# --- video objects ----------------------------------------------------------

def pack_header():
    # MPEG-2 pack header, SCR 0, mux rate 25200 (10.08 Mbit/s), no stuffing.
    return bytes([0x00, 0x00, 0x01, 0xBA, 0x44, 0x00, 0x04, 0x00, 0x04, 0x01, 0x01, 0x89, 0xC3, 0xF8])

def system_header():
    body = bytes([0x80, 0xC4, 0xE1, 0x04, 0xE1, 0xFF])
    body += bytes([0xB9, 0xE0, 0xE8, 0xB8, 0xC0, 0x20, 0xBD, 0xE0, 0x3A, 0xBF, 0xE0, 0x02])
    return bytes([0x00, 0x00, 0x01, 0xBB]) + u16(len(body)) + body

def private_stream_2(substream, payload_length, payload):
    data = bytearray(payload_length)
    data[0] = substream
    put(data, 1, payload)
    return bytes([0x00, 0x00, 0x01, 0xBF]) + u16(payload_length) + bytes(data)

def navigation_pack(lbn, index, count, vob_id):
    """The navigation pack that makes up VOBU `index` of `count`; `lbn` is its
    sector within the VOBS."""
    start = index * VOBU_TICKS
    end = start + VOBU_TICKS
    pci = u32(lbn) + u16(0) + u16(0) + u32(0) + u32(start) + u32(end) + u32(0) + u32(0)
    none = 0x3FFFFFFF
    sri = [none] * 42
    if index + 1 < count:
        sri[20] = 0x80000000 | 1  # next VOBU, one sector on
    if index > 0:
        sri[21] = 0x80000000 | 1  # previous VOBU, one sector back
    dsi = u32(0) + u32(lbn) + u32(0) + u32(0) + u32(0) + u32(0)
    dsi += u16(vob_id) + u8(0) + u8(1) + bytes([0x00, 0x00, 0x00, 0xC0])
    dsi += bytes(148 + 54) + b"".join(u32(v) for v in sri)
    pack = pack_header() + system_header()
    pack += private_stream_2(0x00, 0x3D4, pci)
    pack += private_stream_2(0x01, 0x3FA, dsi)
    assert len(pack) == SECTOR
    return pack

def video_object_set(packs, vob_id=1):
    return b"".join(navigation_pack(n, n, packs, vob_id) for n in range(packs))

# --- information files ------------------------------------------------------

# The faults --break makes, each alone in an otherwise valid title.
BREAKS = ("overlap", "short")
# Navigation packs of each VTS_nn_1.VOB and of VIDEO_TS.VOB; a cell spans at least two.
TITLE_PACKS, MENU_PACKS = 4, 2

def sectors(data):
    return -(-len(data) // SECTOR)

def table_sectors(tables):
    """The sector of each table behind a one-sector management table, and the
    sector count of the whole information file."""
    first, starts = 1, []
    for table in tables:
        starts.append(first)
        first += sectors(table)
    return starts, first

def information_file(mat, tables):
    return b"".join(pad_to_sector(table) for table in [bytes(mat)] + tables)

def title_search_table(titles):
    """One title of one chapter per (title set number, first sector of that
    set counted from VIDEO_TS.IFO) in `titles`."""
    table = u16(len(titles)) + u16(0) + u32(8 + 12 * len(titles) - 1)
    for number, first_sector in titles:
        table += u8(0) + u8(1) + u16(1) + u16(0) + u8(number) + u8(1) + u32(first_sector)
    return table

def menu_unit_table(menu_packs):
    """One language unit holding the title menu, whose cell is the menu VOBS."""
    menu_pgc = program_chain(cell_sectors=(0, menu_packs - 1), post=[JUMP_TO_TITLE_1])
    menu_pgcit = pgc_table(0x82, menu_pgc)  # the title menu, entry PGC
    table = u16(1) + u16(0) + u32(16 + len(menu_pgcit) - 1)
    return table + b"en" + u8(0) + u8(0x80) + u32(16) + menu_pgcit

def vts_attributes():
    entry = bytearray(542)
    put(entry, 0, u32(len(entry) - 1))
    put(entry, 264, VIDEO_ATTRIBUTES)
    return bytes(entry)

def vts_attribute_table(title_sets):
    entry = vts_attributes()
    header = 8 + 4 * title_sets
    table = u16(title_sets) + u16(0) + u32(header + title_sets * len(entry) - 1)
    table += b"".join(u32(header + n * len(entry)) for n in range(title_sets))
    return table + entry * title_sets

def manager_tables(menu_packs, titles, title_sets):
    return [title_search_table(titles), menu_unit_table(menu_packs), vts_attribute_table(title_sets),
            cell_address_table(menu_packs), vobu_address_map(menu_packs)]

def manager_mat(pointers, ifo_sectors, last_sector, title_sets):
    """The video manager's management table; `pointers` are the sectors of
    the tables of manager_tables()."""
    fp_offset = 0x400
    first_play = program_chain(pre=[JUMP_TO_TITLE_1])
    titles, menus, attributes, cells, vobus = pointers
    mat = bytearray(SECTOR)
    put(mat, 0, b"DVDVIDEO-VMG")
    put(mat, 12, u32(last_sector))
    put(mat, 28, u32(ifo_sectors - 1))
    put(mat, 32, u8(0) + u8(0x11))  # version 1.1
    put(mat, 34, u32(0))  # category, no region prohibited
    put(mat, 38, u16(1) + u16(1) + u8(1))  # volumes, volume, side
    put(mat, 62, u16(title_sets))
    put(mat, 64, b"PRAVEL-SYNTHETIC".ljust(32, b"\0"))
    put(mat, 128, u32(fp_offset + len(first_play) - 1))
    put(mat, 132, u32(fp_offset))
    put(mat, 192, u32(ifo_sectors))  # menu VOBS right behind the IFO
    put(mat, 196, u32(titles) + u32(menus) + u32(0) + u32(attributes) + u32(0) + u32(cells) + u32(vobus))
    put(mat, 256, VIDEO_ATTRIBUTES)
    put(mat, fp_offset, first_play)
    return mat

def part_of_title_table():
    """One title of one chapter: program chain 1, program 1."""
    return u16(1) + u16(0) + u32(12 + 4 - 1) + u32(12) + u16(1) + u16(1)

def title_set_tables(title_packs):
    return [part_of_title_table(), pgc_table(0x81, program_chain(cell_sectors=(0, title_packs - 1))),
            cell_address_table(title_packs), vobu_address_map(title_packs)]

def title_set_mat(pointers, ifo_sectors, last_sector, title_vobs):
    parts, pgcs, cells, vobus = pointers
    mat = bytearray(SECTOR)
    put(mat, 0, b"DVDVIDEO-VTS")
    put(mat, 12, u32(last_sector))
    put(mat, 28, u32(ifo_sectors - 1))
    put(mat, 32, u8(0) + u8(0x11))
    put(mat, 128, u32(983))  # end of this table
    put(mat, 192, u32(0) + u32(title_vobs))  # no menu
    put(mat, 200, u32(parts) + u32(pgcs) + u32(0) + u32(0) + u32(0) + u32(0) + u32(cells) + u32(vobus))
    put(mat, 512, VIDEO_ATTRIBUTES)
    return mat

# --- the title --------------------------------------------------------------

def title_set_files(number, title_packs, gap, fault):
    """VTS_nn_0.IFO, VTS_nn_1.VOB and VTS_nn_0.BUP of one title of one
    program chain and one cell; the title VOBS lie right behind the IFO and
    the set declares `gap` sectors between them and the BUP. Returns the
    files in player order, each (name, data, start within the set), and the
    set's last sector."""
    tables = title_set_tables(title_packs)
    pointers, ifo_sectors = table_sectors(tables)
    last_sector = 2 * ifo_sectors + title_packs - 1 + gap
    title_vobs = ifo_sectors - 1 if fault == "overlap" else ifo_sectors
    mat = title_set_mat(pointers, ifo_sectors, last_sector, title_vobs)
    ifo = information_file(mat, tables)
    prefix = "VTS_%02d_" % number
    return [(prefix + "0.IFO", ifo, 0), (prefix + "1.VOB", video_object_set(title_packs), ifo_sectors),
            (prefix + "0.BUP", ifo, last_sector - ifo_sectors + 1)], last_sector

def video_manager_files(menu_packs, title_sets, set_starts, manager_last, fault):
    """VIDEO_TS.IFO, VIDEO_TS.VOB and VIDEO_TS.BUP, each (name, data, start),
    and the manager's last sector, where the BUP ends (`manager_last`, or
    None: right behind the menu VOBS). `set_starts(manager_last)` gives the
    first sector of each title set."""
    titles = [(n + 1, 0) for n in range(title_sets)]
    pointers, ifo_sectors = table_sectors(manager_tables(menu_packs, titles, title_sets))
    contiguous = 2 * ifo_sectors + menu_packs - 1
    if manager_last is None:
        manager_last = contiguous
    if manager_last < contiguous:
        raise ValueError("the video manager needs sectors 0 to %d" % contiguous)
    starts = set_starts(manager_last)
    titles = [(number, starts[number - 1]) for number, _ in titles]
    tables = manager_tables(menu_packs, titles, title_sets)
    mat = manager_mat(pointers, ifo_sectors, manager_last, title_sets)
    if fault == "short":
        put(mat, 196, u32(ifo_sectors))  # the first sector past the IFO
    ifo = information_file(mat, tables)
    return [("VIDEO_TS.IFO", ifo, 0), ("VIDEO_TS.VOB", video_object_set(menu_packs), ifo_sectors),
            ("VIDEO_TS.BUP", ifo, manager_last - ifo_sectors + 1)], manager_last

def make_video_ts(folder, sets=1, manager_last=None, set_gap=0, fault=None):
    """Writes FOLDER/VIDEO_TS and returns its path; a `fault` of BREAKS breaks
    the tables."""
    title_packs, menu_packs = TITLE_PACKS, MENU_PACKS
    if not 1 <= sets <= 99 or set_gap < 0:
        raise ValueError("1 to 99 title sets, a gap of 0 or more sectors")
    sets_files, set_lasts = [], []
    for number in range(1, sets + 1):
        files, last_sector = title_set_files(number, title_packs, set_gap, fault if number == 1 else None)
        sets_files.append(files)
        set_lasts.append(last_sector)

    def set_starts(manager_last):
        starts = [manager_last + 1]
        for last_sector in set_lasts[:-1]:
            starts.append(starts[-1] + last_sector + 1)
        return starts

    placed, manager_last = video_manager_files(menu_packs, sets, set_starts, manager_last, fault)
    starts = set_starts(manager_last)
    for start, files in zip(starts, sets_files):
        placed += [(name, data, start + offset) for name, data, offset in files]

    video_ts = os.path.join(folder, "VIDEO_TS")
    os.makedirs(video_ts, exist_ok=True)
    for name, data, _ in placed:
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
    parser.add_argument("--break", dest="fault", choices=BREAKS, help="makes one fault in the tables")
    args = parser.parse_args(argv)
    try:
        print(make_video_ts(args.folder, args.sets, args.manager_last, args.set_gap, args.fault))
    except ValueError as error:
        parser.error(str(error))
    return 0

if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
