// What the proof of a copy costs beside the re-tag it guards (docmark_bench's
// BM_Write/1321, on a file made the same way): a file of 1,321 pages with
// object streams and a packet, proven against itself. The proof must cost at
// most a tenth of the re-tag.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>

#include <qpdf/QPDF.hh>

#include "copy/copy_proof.h"
#include "file_input.h"
#include "pdf_maker.h"

namespace {

std::unique_ptr<QPDF> Read(const std::shared_ptr<InputSource>& in) {
  auto pdf = std::make_unique<QPDF>();
  pdf->setAttemptRecovery(false);
  pdf->processInputSource(in);
  return pdf;
}

std::shared_ptr<InputSource> Open(const std::string& path) {
  return std::make_shared<pdfl::FileInput>(path, std::fopen(path.c_str(), "rb"));
}

void BM_ProveCopy(benchmark::State& state) {
  pdf_maker::ScratchDirectory scratch;
  std::string path = scratch.Path("large.pdf");
  pdf_maker::PdfOptions options;
  options.pages = 1321;
  options.objectStreams = true;
  options.xmp = pdf_maker::SimpleXmp();
  pdf_maker::WritePdf(path, options);
  std::unique_ptr<QPDF> source = Read(Open(path));
  std::shared_ptr<InputSource> copyBytes = Open(path);
  std::unique_ptr<QPDF> copy = Read(copyBytes);
  pdfl::CopyPlan plan;
  plan.packet = pdf_maker::MetadataXml(path);
  plan.entries = source->getXRefTable();
  for (auto _ : state) {
    if (!pdfl::ProveCopy(*source, *copy, *copyBytes, plan))
      state.SkipWithError("the file does not prove as itself");
  }
}

BENCHMARK(BM_ProveCopy)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
