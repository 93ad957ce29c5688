#!/usr/bin/env python3
"""Writes a small synthetic DVD-Video title into FOLDER/VIDEO_TS.

The title carries no picture or sound, only navigation: a video manager
(VIDEO_TS.IFO, VIDEO_TS.VOB, VIDEO_TS.BUP) with a first-play program chain, a
title menu and one title, and one title set (VTS_01_0.IFO, VTS_01_1.VOB,
VTS_01_0.BUP) whose single program chain plays one cell made of navigation
packs. Every table lies on a sector boundary of its information file and the
backup files are byte copies of the information files, so DVD readers open it
and copy it like a disc's VIDEO_TS folder.

Usage: make_video_ts.py FOLDER [--title-packs N] [--menu-packs N]
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


def u8(value):
    return struct.pack(">B", value)


def u16(value):
    return struct.pack(">H", value)


def u32(value):
    return struct.pack(">I", value)


def pad_to_sector(data):
    if len(data) % SECTOR:
        data += bytes(SECTOR - len(data) % SECTOR)
    return data


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


def vts_attributes():
    entry = bytearray(542)
    put(entry, 0, u32(len(entry) - 1))
    put(entry, 264, VIDEO_ATTRIBUTES)
    return bytes(entry)


def video_manager(menu_packs, vts_first_sector_of):
    """VIDEO_TS.IFO; `vts_first_sector_of(ifo_sectors)` gives the title set's
    first sector counted from the start of the video manager."""
    fp_offset = 0x400
    first_play = program_chain(pre=[JUMP_TO_TITLE_1])
    title_table = u16(1) + u16(0) + u32(8 + 12 - 1)
    menu_pgc = program_chain(cell_sectors=(0, menu_packs - 1), post=[JUMP_TO_TITLE_1])
    menu_pgcit = pgc_table(0x82, menu_pgc)  # the title menu, entry PGC
    menu_unit_table = u16(1) + u16(0) + u32(16 + len(menu_pgcit) - 1)
    menu_unit_table += b"en" + u8(0) + u8(0x80) + u32(16) + menu_pgcit
    attributes = vts_attributes()
    attribute_table = u16(1) + u16(0) + u32(12 + len(attributes) - 1) + u32(12) + attributes

    tables = [None, None, menu_unit_table, attribute_table, cell_address_table(menu_packs),
              vobu_address_map(menu_packs)]
    ifo_sectors = len(tables)
    vts_start = vts_first_sector_of(ifo_sectors)
    tables[1] = title_table + u8(0) + u8(1) + u16(1) + u16(0) + u8(1) + u8(1) + u32(vts_start)
    last_sector = 2 * ifo_sectors + menu_packs - 1

    mat = bytearray(SECTOR)
    put(mat, 0, b"DVDVIDEO-VMG")
    put(mat, 12, u32(last_sector))
    put(mat, 28, u32(ifo_sectors - 1))
    put(mat, 32, u8(0) + u8(0x11))  # version 1.1
    put(mat, 34, u32(0))  # category, no region prohibited
    put(mat, 38, u16(1) + u16(1) + u8(1))  # volumes, volume, side
    put(mat, 62, u16(1))  # title sets
    put(mat, 64, b"PRAVEL-SYNTHETIC".ljust(32, b"\0"))
    put(mat, 128, u32(fp_offset + len(first_play) - 1))
    put(mat, 132, u32(fp_offset))
    put(mat, 192, u32(ifo_sectors))  # menu VOBS right behind the IFO
    put(mat, 196, u32(1) + u32(2) + u32(0) + u32(3) + u32(0) + u32(4) + u32(5))
    put(mat, 256, VIDEO_ATTRIBUTES)
    put(mat, fp_offset, first_play)
    tables[0] = bytes(mat)
    return b"".join(pad_to_sector(table) for table in tables)


def title_set(title_packs):
    """VTS_01_0.IFO: one title of one chapter, one program chain, one cell."""
    ptt_table = u16(1) + u16(0) + u32(12 + 4 - 1) + u32(12) + u16(1) + u16(1)
    title_pgcit = pgc_table(0x81, program_chain(cell_sectors=(0, title_packs - 1)))
    tables = [None, ptt_table, title_pgcit, cell_address_table(title_packs), vobu_address_map(title_packs)]
    ifo_sectors = len(tables)

    mat = bytearray(SECTOR)
    put(mat, 0, b"DVDVIDEO-VTS")
    put(mat, 12, u32(2 * ifo_sectors + title_packs - 1))
    put(mat, 28, u32(ifo_sectors - 1))
    put(mat, 32, u8(0) + u8(0x11))
    put(mat, 128, u32(983))  # end of this table
    put(mat, 192, u32(0) + u32(ifo_sectors))  # no menu; title VOBS behind the IFO
    put(mat, 200, u32(1) + u32(2) + u32(0) + u32(0) + u32(0) + u32(0) + u32(3) + u32(4))
    put(mat, 512, VIDEO_ATTRIBUTES)
    tables[0] = bytes(mat)
    return b"".join(pad_to_sector(table) for table in tables)


def write(path, data):
    with open(path, "wb") as out:
        out.write(data)


def make_video_ts(folder, title_packs=4, menu_packs=2):
    if title_packs < 2 or menu_packs < 2:
        raise ValueError("a cell spans at least two sectors")
    video_ts = os.path.join(folder, "VIDEO_TS")
    os.makedirs(video_ts, exist_ok=True)
    vts_ifo = title_set(title_packs)
    vmg_ifo = video_manager(menu_packs, lambda ifo_sectors: 2 * ifo_sectors + menu_packs)
    files = {
        "VIDEO_TS.IFO": vmg_ifo,
        "VIDEO_TS.VOB": video_object_set(menu_packs),
        "VIDEO_TS.BUP": vmg_ifo,
        "VTS_01_0.IFO": vts_ifo,
        "VTS_01_1.VOB": video_object_set(title_packs),
        "VTS_01_0.BUP": vts_ifo,
    }
    for name, data in files.items():
        write(os.path.join(video_ts, name), data)
    return video_ts


def main(argv):
    parser = argparse.ArgumentParser(description="Writes a synthetic DVD-Video title into FOLDER/VIDEO_TS.")
    parser.add_argument("folder")
    parser.add_argument("--title-packs", type=int, default=4, help="navigation packs of VTS_01_1.VOB")
    parser.add_argument("--menu-packs", type=int, default=2, help="navigation packs of VIDEO_TS.VOB")
    args = parser.parse_args(argv)
    print(make_video_ts(args.folder, args.title_packs, args.menu_packs))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
