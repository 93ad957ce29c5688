#!/usr/bin/python3
"""Reads an AWS tape file on its own and checks it as a DDP 2.00 delivery tape.

    check_tape.py TAPE.AWS [--expect] [--control CONTROL.IMG]
                  [--layer LAYER01.IMG | --layer2 LAYER02.IMG]
                  [--layer-capacity SECTORS] [--extract FILE=PATH ...]

Always: parses the AWS blocks (each led by a 6-byte header: length of this
block and of the one before, both 16-bit little-endian, then a flags byte,
0xA0 for a whole data block or 0x40 for a tape mark, then a zero byte),
splits them into tape files at the marks and prints a listing.

--expect checks the labelled set: VOL1, HDR1, HDR2, EOF1, EOF2 byte by byte
(every byte that is not a field is a space); the files in order (DDPID,
CONTROL.DAT, LAYER0.DAT on a first tape; DDPID, LAYER1.DAT on a layer-2
tape) with their sequence numbers; one mark after every label group and data
part and two at the end; the block counts and lengths in the labels against
the blocks present; the DDP identifier and map packets; the physical format
sector of the control data; the closing anchor at the end of the title. The
tape's kind follows from its DDP description (384 bytes: first tape, 256:
layer-2 tape). --control, --layer and --layer2 imply --expect and compare the
data of CONTROL.DAT, LAYER0.DAT or LAYER1.DAT with those files byte for byte.
--layer-capacity tells the sectors of layer 1, so that a layer-2 tape's block
count can be checked against its own blocks.

--extract FILE=PATH writes the data blocks of a tape file to PATH; FILE is a
labelled file's name (LAYER0.DAT) or a tape file's number in the listing.

Exit status 0 when the tape parses and every check passes, 1 otherwise, each
failure printed on its own line beginning "FAIL".
"""

import argparse
import struct
import sys

HEADER = struct.Struct("<HHBB")
DATA_FLAGS = 0xA0
MARK_FLAGS = 0x40

LABEL_LENGTH = 80
SECTOR = 2048
BLOCK = 32768
SECTORS_PER_BLOCK = BLOCK // SECTOR
DATA_AREA_START = 196608  # 0x30000, the first sector of the data area on the disc
CONTROL_START = 193024    # 0x2F200

failures = []


def fail(text):
    failures.append(text)


class Block:
    def __init__(self, offset, length):
        self.offset = offset  # of the data, in the AWS file
        self.length = length


class Tape:
    """The blocks of an AWS file, split into tape files at the marks."""

    def __init__(self, path):
        self.path = path
        self.handle = open(path, "rb")
        self.files = [[]]  # the last entry: what follows the last mark
        self.marks = 0
        self._parse()

    def _parse(self):
        self.handle.seek(0, 2)
        end = self.handle.tell()
        previous = 0
        position = 0
        while position < end:
            self.handle.seek(position)
            header = self.handle.read(HEADER.size)
            if len(header) < HEADER.size:
                fail("AWS: a header cut short at byte %d" % position)
                return
            length, back, flags, reserved = HEADER.unpack(header)
            if back != previous:
                fail("AWS: the header at byte %d gives the previous block's length as %d, it was %d"
                     % (position, back, previous))
            if reserved != 0:
                fail("AWS: the header at byte %d has 0x%02x in its last byte" % (position, reserved))
            if flags == MARK_FLAGS:
                if length != 0:
                    fail("AWS: the tape mark at byte %d has length %d" % (position, length))
                self.marks += 1
                self.files.append([])
            elif flags == DATA_FLAGS:
                if length == 0:
                    fail("AWS: an empty data block at byte %d" % position)
                self.files[-1].append(Block(position + HEADER.size, length))
            else:
                fail("AWS: the header at byte %d has flags 0x%02x" % (position, flags))
                return
            position += HEADER.size + length
            if position > end:
                fail("AWS: the block at byte %d runs past the end of the file" % (position - length - HEADER.size))
                return
            previous = length

    def read(self, block):
        self.handle.seek(block.offset)
        return self.handle.read(block.length)

    def data(self, blocks):
        for block in blocks:
            yield self.read(block)


def label_name(data):
    text = data[:4].decode("ascii", "replace")
    return text if text in ("VOL1", "HDR1", "HDR2", "EOF1", "EOF2") else None


def print_listing(tape):
    for number, blocks in enumerate(tape.files):
        if number == len(tape.files) - 1 and not blocks:
            break
        if not blocks:
            print("%3d  (empty)" % number)
            continue
        labels = [label_name(tape.read(b)) if b.length == LABEL_LENGTH else None for b in blocks]
        if all(labels):
            detail = " ".join(
                "%s(%s)" % (name, tape.read(b)[4:21].decode("ascii", "replace").rstrip()) if name == "HDR1"
                else name for name, b in zip(labels, blocks))
        else:
            lengths = sorted({b.length for b in blocks})
            detail = "block length%s %s, %d bytes" % (
                "s" if len(lengths) > 1 else "", ", ".join(map(str, lengths)), sum(b.length for b in blocks))
        print("%3d  %7d block%s  %s" % (number, len(blocks), "" if len(blocks) == 1 else "s", detail))
    print("%d tape marks" % tape.marks)


