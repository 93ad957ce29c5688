// A small labelled DDP tape written through the virtual drive must read
// back with other programs' AWS readers and with the project's own checker.
#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "platform/tape_library.h"
#include "support/test_support.h"

namespace pravel::platform {
namespace {

using testing::Contains;
using testing::Quoted;
using testing::ReadFile;
using testing::RunShell;
using testing::TempDir;
using testing::ToolPath;
using testing::WriteFile;

constexpr size_t kSector = 2048;
constexpr size_t kBlock = 32768;
constexpr uint32_t kTitleSectors = 32;  // two blocks of layer data, the last sector the closing anchor

// A record of `length` spaces with each (offset, text) written in.
std::string Record(size_t length, const std::vector<std::pair<size_t, std::string>>& fields) {
  std::string record(length, ' ');
  for (const auto& [offset, text] : fields) record.replace(offset, text.size(), text);
  return record;
}

std::string Vol1() { return Record(80, {{0, "VOL1"}, {4, "ORVELT"}, {79, "4"}}); }

std::string Hdr1(const std::string& kind, const std::string& fileId, const std::string& sequence,
                 const std::string& blocks) {
  return Record(80, {{0, kind}, {4, fileId}, {21, "DVD   "}, {27, "0001"}, {31, sequence}, {35, "0001"},
                     {39, kind == "HDR1" ? "01" : "00"}, {41, "000000"}, {47, "000000"}, {54, blocks}});
}

std::string Hdr2(const std::string& kind, const std::string& blockLength, const std::string& recordLength) {
  return Record(80, {{0, kind}, {4, "F"}, {5, blockLength}, {10, recordLength}, {50, "00"}});
}

std::string Description() {
  return Record(384, {{0, "DDP 2.00"}, {87, "DV"}, {89, "1"}, {90, "0"}, {91, "1"}, {92, "0"}, {93, "I"},
                      {94, "B"}, {95, "00"},
                      {128, "VVVM"}, {132, "D2"}, {142, "      16"}, {150, "  193024"}, {166, "DV"},
                      {168, "0"}, {169, "0"}, {199, "017"}, {202, "CONTROL.DAT"},
                      {256, "VVVM"}, {260, "D0"}, {270, "      32"}, {278, "  196608"}, {294, "DV"},
                      {296, "0"}, {297, "0"}, {327, "017"}, {330, "LAYER0.DAT"}});
}

void PutBe32(std::string& at, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) at[offset + i] = static_cast<char>(value >> (24 - 8 * i));
}

void PutLe(std::string& at, size_t offset, uint32_t value, int width) {
  for (int i = 0; i < width; ++i) at[offset + i] = static_cast<char>(value >> (8 * i));
}

// The physical format sector of a single-layer title, then 15 zero sectors.
std::string ControlData() {
  std::string control(kBlock, '\0');
  control[0] = 0x01, control[1] = 0x02, control[2] = 0x01, control[3] = 0x00;
  PutBe32(control, 4, 0x30000);
  PutBe32(control, 8, kTitleSectors + 0x2FFFF);
  return control;
}

// CRC-ITU-T, x^16 + x^12 + x^5 + 1, starting from 0.
uint16_t Crc(const std::string& data) {
  uint16_t crc = 0;
  for (unsigned char byte : data) {
    crc ^= static_cast<uint16_t>(byte << 8);
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 0x8000) ? static_cast<uint16_t>((crc << 1) ^ 0x1021) : crc << 1;
  }
  return crc;
}

// An anchor volume descriptor pointer at `location`.
std::string Anchor(uint32_t location) {
  std::string sector(kSector, '\0');
  PutLe(sector, 0, 2, 2);            // tag identifier
  PutLe(sector, 2, 2, 2);            // descriptor version
  PutLe(sector, 10, 496, 2);         // CRC length
  PutLe(sector, 12, location, 4);
  PutLe(sector, 16, 32768, 4), PutLe(sector, 20, 32, 4);  // main sequence
  PutLe(sector, 24, 32768, 4), PutLe(sector, 28, 48, 4);  // reserve sequence
  PutLe(sector, 8, Crc(sector.substr(16, 496)), 2);
  unsigned sum = 0;
  for (int i = 0; i < 16; ++i) sum += (i == 4) ? 0 : static_cast<unsigned char>(sector[i]);
  sector[4] = static_cast<char>(sum & 0xFF);
  return sector;
}

