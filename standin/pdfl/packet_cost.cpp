#include "packet_cost.h"

#include <vector>

namespace pdfl {

namespace {

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Where the tag that starts at `at` ends (its '>'), quotes respected.
size_t TagEnd(const std::string& packet, size_t at) {
  char quote = 0;
  for (size_t i = at; i < packet.size(); ++i) {
    char c = packet[i];
    if (quote) {
      if (c == quote)
        quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '>') {
      return i;
    }
  }
  return std::string::npos;
}

bool EndsWith(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// Properties among the attributes of a start tag (given after its name): all
// but namespace declarations and the syntax's own.
uint64_t PropertyAttributes(const std::string& attributes) {
  uint64_t count = 0;
  size_t i = 0;
  auto skipSpace = [&] {
    while (i < attributes.size() && IsSpace(attributes[i]))
      ++i;
  };
  for (;;) {
    skipSpace();
    size_t nameStart = i;
    while (i < attributes.size() && !IsSpace(attributes[i]) && attributes[i] != '=')
      ++i;
    std::string name = attributes.substr(nameStart, i - nameStart);
    skipSpace();
    if (name.empty() || i >= attributes.size() || attributes[i] != '=')
      return count;
    ++i;
    skipSpace();
    if (i >= attributes.size())
      return count;
    size_t close = attributes.find(attributes[i], i + 1);
    if (close == std::string::npos)
      return count;
    i = close + 1;
    if (name.compare(0, 5, "xmlns") != 0 && name.compare(0, 4, "rdf:") != 0 &&
        name.compare(0, 4, "xml:") != 0)
      ++count;
  }
}

}  // namespace

uint64_t PacketParseCost(const std::string& packet) {
  struct Open {
    uint64_t properties;
    bool description;
  };
  // Every description's properties join their schemas, so they count as
  // one node's.
  uint64_t descriptionProperties = 0;
  uint64_t cost = 0;
  std::vector<Open> open = {{0, false}};
  auto addTo = [&](Open& node, uint64_t count) {
    uint64_t& properties = node.description ? descriptionProperties : node.properties;
    // (n + k)^2 - n^2
    cost += count * (2 * properties + count);
    properties += count;
  };

  for (size_t at = packet.find('<'); at != std::string::npos; at = packet.find('<', at + 1)) {
    if (packet.compare(at, 4, "<!--") == 0) {
      at = packet.find("-->", at);
    } else if (packet.compare(at, 9, "<![CDATA[") == 0) {
      at = packet.find("]]>", at);
    } else if (at + 1 < packet.size() && (packet[at + 1] == '?' || packet[at + 1] == '!')) {
      at = packet.find('>', at);
    } else if (at + 1 < packet.size() && packet[at + 1] == '/') {
      if (open.size() > 1)
        open.pop_back();
      at = packet.find('>', at);
    } else {
      size_t end = TagEnd(packet, at);
      if (end == std::string::npos)
        break;
      std::string tag = packet.substr(at + 1, end - at - 1);
      size_t nameEnd = 0;
      while (nameEnd < tag.size() && !IsSpace(tag[nameEnd]) && tag[nameEnd] != '/')
        ++nameEnd;
      std::string name = tag.substr(0, nameEnd);
      if (name != "rdf:li")
        addTo(open.back(), 1);
      Open element = {0, EndsWith(name, ":Description")};
      addTo(element, PropertyAttributes(tag.substr(nameEnd)));
      if (tag.empty() || tag.back() != '/')
        open.push_back(element);
      at = end;
    }
    if (at == std::string::npos)
      break;
  }
  return cost;
}

}  // namespace pdfl