# ---------------------------------------------------------------- label records

def check_fields(what, data, length, fields):
    """`fields` lists (offset, bytes); every other byte of `length` must be a space."""
    if len(data) != length:
        fail("%s: %d bytes, expected %d" % (what, len(data), length))
        return
    expected = bytearray(b" " * length)
    for offset, value in fields:
        expected[offset:offset + len(value)] = value
    for offset in range(length):
        if data[offset] != expected[offset]:
            end = offset
            while end < length and data[end] != expected[end]:
                end += 1
            fail("%s: bytes %d-%d are %r, expected %r" % (what, offset, end - 1, bytes(data[offset:end]),
                                                          bytes(expected[offset:end])))
            break


def ascii(text):
    return text.encode("ascii")


def vol1_fields():
    return [(0, b"VOL1"), (4, b"ORVELT"), (79, b"4")]


def hdr1_fields(kind, file_id, sequence, blocks):
    return [(0, ascii(kind)), (4, ascii(file_id.ljust(17))), (21, b"DVD   "), (27, b"0001"),
            (31, ascii("%04d" % sequence)), (35, b"0001"), (39, b"01" if kind == "HDR1" else b"00"),
            (41, b"000000"), (47, b"000000"), (54, ascii("%06d" % blocks))]


def hdr2_fields(kind, block_length, record_length):
    return [(0, ascii(kind)), (4, b"F"), (5, ascii("%05d" % block_length)), (10, ascii("%05d" % record_length)),
            (50, b"00")]


def count_in(label):
    digits = label[54:60]
    return int(digits) if len(digits) == 6 and digits.isdigit() else None


# ---------------------------------------------------------------- DDP description

def sectors_field(count):
    return ascii("%8d" % count) if count else b" " * 8


def packet_fields(base, stream_type, length, start, name):
    return [(base, b"VVVM"), (base + 4, ascii(stream_type)), (base + 14, sectors_field(length)),
            (base + 22, sectors_field(start)), (base + 38, b"DV"), (base + 40, b"0"), (base + 41, b"0"),
            (base + 71, b"017"), (base + 74, ascii(name))]


def packet_length(data, base):
    field = data[base + 14:base + 22].decode("ascii", "replace").strip()
    return int(field) if field.isdigit() else 0


class Description:
    """What the tape's DDP description says about the title."""

    def __init__(self, data):
        self.data = data
        self.layer2_tape = len(data) == 256
        self.dual = data[91:92] == b"2"
        self.layer_sectors = packet_length(data, 128 if self.layer2_tape else 256)

    def check(self):
        data = self.data
        if len(data) not in (384, 256):
            fail("DDPID: a description of %d bytes, expected 384 or 256" % len(data))
            return
        fields = [(0, b"DDP 2.00"), (87, b"DV"), (89, b"1"), (90, b"0"), (91, b"2" if self.dual else b"1"),
                  (92, b"1" if self.layer2_tape else b"0"), (93, b"O" if self.dual else b"I"), (94, b"B"),
                  (95, b"00")]
        if self.layer2_tape:
            if not self.dual:
                fail("DDPID: a layer-2 description names a single-layer title (byte 91 is %r)" % data[91:92])
            fields += packet_fields(128, "D0", self.layer_sectors, DATA_AREA_START, "LAYER1.DAT")
        else:
            fields += packet_fields(128, "D2", 16, CONTROL_START, "CONTROL.DAT")
            fields += packet_fields(256, "D0", self.layer_sectors, DATA_AREA_START, "LAYER0.DAT")
        check_fields("DDPID", data, len(data), fields)


# ---------------------------------------------------------------- control data and anchor

def be32(value):
    return struct.pack(">I", value)


def check_control(data, description):
    if len(data) != BLOCK:
        fail("CONTROL.DAT: a block of %d bytes, expected %d" % (len(data), BLOCK))
        return
    expected = bytearray(BLOCK)
    expected[0:4] = bytes([0x01, 0x02, 0x31, 0x10]) if description.dual else bytes([0x01, 0x02, 0x01, 0x00])
    expected[4:8] = be32(DATA_AREA_START)
    expected[8:12] = data[8:12]  # the title's end: known only from the whole title
    if description.dual:
        expected[12:16] = be32(description.layer_sectors + DATA_AREA_START)
    else:
        expected[8:12] = be32(description.layer_sectors + DATA_AREA_START - 1)
    for offset in range(BLOCK):
        if data[offset] != expected[offset]:
            fail("CONTROL.DAT: byte %d is 0x%02x, expected 0x%02x (physical format sector)"
                 % (offset, data[offset], expected[offset]))
            return


