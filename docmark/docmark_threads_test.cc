// A host calls the exports from several threads at once.
#include "docmark/docmark.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "pdf_maker.h"

namespace {

const int kThreads = 4;
const int kRounds = 25;

// Settings that say which thread wrote them in which round.
PDFSettingsInfo SettingsOf(int thread, int round) {
  return {thread, round * 16 + thread, round % 2 == 0, thread % 2 == 0, true};
}

// One write, read and check; false when any of them failed or gave back what
// no thread wrote. A file of its own must give back this thread's settings
// and its own size.
bool Round(const std::string& path, int thread, int round, bool ownFile) {
  std::u16string wide = pdf_maker::ToUtf16(path);
  PDFSettingsInfo written = SettingsOf(thread, round);
  if (!VTPDFTagWrite(wide.c_str(), written, thread % 2 == 0))
    return false;
  PDFSettingsInfo settings;
  PDFVersionInfo version;
  int64_t size = 0;
  if (!VTPDFTagRead(wide.c_str(), &settings, &size, &version))
    return false;
  PDFSettingsInfo expected = SettingsOf(settings.mode, (settings.amount - settings.mode) / 16);
  bool consistent = settings.optionA == expected.optionA && settings.optionB == expected.optionB &&
                    settings.optionC && version.major == 7 && version.minor == 9 &&
                    version.build == 9 && version.writerFlag == (settings.mode % 2 == 0);
  if (ownFile) {
    consistent = consistent && settings.mode == thread && settings.amount == written.amount &&
                 size == static_cast<int64_t>(std::filesystem::file_size(path));
  }
  return consistent && VTPDFTagIsAlreadyOptimized(wide.c_str());
}

void RunThreads(const std::vector<std::string>& paths) {
  bool ownFiles = paths.size() == kThreads;
  std::vector<int> failures(kThreads, 0);
  std::vector<std::thread> threads;
  for (int thread = 0; thread < kThreads; ++thread) {
    threads.emplace_back([&, thread] {
      for (int round = 0; round < kRounds; ++round) {
        if (!Round(paths[ownFiles ? thread : 0], thread, round, ownFiles))
          ++failures[thread];
      }
    });
  }
  for (std::thread& thread : threads)
    thread.join();
  for (int thread = 0; thread < kThreads; ++thread)
    EXPECT_EQ(0, failures[thread]) << "thread " << thread;
  for (const std::string& path : paths)
    EXPECT_TRUE(pdf_maker::CheckOk(path)) << path;
}

TEST(DocmarkThreads, EachThreadWithItsOwnFile) {
  pdf_maker::ScratchDirectory scratch;
  std::vector<std::string> paths;
  for (int thread = 0; thread < kThreads; ++thread) {
    pdf_maker::PdfOptions options;
    options.pages = 1 + 10 * thread;
    options.objectStreams = thread % 2 == 1;
    options.xmp = thread >= 2 ? pdf_maker::SimpleXmp() : std::string();
    paths.push_back(scratch.Path("doc" + std::to_string(thread) + ".pdf"));
    pdf_maker::WritePdf(paths.back(), options);
  }
  RunThreads(paths);
}

TEST(DocmarkThreads, AllThreadsOnOneFile) {
  pdf_maker::ScratchDirectory scratch;
  std::string path = scratch.Path("shared.pdf");
  pdf_maker::WritePdf(path, pdf_maker::PdfOptions());
  RunThreads({path});
}

}  // namespace
