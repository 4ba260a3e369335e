// A bound on what parsing an XMP packet costs. Exempi's parser takes time
// that grows with the square of the number of properties side by side under
// one node (a schema's properties, across all descriptions; a struct's
// fields; properties written as attributes), so a packet with a few hundred
// thousand of them would hold a caller for many minutes.
#ifndef PDFL_PACKET_COST_H
#define PDFL_PACKET_COST_H

#include <cstdint>
#include <string>

namespace pdfl {

// The sum, over every node, of the square of its number of properties. Array
// items (rdf:li) are not counted: their cost grows linearly.
uint64_t PacketParseCost(const std::string& packet);

// About 10,000 properties side by side, parsed in well under a second; real
// packets stay far below it.
const uint64_t kMaximumPacketParseCost = 100000000;

}  // namespace pdfl

#endif