def crc_itu(data):
    crc = 0
    for byte in data:
        crc ^= byte << 8
        for _ in range(8):
            crc = ((crc << 1) ^ 0x1021) if crc & 0x8000 else (crc << 1)
            crc &= 0xFFFF
    return crc


def check_anchor(what, sector, location):
    tag_id, version, checksum, reserved, serial, crc, crc_length, tag_location = struct.unpack(
        "<HHBBHHHI", sector[:16])
    expected_checksum = (sum(sector[0:4]) + sum(sector[5:16])) % 256
    body = struct.unpack("<IIII", sector[16:32])
    problems = []
    if (tag_id, version, reserved, serial, crc_length) != (2, 2, 0, 0, 496):
        problems.append("tag fields %r" % ((tag_id, version, reserved, serial, crc_length),))
    if checksum != expected_checksum:
        problems.append("tag checksum 0x%02x, expected 0x%02x" % (checksum, expected_checksum))
    if crc != crc_itu(sector[16:512]):
        problems.append("descriptor CRC 0x%04x, expected 0x%04x" % (crc, crc_itu(sector[16:512])))
    if tag_location != location:
        problems.append("tag location %d, expected %d" % (tag_location, location))
    if body != (32768, 32, 32768, 48):
        problems.append("extents %r, expected (32768, 32, 32768, 48)" % (body,))
    if any(sector[32:]):
        problems.append("nonzero bytes after the extents")
    for problem in problems:
        fail("%s: closing anchor: %s" % (what, problem))


# ---------------------------------------------------------------- the set

class Plan:
    def __init__(self, name, sequence, hdr2, eof2, single_block):
        self.name = name
        self.sequence = sequence
        self.hdr2 = hdr2  # (block length, record length)
        self.eof2 = eof2
        self.single_block = single_block


def plan_for(layer2_tape, description_length):
    ddpid = Plan("DDPID", 1, (128, 128), (description_length, 128), True)
    if layer2_tape:
        return [ddpid, Plan("LAYER1.DAT", 3, (BLOCK, SECTOR), (BLOCK, SECTOR), False)]
    return [ddpid, Plan("CONTROL.DAT", 2, (BLOCK, SECTOR), (BLOCK, SECTOR), True),
            Plan("LAYER0.DAT", 3, (BLOCK, SECTOR), (BLOCK, SECTOR), False)]


def check_marks(tape, plan):
    files = tape.files
    expected = 3 * len(plan) + 2  # label groups and data parts, the empty file of the double mark, the end
    if len(files) != expected or files[-2] or files[-1]:
        fail("marks: %d tape files between %d marks, expected %d marks (one after every label group and data "
             "part, two at the end) and nothing after them" % (len(files) - 1, tape.marks, expected - 1))


def labels_of(tape, blocks, what, names):
    if len(blocks) != len(names) or any(b.length != LABEL_LENGTH for b in blocks):
        fail("%s: %s, expected %s as %d-byte blocks"
             % (what, " ".join(str(b.length) for b in blocks) or "nothing", " ".join(names), LABEL_LENGTH))
        return None
    return [tape.read(b) for b in blocks]


def check_file(tape, index, plan, description, first, layer_capacity):
    files = tape.files
    head = files[3 * index] if 3 * index < len(files) else []
    data = files[3 * index + 1] if 3 * index + 1 < len(files) else []
    tail = files[3 * index + 2] if 3 * index + 2 < len(files) else []
    names = (["VOL1"] if first else []) + ["HDR1", "HDR2"]
    headers = labels_of(tape, head, "labels before %s" % plan.name, names)
    enders = labels_of(tape, tail, "labels after %s" % plan.name, ["EOF1", "EOF2"])
    present = len(data)
    if plan.single_block and present != 1:
        fail("%s: %d data blocks, expected 1" % (plan.name, present))
    if not plan.single_block and any(b.length != BLOCK for b in data):
        fail("%s: data blocks of %s bytes, expected %d" % (plan.name, sorted({b.length for b in data}), BLOCK))
    hdr_count = count_in(headers[-2]) if headers else None
    count = expected_count(plan, description, present, hdr_count, layer_capacity)
    if headers:
        if first:
            check_fields("VOL1", headers[0], LABEL_LENGTH, vol1_fields())
        check_fields("HDR1 of %s" % plan.name, headers[-2], LABEL_LENGTH,
                     hdr1_fields("HDR1", plan.name, plan.sequence, count))
        check_fields("HDR2 of %s" % plan.name, headers[-1], LABEL_LENGTH, hdr2_fields("HDR2", *plan.hdr2))
    if enders:
        check_fields("EOF1 of %s" % plan.name, enders[0], LABEL_LENGTH,
                     hdr1_fields("EOF1", "DVDMOVIE", plan.sequence, count))
        check_fields("EOF2 of %s" % plan.name, enders[1], LABEL_LENGTH, hdr2_fields("EOF2", *plan.eof2))
    if plan.name == "DDPID" and data and data[0].length != plan.eof2[0]:
        fail("DDPID: the block holds %d bytes, EOF2 tells %d" % (data[0].length, plan.eof2[0]))
    if not plan.single_block:
        check_layer_sectors(plan.name, description, present, count)
    return data, count


