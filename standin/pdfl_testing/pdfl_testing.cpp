#include "pdfl_testing.h"

#include <csignal>
#include <cstdlib>
#include <map>
#include <new>
#include <set>

#include "hooks.h"

namespace {

struct PendingRaise {
  int skip;
  ASErrorCode code;
};

// What the controls ask of the library; Reset makes it new.
struct Controls {
  int32_t initCode = 0;
  bool failThreadData = false;
  std::map<std::string, uint32_t> offered;  // only the tables changed
  std::set<std::string> hidden;
  std::map<std::string, PendingRaise> raises;
  std::set<std::string> throwIn;
  bool emptyPacket = false;
  bool damageCopies = false;
  std::string killAt;
  std::set<int32_t> deniedPermissions;
  pdfl_testing::InitRecordCopy lastInitRecord;
  pdfl_testing::Counts counts;
};

std::u16string CopyPath(const PDFLPathChar* path) {
  if (!path)
    return std::u16string();
  return std::u16string(path, path + std::char_traits<PDFLPathChar>::length(path));
}

pdfl_testing::InitRecordCopy CopyRecord(const PDFLInitRecord& record) {
  pdfl_testing::InitRecordCopy copy;
  copy.present = true;
  copy.size = record.size;
  copy.flags = record.flags;
  copy.fontDirCount = record.fontDirCount;
  for (int32_t i = 0; record.fontDirList && i < record.fontDirCount; ++i)
    copy.fontDirs.push_back(CopyPath(record.fontDirList[i]));
  copy.hasCMapDirectory = record.cmapDirectory != nullptr;
  copy.cmapDirectory = CopyPath(record.cmapDirectory);
  copy.hasUnicodeDirectory = record.unicodeDirectory != nullptr;
  copy.unicodeDirectory = CopyPath(record.unicodeDirectory);
  return copy;
}

class TestingHooks : public pdfl::Hooks {
 public:
  int32_t Init(const PDFLInitRecord* record) override {
    if (record)
      controls.lastInitRecord = CopyRecord(*record);
    return controls.initCode;
  }

  bool ThreadData() override { return !controls.failThreadData; }

  uint32_t TableVersion(const char* table, uint32_t version) override {
    auto it = controls.offered.find(table);
    return it == controls.offered.end() ? version : it->second;
  }

  bool TableVersionKnown(const char* table) override { return controls.hidden.count(table) == 0; }

  ASErrorCode Fault(const char* operation) override {
    if (controls.throwIn.erase(operation) != 0)
      throw std::bad_alloc();
    auto it = controls.raises.find(operation);
    if (it == controls.raises.end() || it->second.skip-- > 0)
      return 0;
    ASErrorCode code = it->second.code;
    controls.raises.erase(it);
    return code;
  }

  void Count(pdfl::Event event) override {
    using pdfl_testing::Counts;
    // In the order of pdfl::Event.
    static int Counts::*const kCounters[] = {&Counts::starts, &Counts::ends,  &Counts::opens,
                                             &Counts::closes, &Counts::saves, &Counts::copies};
    ++(controls.counts.*kCounters[static_cast<int>(event)]);
  }

  bool EmptyPacket() override { return controls.emptyPacket; }

  bool DeniesPermission(int32_t operation) override {
    return controls.deniedPermissions.count(operation) != 0;
  }

  bool DamageCopy() override { return controls.damageCopies; }

  void Reached(const char* step) override {
    if (controls.killAt != step)
      return;
#ifdef SIGKILL
    raise(SIGKILL);
#endif
    std::abort();  // where there is no SIGKILL, the nearest to one
  }

  Controls controls;
};

TestingHooks& Testing() {
  static TestingHooks hooks;
  return hooks;
}

// Loading the testing library installs its hooks, before any call.
[[maybe_unused]] const bool installed = (pdfl::InstallHooks(&Testing()), true);

}  // namespace

namespace pdfl_testing {

void Reset() {
  Testing().controls = Controls();
}

void OfferTable(const std::string& name, uint32_t version) {
  Testing().controls.offered[name] = version;
}

void HideTableVersion(const std::string& name) {
  Testing().controls.hidden.insert(name);
}

void FailInit(int32_t code) {
  Testing().controls.initCode = code;
}

void FailThreadData(bool fail) {
  Testing().controls.failThreadData = fail;
}

InitRecordCopy LastInitRecord() {
  return Testing().controls.lastInitRecord;
}

void RaiseIn(const std::string& operation, int skip, ASErrorCode code) {
  Testing().controls.raises[operation] = {skip, code};
}

void ThrowIn(const std::string& operation) {
  Testing().controls.throwIn.insert(operation);
}

void DeliverEmptyPacket(bool empty) {
  Testing().controls.emptyPacket = empty;
}

void DamageCopies(bool damage) {
  Testing().controls.damageCopies = damage;
}

void KillAt(const std::string& step) {
  Testing().controls.killAt = step;
}

void DenyPermission(int32_t operation) {
  Testing().controls.deniedPermissions.insert(operation);
}

Counts GetCounts() {
  return Testing().controls.counts;
}

}  // namespace pdfl_testing
