#!/usr/bin/python3
"""Reads an AWS tape file on its own and checks it as a DDP 2.00 delivery tape.

    check_tape.py TAPE.AWS [--expect] [--control CONTROL.IMG]
                  [--layer LAYER01.IMG | --layer2 LAYER02.IMG]
                  [--layer-capacity SECTORS] [--extract FILE=PATH ...]

An AWS block is led by a 6-byte header: its length and the previous block's
(16-bit little-endian), flags (0xA0 a data block, 0x40 a tape mark), a zero.

--expect checks the labelled set byte by byte: the labels, the files in order
(DDPID, CONTROL.DAT, LAYER0.DAT on a first tape, whose description has 384
bytes; DDPID, LAYER1.DAT on a layer-2 tape, 256), the marks, the block counts
against the blocks present, the DDP map and the control data. --control,
--layer and --layer2 imply it and compare CONTROL.DAT, LAYER0.DAT or
LAYER1.DAT with those image files (whose readers check the volume itself);
--layer-capacity gives layer 1's sectors, which a layer-2 tape's block count
includes. --extract writes the data blocks of a labelled file to PATH.

Exit status 0 when every check passes, else 1, each failure on a line "FAIL: ".
"""

import argparse
import collections
import struct
import sys

HEADER = struct.Struct("<HHBB")
LABEL = 80
SECTOR = 2048
BLOCK = 32768
PER_BLOCK = BLOCK // SECTOR
DATA_AREA_START = 196608  # 0x30000, the first sector of the data area on the disc
CONTROL_START = 193024    # 0x2F200

failures = []
fail = failures.append

Block = collections.namedtuple("Block", "offset length")  # the offset of the data in the AWS file


class Tape:
    """The blocks of an AWS file, split into tape files at the marks."""

    def __init__(self, path):
        self.handle = open(path, "rb")
        self.files = [[]]  # the last entry: what follows the last mark
        self.marks = 0
        end = self.handle.seek(0, 2)
        previous = position = 0
        while position < end:
            self.handle.seek(position)
            header = self.handle.read(HEADER.size)
            if len(header) < HEADER.size:
                fail("AWS: a header cut short at byte %d" % position)
                return
            length, back, flags, reserved = HEADER.unpack(header)
            if back != previous or reserved != 0:
                fail("AWS: the header at byte %d gives the previous block's length as %d (it was %d) and 0x%02x "
                     "as its last byte" % (position, back, previous, reserved))
            if flags == 0x40 and length == 0:
                self.marks += 1
                self.files.append([])
            elif flags == 0xA0 and length > 0:
                self.files[-1].append(Block(position + HEADER.size, length))
            else:
                fail("AWS: the header at byte %d has flags 0x%02x and length %d" % (position, flags, length))
                return
            position += HEADER.size + length
            if position > end:
                fail("AWS: the block at byte %d runs past the end of the file" % (position - length - HEADER.size))
                return
            previous = length

    def read(self, block):
        self.handle.seek(block.offset)
        return self.handle.read(block.length)


def record(length, fields):
    """`length` bytes of spaces with each (offset, text) of `fields` written in."""
    data = bytearray(b" " * length)
    for offset, text in fields:
        data[offset:offset + len(text)] = text.encode("ascii") if isinstance(text, str) else text
    return bytes(data)


def expect(what, data, expected):
    """Fails with the first run of bytes where `data` is not `expected`."""
    if len(data) != len(expected):
        fail("%s: %d bytes, expected %d" % (what, len(data), len(expected)))
        return
    start = next((i for i in range(len(data)) if data[i] != expected[i]), None)
    if start is not None:
        end = start
        while end < len(data) and data[end] != expected[end]:
            end += 1
        fail("%s: bytes %d-%d are %r, expected %r" % (what, start, end - 1, data[start:end], expected[start:end]))


VOL1 = record(LABEL, [(0, "VOL1ORVELT"), (79, "4")])


def hdr1(kind, file_id, sequence, blocks):
    return record(LABEL, [(0, kind + file_id), (21, "DVD   0001%04d0001" % sequence),
                          (39, ("01" if kind == "HDR1" else "00") + "000000000000"), (54, "%06d" % blocks)])


def hdr2(kind, block_length, record_length):
    return record(LABEL, [(0, "%sF%05d%05d" % (kind, block_length, record_length)), (50, "00")])


