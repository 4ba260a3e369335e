// What one export call costs: each starts and ends the PDF library, opens the
// document and, for a write, saves it once or twice. Run on a one-page and a
// 200-page PDF with XMP, and for the write on a file of 1,321 pages with object
// streams, made as copy_proof_bench makes its own.
#include <benchmark/benchmark.h>

#include <string>

#include "docmark/docmark.h"
#include "pdf_maker.h"

namespace {

struct Sample {
  pdf_maker::ScratchDirectory scratch;
  std::string path;
  std::u16string widePath;
};

Sample& TaggedSample(int pages) {
  static Sample small, large, tenMegabytes;
  Sample& sample = pages == 1 ? small : pages == 200 ? large : tenMegabytes;
  if (sample.path.empty()) {
    pdf_maker::PdfOptions options;
    options.pages = pages;
    options.xmp = pdf_maker::SimpleXmp();
    options.objectStreams = pages == 1321;
    sample.path = sample.scratch.Path("sample.pdf");
    pdf_maker::WritePdf(sample.path, options);
    sample.widePath = pdf_maker::ToUtf16(sample.path);
    VTPDFTagWrite(sample.widePath.c_str(), PDFSettingsInfo{}, false);
  }
  return sample;
}

void BM_IsAlreadyOptimized(benchmark::State& state) {
  const Sample& sample = TaggedSample(state.range(0));
  for (auto _ : state)
    benchmark::DoNotOptimize(VTPDFTagIsAlreadyOptimized(sample.widePath.c_str()));
}

void BM_Write(benchmark::State& state) {
  const Sample& sample = TaggedSample(state.range(0));
  PDFSettingsInfo settings = {3, 1200, false, true, false};
  for (auto _ : state) {
    if (!VTPDFTagWrite(sample.widePath.c_str(), settings, true))
      state.SkipWithError("the write failed");
  }
}

BENCHMARK(BM_IsAlreadyOptimized)->Arg(1)->Arg(200)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Write)->Arg(1)->Arg(200)->Arg(1321)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
