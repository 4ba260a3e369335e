#include "pdfl/pdfl_testing.h"

#include <map>
#include <set>

#include "testing_controls.h"

namespace pdfl {

namespace {

const uint32_t kDefaultTableVersion = 0xA0000;

struct PendingRaise {
  int skip;
  ASErrorCode code;
};

struct Tables {
  std::map<std::string, uint32_t> offered;  // only those changed from the default
  std::set<std::string> hidden;
};

Tables& TableControls() {
  static Tables tables;
  return tables;
}

std::map<std::string, PendingRaise>& PendingRaises() {
  static std::map<std::string, PendingRaise> raises;
  return raises;
}

}  // namespace

TestingControls& Testing() {
  static TestingControls controls;
  return controls;
}

uint32_t OfferedVersion(const std::string& table) {
  auto it = TableControls().offered.find(table);
  return it == TableControls().offered.end() ? kDefaultTableVersion : it->second;
}

bool TableVersionHidden(const std::string& table) {
  return TableControls().hidden.count(table) != 0;
}

ASErrorCode TestingRaiseFor(const char* operation) {
  auto it = PendingRaises().find(operation);
  if (it == PendingRaises().end())
    return 0;
  if (it->second.skip-- > 0)
    return 0;
  ASErrorCode code = it->second.code;
  PendingRaises().erase(it);
  return code;
}

}  // namespace pdfl

namespace pdfl_testing {

void Reset() {
  pdfl::Testing() = pdfl::TestingControls();
  pdfl::TableControls() = pdfl::Tables();
  pdfl::PendingRaises().clear();
}

void OfferTable(const std::string& name, uint32_t version) {
  pdfl::TableControls().offered[name] = version;
}

void HideTableVersion(const std::string& name) {
  pdfl::TableControls().hidden.insert(name);
}

void FailInit(int32_t code) {
  pdfl::Testing().initCode = code;
}

void FailThreadData(bool fail) {
  pdfl::Testing().failThreadData = fail;
}

InitRecordCopy LastInitRecord() {
  return pdfl::Testing().lastInitRecord;
}

void RaiseIn(const std::string& operation, int skip, ASErrorCode code) {
  pdfl::PendingRaises()[operation] = {skip, code};
}

void ThrowIn(const std::string& operation) {
  pdfl::Testing().throwIn.insert(operation);
}

void DeliverEmptyPacket(bool empty) {
  pdfl::Testing().emptyPacket = empty;
}

void DenyPermission(int32_t operation) {
  pdfl::Testing().deniedPermissions.insert(operation);
}

Counts GetCounts() {
  return pdfl::Testing().counts;
}

}  // namespace pdfl_testing