def packet(base, stream_type, length, start, name):
    sectors = "".join("%8d" % n if n else " " * 8 for n in (length, start))
    return [(base, "VVVM" + stream_type), (base + 14, sectors), (base + 38, "DV00"), (base + 71, "017" + name)]


Description = collections.namedtuple("Description", "length layer2_tape dual layer_sectors")


def check_description(data):
    """What the tape's DDP description says about the title, once it is checked."""
    if len(data) not in (384, 256):
        fail("DDPID: a description of %d bytes, expected 384 or 256" % len(data))
        return None
    layer2_tape, dual = len(data) == 256, data[91:92] == b"2"
    field = data[(128 if layer2_tape else 256) + 14:][:8].strip()
    layer_sectors = int(field) if field.isdigit() else 0
    fields = [(0, "DDP 2.00"), (87, "DV10%s%s%sB00" % ("2" if dual else "1", "1" if layer2_tape else "0",
                                                       "O" if dual else "I"))]
    if layer2_tape:
        if not dual:
            fail("DDPID: a layer-2 description names a single-layer title (byte 91 is %r)" % data[91:92])
        fields += packet(128, "D0", layer_sectors, DATA_AREA_START, "LAYER1.DAT")
    else:
        fields += packet(128, "D2", 16, CONTROL_START, "CONTROL.DAT")
        fields += packet(256, "D0", layer_sectors, DATA_AREA_START, "LAYER0.DAT")
    expect("DDPID", data, record(len(data), fields))
    return Description(len(data), layer2_tape, dual, layer_sectors)


def check_control(data, description):
    """The physical format sector, then zeros; the title's end is known only from the whole title."""
    head = bytes([0x01, 0x02, 0x31, 0x10] if description.dual else [0x01, 0x02, 0x01, 0x00])
    head += struct.pack(">I", DATA_AREA_START)
    if description.dual:
        head += data[8:12] + struct.pack(">I", description.layer_sectors + DATA_AREA_START)
    else:
        head += struct.pack(">I", description.layer_sectors + DATA_AREA_START - 1)
    expect("CONTROL.DAT", data, head + bytes(BLOCK - len(head)))


def labels_of(tape, blocks, what, names):
    if len(blocks) != len(names) or any(b.length != LABEL for b in blocks):
        fail("%s: %s, expected %s as %d-byte blocks"
             % (what, " ".join(str(b.length) for b in blocks) or "nothing", " ".join(names), LABEL))
        return None
    return [tape.read(b) for b in blocks]


def block_count(name, description, present, headers, layer_capacity):
    """The block count HDR1 and EOF1 must carry: the tape's own blocks on a
    single-layer title, the whole title's on both tapes of a dual-layer one."""
    if name in ("DDPID", "CONTROL.DAT"):
        return 1
    if not description.dual:
        return present
    if description.layer2_tape and layer_capacity is not None:
        return layer_capacity // PER_BLOCK + present
    digits = headers[-2][54:60] if headers else b""
    return int(digits) if digits.isdigit() else present


def check_layer_sectors(name, description, present, count):
    sectors = present * PER_BLOCK
    if description.dual and count <= present:
        fail("%s: HDR1 counts %d blocks, expected the whole title's, more than the %d on this tape"
             % (name, count, present))
    # The title's last block may carry 16 sectors more than the size the map tells.
    allowed = (0,) if description.dual and not description.layer2_tape else (0, PER_BLOCK)
    if sectors - description.layer_sectors not in allowed:
        fail("%s: %d blocks (%d sectors), the DDP map tells %d sectors"
             % (name, present, sectors, description.layer_sectors))


