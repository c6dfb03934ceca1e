// The interop corpus: small files that ImageMagick, GraphicsMagick, Pillow,
// libvips, libtiff's and netpbm's tools wrote (tests/data/interop, made by
// make-corpus.sh), and expected.tsv, which says for each whether we decode it
// and to which pixel format, or which status refuses it and why.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/gdiplus/CodecRegistry.h"
#include "shrink/ShrinkFile.h"
#include "tests/support/Pictures.h"
#include "tests/support/Pillow.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestFiles.h"

namespace {

struct Expected {
    std::string file;
    std::string outcome;    // "decodes" or the status that refuses the file
    std::string format;     // the pixel format a decoded file reports
    std::string halved;     // the pixel format the job's half-size file decodes to
    int tolerance = 0;      // the largest channel difference from Pillow's pixels
    std::string reference;  // what Pillow reads instead of the file, or "-"
};

std::string CorpusPath(const std::string& name) {
    return TestDataPath("interop/" + name);
}

// Columns: file, writer, layout, outcome, format, halved, tolerance, reference, note.
std::vector<Expected> ReadTable() {
    const Bytes bytes = ReadFileBytes(CorpusPath("expected.tsv"));
    std::istringstream text(std::string(bytes.begin(), bytes.end()));
    std::vector<Expected> rows;
    for (std::string line; std::getline(text, line);) {
        if (line.empty() || line[0] == '#')
            continue;
        std::vector<std::string> cells;
        std::istringstream fields(line);
        for (std::string cell; std::getline(fields, cell, '\t');)
            cells.push_back(cell);
        if (cells.size() < 8)  // the note may be empty
            throw std::runtime_error("expected.tsv: too few columns in: " + line);
        rows.push_back({cells[0], cells[3], cells[4], cells[5], std::stoi(cells[6]), cells[7]});
    }
    return rows;
}

const std::map<std::string, PixelFormat> kFormats = {
    {"1bppIndexed", PixelFormat1bppIndexed}, {"4bppIndexed", PixelFormat4bppIndexed},
    {"8bppIndexed", PixelFormat8bppIndexed}, {"16bppRGB555", PixelFormat16bppRGB555},
    {"16bppRGB565", PixelFormat16bppRGB565}, {"24bppRGB", PixelFormat24bppRGB},
    {"32bppRGB", PixelFormat32bppRGB},       {"32bppARGB", PixelFormat32bppARGB},
    {"48bppRGB", PixelFormat48bppRGB},       {"64bppARGB", PixelFormat64bppARGB}};
const std::map<std::string, Status> kRefusals = {{"GenericError", GenericError},
                                                 {"InvalidParameter", InvalidParameter},
                                                 {"NotImplemented", NotImplemented},
                                                 {"UnknownImageFormat", UnknownImageFormat}};

Status Decode(const Bytes& file, ImageBuffer& out, const CodecEntry** codec = nullptr) {
    const CodecEntry* found = FindCodecForData(file.data(), file.size());
    if (codec != nullptr)
        *codec = found;
    return found == nullptr ? UnknownImageFormat : found->decode(file.data(), file.size(), out);
}

}  // namespace

TEST(InteropCorpus, EveryFileInTheFolderIsInTheTableAndEveryRowNamesAFile) {
    const std::vector<Expected> table = ReadTable();
    std::map<std::string, int> rows;
    for (const Expected& row : table) {
        EXPECT_EQ(++rows[row.file], 1) << row.file << " has two rows";
        EXPECT_TRUE(FileExists(CorpusPath(row.file))) << row.file;
        EXPECT_TRUE(row.outcome == "decodes"
                        ? kFormats.count(row.format) == 1 && kFormats.count(row.halved) == 1
                        : kRefusals.count(row.outcome) == 1)
            << row.file << ": " << row.outcome << " " << row.format << " " << row.halved;
    }
    const std::set<std::string> ownFiles = {"README.md",      "expected.tsv",      "make-corpus.sh",
                                            "make-source.py", "make-reference.py", "reference"};
    for (const auto& entry : std::filesystem::directory_iterator(CorpusPath(""))) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(rows.count(name) == 1 || ownFiles.count(name) == 1)
            << name << " is not in the table";
    }
    EXPECT_GE(table.size(), 100u);
}

