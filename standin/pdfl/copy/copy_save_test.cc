#include <algorithm>
#include <fstream>
#include <map>
#include <set>
#include <vector>

#include <qpdf/QPDF.hh>

#include "library_fixture.h"

namespace {

// A packet whose dc:source holds `source`.
std::string PacketWith(const std::string& source) {
  return pdf_maker::SimpleXmp(
      "<rdf:Description rdf:about=\"\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\">"
      "<dc:source>" +
      source + "</dc:source></rdf:Description>\r\n");
}

const char kId[] = "/ID [<0123456789abcdef0123456789abcdef><0123456789abcdef0123456789abcdef>]";

std::string Object(size_t number, const std::string& body) {
  return std::to_string(number) + " 0 obj\n" + body + "\nendobj\n";
}

// An offset as a table entry writes it: ten digits.
std::string TenDigits(size_t offset) {
  std::string digits = std::to_string(offset);
  return std::string(10 - digits.size(), '0') + digits;
}

// A classic file written by hand: objects 1 to n, one cross-reference table,
// and, when `last` is set, that object placed after the trailer, before
// startxref, where a reader finds it as well.
std::string HandMadePdf(const std::vector<std::string>& objects, size_t last = 0) {
  std::string pdf = "%PDF-1.4\n";
  std::vector<size_t> offsets(objects.size());
  for (size_t i = 0; i < objects.size(); ++i) {
    if (i + 1 == last)
      continue;
    offsets[i] = pdf.size();
    pdf += Object(i + 1, objects[i]);
  }
  size_t xref = pdf.size();
  std::string trailer =
      "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R " + kId + " >>\n";
  std::string table = "xref\n0 " + std::to_string(objects.size() + 1) + "\n";
  if (last)
    offsets[last - 1] = xref + table.size() + 20 * (objects.size() + 1) + trailer.size();
  pdf += table + "0000000000 65535 f \n";
  for (size_t offset : offsets)
    pdf += TenDigits(offset) + " 00000 n \n";
  pdf += trailer;
  if (last)
    pdf += Object(last, objects[last - 1]);
  return pdf + "startxref\n" + std::to_string(xref) + "\n%%EOF\n";
}

// A file with an uncompressed cross-reference stream written by hand: objects
// 1 to n, those in `packed` inside one object stream (n + 1), and the
// cross-reference stream (n + 2), which lists the ranges `index` (empty: all
// objects) with /W [1 4 2]. Ranges may overlap, listing an object twice.
std::string XRefStreamPdf(const std::vector<std::string>& objects, const std::set<size_t>& packed,
                          std::vector<size_t> index = {}) {
  struct Row {
    int type;
    size_t second, third;
  };
  size_t count = objects.size(), objectStream = count + 1, xrefStream = count + 2;
  std::map<size_t, Row> rows = {{0, {0, 0, 65535}}};
  std::string pdf = "%PDF-1.5\n", header, body;
  size_t inStream = 0;
  for (size_t i = 1; i <= count; ++i) {
    if (packed.count(i)) {
      rows[i] = {2, objectStream, inStream++};
      header += std::to_string(i) + " " + std::to_string(body.size()) + " ";
      body += objects[i - 1] + "\n";
    } else {
      rows[i] = {1, pdf.size(), 0};
      pdf += Object(i, objects[i - 1]);
    }
  }
  if (!packed.empty()) {
    rows[objectStream] = {1, pdf.size(), 0};
    pdf += Object(objectStream, "<< /Type /ObjStm /N " + std::to_string(packed.size()) +
                                    " /First " + std::to_string(header.size()) + " /Length " +
                                    std::to_string(header.size() + body.size()) + " >>\nstream\n" +
                                    header + body + "\nendstream");
  }
  rows[xrefStream] = {1, pdf.size(), 0};
  if (index.empty())
    index = {0, xrefStream + 1};
  std::string data, ranges;
  for (size_t r = 0; r < index.size(); r += 2) {
    ranges += std::to_string(index[r]) + " " + std::to_string(index[r + 1]) + " ";
    for (size_t n = index[r]; n < index[r] + index[r + 1]; ++n) {
      Row row = rows.count(n) ? rows[n] : Row{0, 0, 0};
      const unsigned char bytes[] = {static_cast<unsigned char>(row.type),
                                     static_cast<unsigned char>(row.second >> 24),
                                     static_cast<unsigned char>(row.second >> 16),
                                     static_cast<unsigned char>(row.second >> 8),
                                     static_cast<unsigned char>(row.second),
                                     static_cast<unsigned char>(row.third >> 8),
                                     static_cast<unsigned char>(row.third)};
      data.append(reinterpret_cast<const char*>(bytes), sizeof bytes);
    }
  }
  pdf += Object(xrefStream, "<< /Type /XRef /Size " + std::to_string(xrefStream + 1) +
                                " /W [1 4 2] /Index [" + ranges + "] /Root 1 0 R " + kId +
                                " /Length " + std::to_string(data.size()) + " >>\nstream\n" + data +
                                "\nendstream");
  return pdf + "startxref\n" + std::to_string(rows[xrefStream].second) + "\n%%EOF\n";
}

// A file whose objects lie where `body` puts them, nested in other objects'
// bytes or not: the table lists each object 1 to count - 1 at its "n 0 obj"
// line, wherever that is, and an object the body lacks as free; /Size is
// `size`, or count.
std::string LaidOutPdf(const std::string& body, size_t count, size_t size = 0) {
  std::string pdf = "%PDF-1.4\n" + body;
  std::string table = "xref\n0 " + std::to_string(count) + "\n0000000000 65535 f \n";
  for (size_t n = 1; n < count; ++n) {
    size_t at = pdf.find("\n" + std::to_string(n) + " 0 obj");
    table +=
        at == std::string::npos ? TenDigits(0) + " 00000 f \n" : TenDigits(at + 1) + " 00000 n \n";
  }
  size_t xref = pdf.size();
  return pdf + table + "trailer\n<< /Size " + std::to_string(size ? size : count) +
         " /Root 1 0 R " + kId + " >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
}

// The file with its table and trailer moved into the data of an object 7 of
// their own, the last one the table lists as free.
std::string TableInStream(const std::string& pdf) {
  size_t xref = pdf.rfind("\nxref\n") + 1, end = pdf.rfind("startxref\n");
  std::string section = pdf.substr(xref, end - xref);
  section.replace(section.rfind("0000000000 00000 f"), 18, TenDigits(xref) + " 00000 n");
  std::string header = "7 0 obj\n<< /Length " + std::to_string(section.size()) + " >>\nstream\n";
  return pdf.substr(0, xref) + header + section + "\nendstream\nendobj\nstartxref\n" +
         std::to_string(xref + header.size()) + "\n%%EOF\n";
}

// The file with an incremental update appended: object `number` written
// again as `body`, listed by a table whose trailer names the last section.
std::string Updated(const std::string& pdf, size_t number, const std::string& body) {
  size_t digits = pdf.rfind("startxref\n") + 10;
  std::string previous = pdf.substr(digits, pdf.find('\n', digits) - digits);
  size_t size = std::max<size_t>(number + 1, std::stoul(pdf.substr(pdf.rfind("/Size ") + 6)));
  std::string updated = pdf + Object(number, body);
  size_t xref = updated.size();
  return updated + "xref\n0 1\n0000000000 65535 f \n" + std::to_string(number) + " 1\n" +
         TenDigits(pdf.size()) + " 00000 n \ntrailer\n<< /Size " + std::to_string(size) +
         " /Root 1 0 R " + kId + " /Prev " + previous + " >>\nstartxref\n" + std::to_string(xref) +
         "\n%%EOF\n";
}

// A file with a cross-reference stream made hybrid: a table of the objects
// at an offset whose trailer names the stream for those in object streams.
std::string Hybrid(const std::string& pdf) {
  size_t digits = pdf.rfind("startxref\n") + 10;
  std::string stream = pdf.substr(digits, pdf.find('\n', digits) - digits);
  std::string body = pdf.substr(0, digits - 10), table = "xref\n0 1\n0000000000 65535 f \n";
  size_t size = 1;
  for (size_t n = 1; n < 16; ++n) {
    size_t at = body.find("\n" + std::to_string(n) + " 0 obj");
    if (at != std::string::npos) {
      table += std::to_string(n) + " 1\n" + TenDigits(at + 1) + " 00000 n \n";
      size = n + 1;
    }
  }
  return body + table + "trailer\n<< /Size " + std::to_string(size) + " /Root 1 0 R " + kId +
         " /XRefStm " + stream + " >>\nstartxref\n" + std::to_string(body.size()) + "\n%%EOF\n";
}

std::string StreamObject(size_t number, const std::string& dict, const std::string& data) {
  return Object(number, "<< " + dict + " /Length " + std::to_string(data.size()) + " >>\nstream\n" +
                            data + "\nendstream");
}

// A page that draws image 4 and has its contents in 6.
const char kPageDrawingImage[] =
    "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Contents 6 0 R "
    "/Resources << /XObject << /Im1 4 0 R >> >> >>";
const char kDrawImage[] = "q 100 0 0 100 0 0 cm /Im1 Do Q";

std::string Image(const std::string& pixels) {
  return StreamObject(4,
                      "/Type /XObject /Subtype /Image /Width " + std::to_string(pixels.size()) +
                          " /Height 1 /ColorSpace /DeviceGray /BitsPerComponent 8",
                      pixels);
}

std::string MetadataStream(size_t number, const std::string& packet) {
  return StreamObject(number, "/Type /Metadata /Subtype /XML", packet);
}

const std::vector<std::string> kPages = {
    "<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
    "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] >>", "(a string object)"};

std::vector<std::string> PagesWithPacket(const std::string& packet, bool indirectLength) {
  return {"<< /Type /Catalog /Pages 2 0 R /Metadata 4 0 R >>",
          "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
          "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] >>",
          "<< /Type /Metadata /Subtype /XML /Length " +
              (indirectLength ? std::string("5 0 R") : std::to_string(packet.size())) +
              " >>\nstream\n" + packet + "\nendstream",
          std::to_string(packet.size())};
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

class CopySaveTest : public LibraryTest {
 protected:
  // Opens the file, gives it the packet, saves it over itself as docmark
  // does (linearized when it was) and says whether the save copied.
  bool StorePacketAndSave(const std::string& path, const std::string& packet) {
    PDDoc doc = Open(path);
    EXPECT_NE(doc, nullptr);
    if (!doc)
      return false;
    bool linearized = Call<PDDocGetFlagsProc>(pdModel_, kPDDocGetFlagsSel, doc) != 0;
    ASText text = Text(packet);
    EXPECT_EQ(Guarded([&] {
                Call<PDDocSetXAPMetadataProc>(pdMetadata_, kPDDocSetXAPMetadataSel, doc, text);
              }),
              0);
    Destroy(text);
    int copies = pdfl_testing::GetCounts().copies;
    EXPECT_EQ(Save(doc, path, linearized ? 0xA5 : 0xA1, 0x52, 1,
                   std::stoi(pdf_maker::PdfVersion(path).substr(2))),
              0);
    Close(doc);
    return pdfl_testing::GetCounts().copies > copies;
  }

  // Writes the bytes as before.pdf and a.pdf, which QPDF must read as they
  // are, and saves a.pdf with the packet; says whether the save copied.
  bool SaveAsGiven(const std::string& bytes, const std::string& packet) {
    WriteBytes(Path("before.pdf"), bytes);
    WriteBytes(Path("a.pdf"), bytes);
    EXPECT_TRUE(pdf_maker::CheckOk(Path("before.pdf")));
    return StorePacketAndSave(Path("a.pdf"), packet);
  }

  // What a copy keeps and changes: everything but the packet and /ID[1].
  void ExpectCopyOf(const std::string& before, const std::string& after,
                    const std::string& packet) {
    EXPECT_TRUE(pdf_maker::CheckOk(after));
    EXPECT_EQ(pdf_maker::MetadataXml(after), packet);
    EXPECT_EQ(pdf_maker::PageCount(after), pdf_maker::PageCount(before));
    EXPECT_EQ(pdf_maker::ObjectsBesideMetadata(after), pdf_maker::ObjectsBesideMetadata(before));
    EXPECT_EQ(pdf_maker::IsLinearized(after), pdf_maker::IsLinearized(before));
    auto [first, second] = pdf_maker::TrailerId(after);
    EXPECT_EQ(first, pdf_maker::TrailerId(before).first);
    EXPECT_NE(second, pdf_maker::TrailerId(before).second);
    EXPECT_EQ(second.size(), pdf_maker::TrailerId(before).second.size());
  }
};

TEST_F(CopySaveTest, MetadataAloneIsSavedByACopy) {
  const std::string padded = PacketWith("old" + std::string(200, ' '));
  const struct {
    const char* name;
    bool objectStreams, linearize;
    std::string packet;  // the new one
  } cases[] = {
      {"table, same length", false, false, PacketWith("new" + std::string(200, ' '))},
      {"table, longer", false, false, PacketWith(std::string(5000, 'n'))},
      {"table, shorter", false, false, PacketWith("n")},
      {"xref stream, same length", true, false, PacketWith("new" + std::string(200, ' '))},
      {"xref stream, longer", true, false, PacketWith(std::string(5000, 'n'))},
      {"linearized, same length", false, true, PacketWith("new" + std::string(200, ' '))},
      {"linearized xref stream, same length", true, true,
       PacketWith("new" + std::string(200, ' '))},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    pdf_maker::PdfOptions options;
    options.pages = 5;
    options.objectStreams = c.objectStreams;
    options.linearize = c.linearize;
    options.xmp = padded;
    options.info = {{"Title", "kept"}};
    pdf_maker::WritePdf(Path("a.pdf"), options);
    WriteBytes(Path("before.pdf"), pdf_maker::ReadFile(Path("a.pdf")));
    EXPECT_TRUE(StorePacketAndSave(Path("a.pdf"), c.packet));
    ExpectCopyOf(Path("before.pdf"), Path("a.pdf"), c.packet);
  }
}

// A first packet: a new stream, and a catalog spliced in place or, out of
// its object stream, written anew. A linearized file takes the rewrite.
TEST_F(CopySaveTest, AFirstPacketIsAddedByACopy) {
  for (int kind = 0; kind < 3; ++kind) {
    SCOPED_TRACE(kind);
    pdf_maker::PdfOptions options;
    options.pages = 4;
    options.objectStreams = kind == 1;
    options.linearize = kind == 2;
    pdf_maker::WritePdf(Path("a.pdf"), options);
    WriteBytes(Path("before.pdf"), pdf_maker::ReadFile(Path("a.pdf")));
    std::string packet = PacketWith("first");
    EXPECT_EQ(StorePacketAndSave(Path("a.pdf"), packet), kind != 2);
    if (kind != 2)
      ExpectCopyOf(Path("before.pdf"), Path("a.pdf"), packet);
    EXPECT_EQ(pdf_maker::MetadataXml(Path("a.pdf")), packet);
    EXPECT_TRUE(pdf_maker::CheckOk(Path("a.pdf")));
  }
}

TEST_F(CopySaveTest, HandMadeFilesCopyOrRewriteAsTheyMust) {
  const std::string old = PacketWith("oldest");
  const std::string sameLength = PacketWith("newest");
  const std::string longer = PacketWith("newer and longer");

  // An indirect /Length: copied in place at the same length, and otherwise
  // compacted, the stream written anew with a direct one.
  WriteBytes(Path("before.pdf"), HandMadePdf(PagesWithPacket(old, true)));
  WriteBytes(Path("a.pdf"), HandMadePdf(PagesWithPacket(old, true)));
  EXPECT_TRUE(StorePacketAndSave(Path("a.pdf"), sameLength));
  ExpectCopyOf(Path("before.pdf"), Path("a.pdf"), sameLength);
  WriteBytes(Path("a.pdf"), HandMadePdf(PagesWithPacket(old, true)));
  EXPECT_TRUE(StorePacketAndSave(Path("a.pdf"), longer));
  EXPECT_EQ(pdf_maker::MetadataXml(Path("a.pdf")), longer);

  // A second revision that replaced the packet (compacted), and bytes after
  // %%EOF (the rewrite): one revision, and no trace of the older packet.
  std::string updated = HandMadePdf(PagesWithPacket(PacketWith("stale"), false));
  std::string object = "4 0 obj\n<< /Type /Metadata /Subtype /XML /Length " +
                       std::to_string(old.size()) + " >>\nstream\n" + old + "\nendstream\nendobj\n";
  size_t objectAt = updated.size();
  size_t previous = updated.rfind("startxref\n") + 10;
  std::string prev = updated.substr(previous, updated.find('\n', previous) - previous);
  updated += object;
  size_t xref = updated.size();
  updated += "xref\n0 1\n0000000000 65535 f \n4 1\n" + TenDigits(objectAt) +
             " 00000 n \ntrailer\n<< /Size 6 /Root 1 0 R /Prev " + prev + " >>\nstartxref\n" +
             std::to_string(xref) + "\n%%EOF\n";
  for (const std::string& bytes :
       {updated, HandMadePdf(PagesWithPacket(old, false)) + "trailing bytes\n"}) {
    WriteBytes(Path("a.pdf"), bytes);
    EXPECT_EQ(StorePacketAndSave(Path("a.pdf"), sameLength), bytes == updated);
    EXPECT_TRUE(pdf_maker::CheckOk(Path("a.pdf")));
    std::string saved = pdf_maker::ReadFile(Path("a.pdf"));
    EXPECT_EQ(saved.find("stale"), std::string::npos);
    EXPECT_EQ(saved.find("trailing"), std::string::npos);
    EXPECT_EQ(saved.find("/Prev"), std::string::npos);
    EXPECT_EQ(pdf_maker::MetadataXml(Path("a.pdf")), sameLength);
  }
}

// Layouts that readers accept and that move objects in ways a plan can get
// wrong: an object between the trailer and startxref, an xref stream whose
// ranges list objects twice (with its catalog in an object stream too), and
// startxref pointing at the end of line before the stream's object. Each is
// saved soundly, by a copy or by the rewrite.
TEST_F(CopySaveTest, LayoutsThatMoveObjectsAreSavedSoundly) {
  std::vector<std::string> withPacket = kPages;
  withPacket[0] = "<< /Type /Catalog /Pages 2 0 R /Metadata 4 0 R >>";
  std::string old = PacketWith("old");
  withPacket[3] = "<< /Type /Metadata /Subtype /XML /Length " + std::to_string(old.size()) +
                  " >>\nstream\n" + old + "\nendstream";
  std::string early = XRefStreamPdf(kPages, {});
  size_t digits = early.rfind("startxref\n") + 10;
  size_t xrefAt = std::stoul(early.substr(digits));
  early.replace(digits, early.size() - digits, std::to_string(xrefAt - 1) + "\n%%EOF\n");
  const struct {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"object after the trailer", HandMadePdf(kPages, 3)},
      {"overlapping ranges, first packet", XRefStreamPdf(kPages, {}, {0, 7, 2, 2})},
      {"overlapping ranges, longer packet", XRefStreamPdf(withPacket, {}, {2, 2, 0, 7})},
      {"overlapping ranges, catalog packed", XRefStreamPdf(kPages, {1, 2}, {0, 7, 1, 2})},
      {"startxref one byte early", early},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string packet = PacketWith(std::string(3000, 'n'));
    bool copied = SaveAsGiven(c.bytes, packet);
    EXPECT_TRUE(pdf_maker::CheckOk(Path("a.pdf")));
    EXPECT_EQ(pdf_maker::MetadataXml(Path("a.pdf")), packet);
    EXPECT_EQ(pdf_maker::PageCount(Path("a.pdf")), 1);
    // The rewrite numbers objects anew; a copy keeps each one.
    if (copied) {
      EXPECT_EQ(pdf_maker::ObjectsBesideMetadata(Path("a.pdf")),
                pdf_maker::ObjectsBesideMetadata(Path("before.pdf")));
    }
  }
}

// Layouts that readers accept in which an object lies in another one's
// bytes, or a reference names the number a new packet would take: each
// write keeps the document as it reads, by a copy or by the rewrite.
TEST_F(CopySaveTest, WritesKeepObjectsNestedInOthersAndReferencesToNothing) {
  // The first write keeps the packet's length, the second moves what
  // follows it. Object 7 is a string that starts in the one packet and ends
  // after its change; the other packet names no object of its file.
  const std::string old = PacketWith("\n7 0 obj (old) endobj\n");
  const std::string plain = PacketWith("\n9 0 obj (old) endobj\n");
  const std::string pages = "\n" + Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>") +
                            Object(3, kPageDrawingImage) + StreamObject(6, "", kDrawImage);
  const struct {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"packet in the pixels of an image a page draws",
       LaidOutPdf(Object(1, "<< /Type /Catalog /Pages 2 0 R /Metadata 5 0 R >>") + pages +
                      Image("ab\n" + MetadataStream(5, plain) + "cd"),
                  7)},
      {"catalog in the pixels of an image, no packet",
       LaidOutPdf(pages + Image("ab\n" + Object(1, "<< /Type /Catalog /Pages 2 0 R >>") + "cd"),
                  7)},
      {"table and trailer in a stream's data",
       TableInStream(LaidOutPdf(Object(1,
                                       "<< /Type /Catalog /Pages 2 0 R /Metadata 5 0 R "
                                       "/X 7 0 R >>") +
                                    pages + Image("ab") + MetadataStream(5, plain),
                                8))},
      {"string object from inside the packet to past its change",
       LaidOutPdf(Object(1, "<< /Type /Catalog /Pages 2 0 R /Metadata 5 0 R /X 7 0 R >>") + pages +
                      Image("ab") + MetadataStream(5, old),
                  8)},
      {"a reference to the number /Size, which no object has",
       LaidOutPdf(Object(1, "<< /Type /Catalog /Pages 2 0 R /X [7 0 R] >>") + pages + Image("ab"),
                  7)},
      {"/Size one too small, the last object without an entry",
       LaidOutPdf(Object(1, "<< /Type /Catalog /Pages 2 0 R >>") + pages + Image("ab"), 6)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteBytes(Path("before.pdf"), c.bytes);
    WriteBytes(Path("a.pdf"), c.bytes);
    ASSERT_TRUE(pdf_maker::CheckOk(Path("before.pdf")));
    for (const std::string& packet :
         {PacketWith("\n7 0 obj (new) endobj\n"), PacketWith("newer and longer")}) {
      StorePacketAndSave(Path("a.pdf"), packet);
      EXPECT_TRUE(pdf_maker::CheckOk(Path("a.pdf")));
      EXPECT_EQ(pdf_maker::MetadataXml(Path("a.pdf")), packet);
      EXPECT_EQ(pdf_maker::DocumentReading(Path("a.pdf")),
                pdf_maker::DocumentReading(Path("before.pdf")));
    }
  }
}

// A copy that does not read as its document is never put in the file's
// place: the save takes the rewrite instead.
TEST_F(CopySaveTest, ACopyThatFailsItsProofTakesTheRewrite) {
  for (bool firstPacket : {true, false}) {
    SCOPED_TRACE(firstPacket ? "first packet" : "packet replaced");
    pdf_maker::PdfOptions options;
    options.pages = 3;
    options.objectStreams = true;
    if (!firstPacket)
      options.xmp = PacketWith("old");
    pdf_maker::WritePdf(Path("a.pdf"), options);
    WriteBytes(Path("before.pdf"), pdf_maker::ReadFile(Path("a.pdf")));
    pdfl_testing::DamageCopies(true);
    std::string packet = PacketWith("new");
    EXPECT_FALSE(StorePacketAndSave(Path("a.pdf"), packet));
    pdfl_testing::DamageCopies(false);
    EXPECT_EQ(pdfl_testing::GetCounts().saves, firstPacket ? 1 : 2);
    EXPECT_TRUE(pdf_maker::CheckOk(Path("a.pdf")));
    EXPECT_EQ(pdf_maker::MetadataXml(Path("a.pdf")), packet);
    EXPECT_EQ(pdf_maker::PageCount(Path("a.pdf")), 3);
  }
}

// The layouts real files take after an edit, each saved by a compacting
// copy: one new revision that reads as the document did, with no trace of
// what only earlier revisions held.
TEST_F(CopySaveTest, UpdatedHybridAndFilteredFilesAreCompacted) {
  const std::string old = PacketWith("old");
  std::vector<std::string> withPacket = PagesWithPacket(old, false);
  withPacket.pop_back();
  std::vector<std::string> filtered = withPacket;
  std::string hex;
  for (unsigned char c : old)
    hex += "0123456789abcdef"[c >> 4], hex += "0123456789abcdef"[c & 15];
  filtered[3] = "<< /Type /Metadata /Subtype /XML /Filter /ASCIIHexDecode /Length " +
                std::to_string(hex.size() + 1) + " >>\nstream\n" + hex + ">\nendstream";
  const char kStalePage[] = "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 9 9] /Stale true >>";
  const char kPage[] = "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 300] >>";
  const struct {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"three revisions", Updated(Updated(HandMadePdf(withPacket), 3, kStalePage), 3, kPage)},
      {"an update of an object in an object stream",
       Updated(XRefStreamPdf(withPacket, {2, 3}), 3, kPage)},
      {"hybrid", Hybrid(XRefStreamPdf(withPacket, {2, 3}))},
      {"a filtered packet", HandMadePdf(filtered)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string packet = PacketWith(std::string(3000, 'n'));
    EXPECT_TRUE(SaveAsGiven(c.bytes, packet));
    EXPECT_TRUE(pdf_maker::CheckOk(Path("a.pdf")));
    EXPECT_EQ(pdf_maker::MetadataXml(Path("a.pdf")), packet);
    EXPECT_EQ(pdf_maker::DocumentReading(Path("a.pdf")),
              pdf_maker::DocumentReading(Path("before.pdf")));
    std::string saved = pdf_maker::ReadFile(Path("a.pdf"));
    for (const char* gone : {"/Prev", "/XRefStm", "/Stale", "/ASCIIHexDecode"})
      EXPECT_EQ(saved.find(gone), std::string::npos) << gone;
  }
}

// The encryption's method, as QPDF reads it.
std::string Method(const std::string& path) {
  QPDF pdf;
  pdf.processFile(path.c_str());
  int R = 0, P = 0, V = 0;
  QPDF::encryption_method_e stream, string, file;
  pdf.isEncrypted(R, P, V, stream, string, file);
  return std::to_string(V) + "/" + std::to_string(R) + "/" + std::to_string(stream);
}

// An encrypted file is copied under its own key, its packet encrypted as the
// file's streams are (or left clear where the file says so), and its
// method never changes.
TEST_F(CopySaveTest, EncryptedFilesAreCompactedUnderTheirOwnMethod) {
  for (const char* encryption : {"rc4-128", "aes-128", "aes-256"}) {
    SCOPED_TRACE(encryption);
    pdf_maker::PdfOptions options;
    options.pages = 2;
    options.objectStreams = true;
    options.encryption = encryption;
    options.xmp = PacketWith("old");
    pdf_maker::WritePdf(Path("a.pdf"), options);
    WriteBytes(Path("before.pdf"), pdf_maker::ReadFile(Path("a.pdf")));
    std::string packet = PacketWith(std::string(3000, 'n'));
    EXPECT_TRUE(StorePacketAndSave(Path("a.pdf"), packet));
    EXPECT_TRUE(pdf_maker::CheckOk(Path("a.pdf")));
    EXPECT_EQ(Method(Path("a.pdf")), Method(Path("before.pdf")));
    EXPECT_EQ(pdf_maker::MetadataXml(Path("a.pdf")), packet);
    EXPECT_EQ(pdf_maker::DocumentReading(Path("a.pdf")),
              pdf_maker::DocumentReading(Path("before.pdf")));
  }
}

TEST_F(CopySaveTest, EncryptedFilesAreCopiedUnderTheirEncryption) {
  pdf_maker::PdfOptions options;
  options.encryptNoModify = true;
  options.xmp = PacketWith("secret");
  pdf_maker::WritePdf(Path("a.pdf"), options);
  PDDoc doc = Open(Path("a.pdf"));
  ASSERT_NE(doc, nullptr);
  EXPECT_EQ(Save(doc, Path("a.pdf"), 0xA1, 0x52), 0);
  Close(doc);
  EXPECT_EQ(pdfl_testing::GetCounts().copies, 1);
  EXPECT_TRUE(pdf_maker::IsEncrypted(Path("a.pdf")));
  EXPECT_EQ(pdf_maker::MetadataXml(Path("a.pdf")), PacketWith("secret"));
}

}  // namespace