def compare(tape, what, blocks, path):
    with open(path, "rb") as image:
        offset = 0
        for block in blocks:
            chunk = tape.read(block)
            expected = image.read(len(chunk))
            if chunk != expected:
                at = next((i for i, (a, b) in enumerate(zip(chunk, expected)) if a != b), min(len(chunk), len(expected)))
                fail("%s: differs from %s at byte %d (sector %d)" % (what, path, offset + at, (offset + at) // SECTOR))
                return
            offset += len(chunk)
        if image.read(1):
            fail("%s: %d bytes on tape, %s is longer" % (what, offset, path))


def check_set(tape, options):
    """Checks the set; returns its kind ("first" or "layer-2")."""
    files = tape.files
    if len(files) < 2 or len(files[1]) != 1:
        fail("DDPID: no single description block in the second tape file")
        return None
    description = check_description(tape.read(files[1][0]))
    if description is None:
        return None
    # Each file: name, sequence, HDR2's and EOF2's block and record lengths.
    plan = [("DDPID", 1, (128, 128), (description.length, 128))]
    layers = [("LAYER1.DAT", 3)] if description.layer2_tape else [("CONTROL.DAT", 2), ("LAYER0.DAT", 3)]
    plan += [(name, sequence, (BLOCK, SECTOR), (BLOCK, SECTOR)) for name, sequence in layers]
    if len(files) != 3 * len(plan) + 2 or files[-2] or files[-1]:
        fail("marks: %d tape files between %d marks, expected %d marks (one after every label group and data "
             "part, two at the end) and nothing after them" % (len(files) - 1, tape.marks, 3 * len(plan) + 1))
    for index, (name, sequence, hdr2_lengths, eof2_lengths) in enumerate(plan):
        head, data, tail = (files[3 * index + k] if 3 * index + k < len(files) else [] for k in range(3))
        headers = labels_of(tape, head, "labels before " + name, (["VOL1"] if index == 0 else []) + ["HDR1", "HDR2"])
        enders = labels_of(tape, tail, "labels after " + name, ["EOF1", "EOF2"])
        present = len(data)
        if name in ("DDPID", "CONTROL.DAT") and present != 1:
            fail("%s: %d data blocks, expected 1" % (name, present))
        if name.startswith("LAYER") and any(b.length != BLOCK for b in data):
            fail("%s: data blocks of %s bytes, expected %d" % (name, sorted({b.length for b in data}), BLOCK))
        count = block_count(name, description, present, headers, options.layer_capacity)
        if headers:
            if index == 0:
                expect("VOL1", headers[0], VOL1)
            expect("HDR1 of " + name, headers[-2], hdr1("HDR1", name, sequence, count))
            expect("HDR2 of " + name, headers[-1], hdr2("HDR2", *hdr2_lengths))
        if enders:
            expect("EOF1 of " + name, enders[0], hdr1("EOF1", "DVDMOVIE", sequence, count))
            expect("EOF2 of " + name, enders[1], hdr2("EOF2", *eof2_lengths))
        if name.startswith("LAYER"):
            check_layer_sectors(name, description, present, count)
        if not data:
            continue
        if name == "CONTROL.DAT":
            check_control(tape.read(data[0]), description)
        image = {"CONTROL.DAT": options.control, "LAYER0.DAT": options.layer, "LAYER1.DAT": options.layer2}.get(name)
        if image:
            compare(tape, name, data, image)
    return "layer-2" if description.layer2_tape else "first"


def extract(tape, request):
    """Writes the data part of a labelled file, found by the HDR1 before it."""
    name, _, path = request.partition("=")
    for index in range(1, len(tape.files)):
        for block in tape.files[index - 1]:
            label = tape.read(block) if block.length == LABEL else b""
            if label[:4] == b"HDR1" and label[4:21].decode("ascii", "replace").rstrip() == name:
                with open(path, "wb") as out:
                    for data in tape.files[index]:
                        out.write(tape.read(data))
                return
    fail("extract: no tape file %s" % name)


def main():
    parser = argparse.ArgumentParser(description="Reads and checks an AWS tape file holding a DDP 2.00 set.")
    parser.add_argument("tape")
    parser.add_argument("--expect", action="store_true", help="check the labelled DDP 2.00 set")
    parser.add_argument("--control", help="CONTROL.IMG to compare CONTROL.DAT with")
    group = parser.add_mutually_exclusive_group()
    group.add_argument("--layer", help="LAYER01.IMG to compare LAYER0.DAT with")
    group.add_argument("--layer2", help="LAYER02.IMG to compare LAYER1.DAT with")
    parser.add_argument("--layer-capacity", type=int, help="sectors of layer 1, for a layer-2 tape's block count")
    parser.add_argument("--extract", action="append", default=[], metavar="FILE=PATH")
    options = parser.parse_args()

    tape = Tape(options.tape)
    kind = None
    if options.expect or options.control or options.layer or options.layer2:
        kind = check_set(tape, options)
    for request in options.extract:
        extract(tape, request)
    for text in failures:
        print("FAIL: " + text)
    if not failures and kind:
        print("OK: a DDP 2.00 %s tape" % kind)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
