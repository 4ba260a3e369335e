// The packet edit and the parse-cost bound on any text: the edit either
// refuses a packet unchanged or declares the schemas once.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "packet_cost.h"
#include "utf8.h"
#include "xmp_schema.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  pdfl::PacketParseCost(bytes);
  std::u16string packet = utf8::DecodeLossless<std::u16string>(bytes);
  std::u16string edited = packet;
  if (!EnsureExtensionSchemas(edited)) {
    if (edited != packet)
      std::abort();
    return 0;
  }
  if (AddTagSchema(edited) && edited.find(BuildTagSchemaItem()) == std::u16string::npos)
    std::abort();
  return 0;
}