// Pillow's pixels are the file's own, or those of a reference that
// make-reference.py made with Pillow's help where Pillow's conversion to RGBA
// misses the file's meaning (it clips 16-bit grey, drops a 16-bit alpha mask).
TEST(InteropCorpus, EachFileDecodesToItsFormatWithPillowsPixelsOrIsRefusedWithItsStatus) {
    const std::vector<Expected> table = ReadTable();
    std::vector<std::string> references;
    for (const Expected& row : table)
        references.push_back(CorpusPath(row.reference == "-" ? row.file : row.reference));
    const std::vector<PillowPicture> theirs = ReadWithPillow(references);
    for (size_t i = 0; i < table.size(); ++i) {
        const Expected& row = table[i];
        SCOPED_TRACE(row.file);
        ImageBuffer ours;
        const Status status = Decode(ReadFileBytes(CorpusPath(row.file)), ours);
        if (row.outcome != "decodes") {
            EXPECT_EQ(status, kRefusals.at(row.outcome));
            EXPECT_EQ(ours.Pixels(), nullptr);
            continue;
        }
        EXPECT_EQ(status, Ok);
        EXPECT_TRUE(theirs[i].read) << "Pillow cannot read " << references[i];
        if (status != Ok || !theirs[i].read)
            continue;  // on to the next file: every failing row is reported
        EXPECT_EQ(ours.Format(), kFormats.at(row.format)) << std::hex << ours.Format();
        EXPECT_EQ(ours.Width(), theirs[i].width);
        EXPECT_EQ(ours.Height(), theirs[i].height);
        EXPECT_LE(MaxChannelDifference(ArgbPixels(ours.View()), theirs[i].pixels), row.tolerance);
    }
}

// On a copy: the path holds the picture halved, in the file's own format, in
// the pixel format the table gives (the job's half-size section has the
// source's depth and no alpha, and the encoder writes it as the format can
// hold it); the backup holds the original byte for byte. A file we refuse is
// passed over, untouched and without a backup.
TEST(InteropCorpus, TheJobHalvesEachFileInItsOwnFormatAndDepthAndKeepsTheOriginal) {
    for (const Expected& row : ReadTable()) {
        SCOPED_TRACE(row.file);
        const TempFolder folder;
        const std::string path = folder.File(row.file);
        const Bytes original = ReadFileBytes(CorpusPath(row.file));
        WriteFileBytes(path, original);
        const ShrinkReport report = ShrinkFileWithReport(CString(path.c_str()));
        if (row.outcome != "decodes") {
            EXPECT_EQ(report.outcome, ShrinkOutcome::NotDecodable)
                << DescribeOutcome(report.outcome);
            EXPECT_EQ(ReadFileBytes(path), original);
            EXPECT_EQ(ListFolder(folder.Path()), row.file);
            continue;
        }
        EXPECT_EQ(report.outcome, ShrinkOutcome::Shrunk) << DescribeOutcome(report.outcome);
        if (report.outcome != ShrinkOutcome::Shrunk)
            continue;
        EXPECT_EQ(ReadFileBytes(folder.File("old" + row.file)), original);
        ImageBuffer before, after;
        const CodecEntry *ownFormat = nullptr, *halvedFormat = nullptr;
        Decode(original, before, &ownFormat);
        EXPECT_EQ(Decode(ReadFileBytes(path), after, &halvedFormat), Ok);
        EXPECT_EQ(halvedFormat, ownFormat);
        EXPECT_EQ(after.Format(), kFormats.at(row.halved)) << std::hex << after.Format();
        EXPECT_EQ(after.Width(), before.Width() / 2);
        EXPECT_EQ(after.Height(), before.Height() / 2);
    }
}