std::string LayerData() {
  std::string layer(kTitleSectors * kSector, '\0');
  for (size_t i = 0; i < layer.size() - kSector; ++i) layer[i] = static_cast<char>(i * 31 / 7);
  layer.replace(layer.size() - kSector, kSector, Anchor(kTitleSectors - 1));
  return layer;
}

// Writes a single-layer title's first tape; returns its cartridge path.
std::string WriteLabelledTape(const TempDir& folder) {
  auto tape = MakeVirtualTapeLibrary(folder.path(), nullptr);
  auto write = [&](const std::string& block) {
    ASSERT_EQ(tape->WriteVariableBlock(0, reinterpret_cast<const uint8_t*>(block.data()), block.size()), 0);
  };
  auto mark = [&] { ASSERT_EQ(tape->WriteFilemarks(0, 1), 0); };
  EXPECT_EQ(tape->Load(0), 0);
  EXPECT_EQ(tape->Rewind(0), 0);
  for (const std::string& label :
       {Vol1(), Hdr1("HDR1", "DDPID", "0001", "000001"), Hdr2("HDR2", "00128", "00128")})
    write(label);
  mark();
  write(Description());
  mark();
  write(Hdr1("EOF1", "DVDMOVIE", "0001", "000001"));
  write(Hdr2("EOF2", "00384", "00128"));
  mark();
  write(Hdr1("HDR1", "CONTROL.DAT", "0002", "000001"));
  write(Hdr2("HDR2", "32768", "02048"));
  mark();
  write(ControlData());
  mark();
  write(Hdr1("EOF1", "DVDMOVIE", "0002", "000001"));
  write(Hdr2("EOF2", "32768", "02048"));
  mark();
  write(Hdr1("HDR1", "LAYER0.DAT", "0003", "000002"));
  write(Hdr2("HDR2", "32768", "02048"));
  mark();
  const std::string layer = LayerData();
  write(layer.substr(0, kBlock));
  write(layer.substr(kBlock));
  mark();
  write(Hdr1("EOF1", "DVDMOVIE", "0003", "000002"));
  write(Hdr2("EOF2", "32768", "02048"));
  mark();
  mark();
  EXPECT_EQ(tape->Rewind(0), 0);
  WriteFile(folder / "CONTROL.IMG", ControlData());
  WriteFile(folder / "LAYER01.IMG", LayerData());
  return folder / "TAPE0001.AWS";
}

testing::Outcome RunIn(const TempDir& folder, const std::string& command) {
  return RunShell(command, folder / "output.txt");
}

// The lines of `output` that begin with `start`.
std::vector<std::string> LinesStarting(const std::string& output, const std::string& start) {
  std::vector<std::string> lines;
  std::istringstream in(output);
  for (std::string line; std::getline(in, line);)
    if (line.rfind(start, 0) == 0) lines.push_back(line);
  return lines;
}

// The values of "Key    : 'value'" lines of a key, quotes and trailing spaces taken off.
std::vector<std::string> ValuesOf(const std::string& output, const std::string& key) {
  std::vector<std::string> values;
  for (std::string line : LinesStarting(output, key + " ")) {
    std::string value = line.substr(line.find(':') + 1);
    value.erase(0, value.find_first_not_of(" '"));
    value.erase(value.find_last_not_of(" '") + 1);
    values.push_back(value);
  }
  return values;
}

