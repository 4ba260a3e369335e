#include "copy/copy_proof.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "copy/copy_writer.h"
#include "document.h"
#include "file_input.h"
#include "pdf_maker.h"
#include "save.h"

namespace {

// The proof compares the packet's bytes alone: a comment tells them apart.
std::string Packet(const std::string& comment) {
  return pdf_maker::SimpleXmp("<!--" + comment + "-->");
}

std::shared_ptr<InputSource> Input(const std::string& path) {
  return std::make_shared<pdfl::FileInput>(path, std::fopen(path.c_str(), "rb"));
}

// The proof on copies that a faulty plan or writer could make of a file of
// three pages: each one reads as a PDF, and each but the copy as planned
// must be refused.
class CopyProofTest : public testing::Test {
 protected:
  // Plans the copy of a file whose packet, if it has one, becomes another
  // of the same length, and writes it.
  void PlanCopy(bool withPacket) {
    pdf_maker::PdfOptions options;
    options.pages = 3;
    if (withPacket)
      options.xmp = Packet("old");
    pdf_maker::WritePdf(scratch_.Path("source.pdf"), options);
    pdfl::ReadDocument(document_, scratch_.Path("source.pdf"), false);
    QPDFObjectHandle metadata = document_.pdf->getRoot().getKey("/Metadata");
    if (withPacket) {
      metadata.replaceStreamData(Packet("new"), QPDFObjectHandle::newNull(),
                                 QPDFObjectHandle::newNull());
    } else {
      document_.addsPacket = true;
      document_.addedPacket = Packet("new");
    }
    ASSERT_TRUE(pdfl::PlanCopy(document_, false, plan_));
    FILE* out = std::fopen(scratch_.Path("copy.pdf").c_str(), "wb");
    ASSERT_NE(out, nullptr);
    pdfl::WriteCopy(*document_.source, plan_.splices, out);
    ASSERT_EQ(std::fclose(out), 0);
    copy_ = pdf_maker::ReadFile(scratch_.Path("copy.pdf"));
  }

  // Whether the proof takes these bytes as the copy of the plan.
  bool Proves(const std::string& bytes) {
    std::string path = scratch_.Path("changed.pdf");
    FILE* out = std::fopen(path.c_str(), "wb");
    EXPECT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), out), bytes.size());
    EXPECT_EQ(std::fclose(out), 0);
    std::shared_ptr<InputSource> in = Input(path);
    std::unique_ptr<QPDF> copy = pdfl::ReadBack(in);
    return pdfl::ProveCopy(*document_.pdf, *copy, *in, plan_);
  }

  // Where the table entry of object `number` starts in the copy.
  size_t EntryOf(int number) const {
    size_t entries = copy_.find('\n', copy_.rfind("\nxref\n") + 6) + 1;
    return entries + 20 * static_cast<size_t>(number);
  }

  qpdf_offset_t OffsetOf(int number) const {
    for (const auto& [object, entry] : plan_.entries) {
      if (object.getObj() == number)
        return entry.getOffset();
    }
    ADD_FAILURE() << "no object " << number;
    return 0;
  }

  pdf_maker::ScratchDirectory scratch_;
  PDFLDoc document_;
  pdfl::CopyPlan plan_;
  std::string copy_;
};

TEST_F(CopyProofTest, RefusesACopyThatDoesNotReadAsTheDocument) {
  PlanCopy(true);
  ASSERT_TRUE(Proves(copy_));
  int page = document_.pdf->getAllPages()[1].getObjectID();
  int other = document_.pdf->getAllPages()[2].getObjectID();
  const struct {
    const char* name;
    std::function<void(std::string&)> change;
  } cases[] = {
      {"a byte of the packet", [](std::string& bytes) { bytes[bytes.find("new-->")] = 'm'; }},
      {"the first /ID",
       [](std::string& bytes) {
         size_t at = bytes.find("/ID [<") + 6;
         bytes[at] = bytes[at] == '0' ? '1' : '0';
       }},
      {"two entries swapped",
       [&](std::string& bytes) {
         std::string first = bytes.substr(EntryOf(page), 20);
         bytes.replace(EntryOf(page), 20, bytes.substr(EntryOf(other), 20));
         bytes.replace(EntryOf(other), 20, first);
       }},
      {"an object freed", [&](std::string& bytes) { bytes[EntryOf(page) + 17] = 'f'; }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string bytes = copy_;
    c.change(bytes);
    EXPECT_FALSE(Proves(bytes));
  }
}

// What the plan read of the source counts too: a change that reaches into
// an object the copy may not change, objects that lie in each other's bytes.
TEST_F(CopyProofTest, RefusesAPlanThatReachesIntoOtherObjects) {
  PlanCopy(true);
  int page = document_.pdf->getAllPages()[1].getObjectID();
  pdfl::CopyPlan planned = plan_;
  plan_.splices.push_back({OffsetOf(page) + 2, 1, " "});
  EXPECT_FALSE(Proves(copy_));
  plan_ = planned;
  plan_.layout.extents[1].at = plan_.layout.extents[0].end - 1;
  EXPECT_FALSE(Proves(copy_));
}

TEST_F(CopyProofTest, RefusesANewObjectThatAReferenceNames) {
  PlanCopy(false);
  ASSERT_TRUE(Proves(copy_));
  int added = 0;
  for (const auto& [object, entry] :
       pdfl::ReadBack(Input(scratch_.Path("copy.pdf")))->getXRefTable()) {
    if (!plan_.entries.count(object))
      added = object.getObj();
  }
  ASSERT_GT(added, 0);
  plan_.layout.references = {added};
  EXPECT_FALSE(Proves(copy_));
}

}  // namespace
