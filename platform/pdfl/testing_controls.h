// What the library asks of its testing controls (pdfl/pdfl_testing.h).
#ifndef PDFL_TESTING_CONTROLS_H
#define PDFL_TESTING_CONTROLS_H

#include <cstdint>
#include <set>
#include <string>

#include "pdfl/pdfl_testing.h"

namespace pdfl {

struct TestingControls {
  int32_t initCode = 0;
  bool failThreadData = false;
  bool emptyPacket = false;
  std::set<int32_t> deniedPermissions;
  std::set<std::string> throwIn;
  pdfl_testing::InitRecordCopy lastInitRecord;
  pdfl_testing::Counts counts;
};

TestingControls& Testing();

// The version the named table is offered at (0: not offered), and whether its
// version query is hidden.
uint32_t OfferedVersion(const std::string& table);
bool TableVersionHidden(const std::string& table);

// The code the operation is to raise on this call, or 0.
ASErrorCode TestingRaiseFor(const char* operation);

}  // namespace pdfl

#endif