TEST(LabelledTape, OtherAwsReadersListItsFilesBlocksAndLabels) {
  TempDir folder;
  const std::string tape = WriteLabelledTape(folder);
  using Lines = std::vector<std::string>;

  const testing::Outcome tapemap = RunIn(folder, "tapemap " + Quoted(tape));
  EXPECT_EQ(tapemap.status, 0) << tapemap.output;
  EXPECT_EQ(LinesStarting(tapemap.output, "File "),
            (Lines{"File 1: Blocks=3, block size min=80, max=80", "File 2: Blocks=1, block size min=384, max=384",
                   "File 3: Blocks=2, block size min=80, max=80", "File 4: Blocks=2, block size min=80, max=80",
                   "File 5: Blocks=1, block size min=32768, max=32768",
                   "File 6: Blocks=2, block size min=80, max=80", "File 7: Blocks=2, block size min=80, max=80",
                   "File 8: Blocks=2, block size min=32768, max=32768",
                   "File 9: Blocks=2, block size min=80, max=80", "File 10: Blocks=0, block size min=0, max=0"}))
      << tapemap.output;
  EXPECT_TRUE(Contains(tapemap.output, "End of tape.")) << tapemap.output;

  // hetmap answers 0 even for a broken file: what it printed tells.
  const testing::Outcome hetmap = RunIn(folder, "hetmap -a " + Quoted(tape));
  EXPECT_EQ(ValuesOf(hetmap.output, "Label"), (Lines{"VOL1", "HDR1", "HDR2", "EOF1", "EOF2", "HDR1", "HDR2",
                                                      "EOF1", "EOF2", "HDR1", "HDR2", "EOF1", "EOF2"}))
      << hetmap.output;
  EXPECT_EQ(ValuesOf(hetmap.output, "Volume Serial").front(), "ORVELT");
  EXPECT_EQ(ValuesOf(hetmap.output, "Dataset ID"),
            (Lines{"DDPID", "DVDMOVIE", "CONTROL.DAT", "DVDMOVIE", "LAYER0.DAT", "DVDMOVIE"}));
  EXPECT_EQ(ValuesOf(hetmap.output, "Dataset Sequence"), (Lines{"0001", "0001", "0002", "0002", "0003", "0003"}));
  EXPECT_EQ(ValuesOf(hetmap.output, "Block Count Low"),
            (Lines{"000001", "000001", "000001", "000001", "000002", "000002"}));
  EXPECT_EQ(ValuesOf(hetmap.output, "Block Size"), (Lines{"00128", "00384", "32768", "32768", "32768", "32768"}));
  EXPECT_EQ(ValuesOf(hetmap.output, "Record Length"),
            (Lines{"00128", "00128", "02048", "02048", "02048", "02048"}));
  EXPECT_EQ(ValuesOf(hetmap.output, "Files"), Lines{"10"});
  EXPECT_EQ(ValuesOf(hetmap.output, "Blocks").back(), "17");
}

TEST(LabelledTape, TheCheckerPassesItAndFailsEachDamage) {
  TempDir folder;
  const std::string tape = WriteLabelledTape(folder);
  const std::string check = "python3 " + Quoted(ToolPath("check_tape.py")) + " " + Quoted(tape) +
                            " --expect --control " + Quoted(folder / "CONTROL.IMG") + " --layer " +
                            Quoted(folder / "LAYER01.IMG");
  const testing::Outcome good = RunIn(folder, check);
  ASSERT_EQ(good.status, 0) << good.output;

  const std::string original = ReadFile(tape);
  struct Damage {
    std::string near;  // the damaged byte lies at the first occurrence of this text
    size_t offset;     // plus this
    char byte;
    std::string told;  // what the checker says
  };
  // HDR1 and HDR2, a mark, a block header: the layer data's 100th byte.
  const size_t layerByte100 = 80 + 6 + 80 + 6 + 6 + 100;
  for (const Damage& d : {Damage{"VOL1", 20, 'X', "VOL1"},
                          Damage{"HDR1LAYER0.DAT", layerByte100, 'X', "LAYER0.DAT: differs from"},
                          Damage{"HDR1LAYER0.DAT", 59, '3', "HDR1 of LAYER0.DAT"},
                          Damage{"HDR2", 50, ' ', "HDR2 of DDPID"},
                          Damage{"EOF1DVDMOVIE", 40, '1', "EOF1 of DDPID"},
                          Damage{"DDP 2.00", 93, 'O', "DDPID"},
                          Damage{"DDP 2.00", 276, '4', "LAYER0.DAT"}}) {
    SCOPED_TRACE(d.near + " +" + std::to_string(d.offset));
    std::string damaged = original;
    const size_t at = damaged.find(d.near);
    ASSERT_NE(at, std::string::npos);
    ASSERT_NE(damaged[at + d.offset], d.byte);
    damaged[at + d.offset] = d.byte;
    WriteFile(tape, damaged);
    const testing::Outcome bad = RunIn(folder, check);
    EXPECT_EQ(bad.status, 1) << bad.output;
    EXPECT_TRUE(Contains(bad.output, "FAIL: " + d.told)) << bad.output;
  }
}

}  // namespace
}  // namespace pravel::platform