def expected_count(plan, description, present, hdr_count, layer_capacity):
    """The block count HDR1 and EOF1 must carry: the tape's own blocks on a
    single-layer title, the whole title's on both tapes of a dual-layer one."""
    if plan.single_block:
        return 1
    if not description.dual:
        return present
    if description.layer2_tape and layer_capacity is not None:
        return layer_capacity // SECTORS_PER_BLOCK + present
    return hdr_count if hdr_count is not None else present


def check_layer_sectors(name, description, present, count):
    sectors = present * SECTORS_PER_BLOCK
    if description.dual and count <= present:
        fail("%s: HDR1 counts %d blocks, expected the whole title's, more than the %d on this tape"
             % (name, count, present))
    if description.dual and not description.layer2_tape:
        if sectors != description.layer_sectors:
            fail("%s: %d blocks (%d sectors), the DDP map tells %d sectors"
                 % (name, present, sectors, description.layer_sectors))
        return
    # The title's last block may carry 16 sectors more than the size the map tells.
    if sectors - description.layer_sectors not in (0, SECTORS_PER_BLOCK):
        fail("%s: %d blocks (%d sectors), the DDP map tells %d sectors"
             % (name, present, sectors, description.layer_sectors))


def last_sector(tape, blocks):
    block = tape.read(blocks[-1])
    return block[-SECTOR:]


def compare(tape, what, blocks, path):
    try:
        image = open(path, "rb")
    except OSError as error:
        fail("%s: can not read %s: %s" % (what, path, error))
        return
    with image:
        offset = 0
        for chunk in tape.data(blocks):
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
    first_files = tape.files
    if len(first_files) < 2 or len(first_files[1]) != 1:
        fail("DDPID: no single description block in the second tape file")
        return None
    description = Description(tape.read(first_files[1][0]))
    description.check()
    if options.layer2 and not description.layer2_tape:
        fail("--layer2 given, but the tape carries a first tape's description")
    if (options.layer or options.control) and description.layer2_tape:
        fail("--layer or --control given, but the tape carries a layer-2 description")
    plan = plan_for(description.layer2_tape, len(description.data))
    check_marks(tape, plan)
    for index, item in enumerate(plan):
        data, count = check_file(tape, index, item, description, index == 0, options.layer_capacity)
        if not data:
            continue
        if item.name == "CONTROL.DAT":
            check_control(tape.read(data[0]), description)
            if options.control:
                control = tape.read(data[0])
                with open(options.control, "rb") as image:
                    if image.read(BLOCK) != control:
                        fail("CONTROL.DAT: differs from the first %d bytes of %s" % (BLOCK, options.control))
        if item.name == "LAYER0.DAT":
            if not description.dual:
                check_anchor(item.name, last_sector(tape, data), len(data) * SECTORS_PER_BLOCK - 1)
            if options.layer:
                compare(tape, item.name, data, options.layer)
        if item.name == "LAYER1.DAT":
            check_anchor(item.name, last_sector(tape, data), count * SECTORS_PER_BLOCK - 1)
            if options.layer2:
                compare(tape, item.name, data, options.layer2)
    return "layer-2" if description.layer2_tape else "first"


def labelled_file(tape, name):
    """The data part of the labelled file `name`, found by the HDR1 before it."""
    for index in range(1, len(tape.files)):
        for block in tape.files[index - 1]:
            label = tape.read(block) if block.length == LABEL_LENGTH else b""
            if label[:4] == b"HDR1" and label[4:21].decode("ascii", "replace").rstrip() == name:
                return tape.files[index]
    return None


def extract(tape, request):
    name, _, path = request.partition("=")
    blocks = tape.files[int(name)] if name.isdigit() and int(name) < len(tape.files) else labelled_file(tape, name)
    if blocks is None:
        fail("extract: no tape file %s" % name)
        return
    with open(path, "wb") as out:
        for chunk in tape.data(blocks):
            out.write(chunk)


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

    try:
        tape = Tape(options.tape)
    except OSError as error:
        print("FAIL: can not read %s: %s" % (options.tape, error))
        return 1
    print_listing(tape)
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
