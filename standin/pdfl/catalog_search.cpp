#include "catalog_search.h"

#include <algorithm>
#include <cstring>

#include "copy/pdf_syntax.h"

namespace pdfl {

namespace {

const size_t kBlockSize = 1 << 20;
// Bytes kept before the block for a look back from a word found in it.
const size_t kLookBack = 4096;
const char kObj[] = "obj";
const char kCatalog[] = "/Catalog";
// A word found this close to the end of what is read waits for the next
// block, which tells what follows it.
const size_t kLongestWord = sizeof kCatalog;

// What the search holds of the file: the block last read and a few
// kilobytes before it.
struct Window {
  std::string bytes;
  bool atFileStart = true;  // the bytes start where the file does
  bool atFileEnd = false;   // the bytes run to the file's end

  // Moves `at` back over white space (when white is set) or digits; the
  // number of characters passed, or 0 when the run may go on before the
  // window.
  size_t Back(size_t& at, bool white) const {
    size_t from = at;
    while (at > 0 && (white ? IsWhite(bytes[at - 1]) : IsDigit(bytes[at - 1])))
      --at;
    return at == 0 && !atFileStart ? 0 : from - at;
  }

  // The "N G R" of the keyword "obj" at `at`; empty when it ends an "endobj"
  // or does not follow an object number and generation.
  std::string Reference(size_t at) const {
    if (at >= 3 && bytes.compare(at - 3, 3, "end") == 0)
      return std::string();
    size_t i = at;
    if (Back(i, true) == 0)
      return std::string();
    size_t generationEnd = i;
    if (Back(i, false) == 0)
      return std::string();
    std::string generation = bytes.substr(i, generationEnd - i);
    if (Back(i, true) == 0)
      return std::string();
    size_t numberEnd = i;
    if (Back(i, false) == 0 || (i > 0 && IsRegular(bytes[i - 1])))
      return std::string();
    return bytes.substr(i, numberEnd - i) + " " + generation + " R";
  }

  // Whether the name "/Catalog" at `at` is the value of a /Type key.
  bool IsCatalogType(size_t at) const {
    size_t after = at + std::strlen(kCatalog);
    if (after < bytes.size() ? IsRegular(bytes[after]) : !atFileEnd)
      return false;
    size_t key = at;
    Back(key, true);
    return key >= 5 && bytes.compare(key - 5, 5, "/Type") == 0;
  }
};

// Follows the words that start in [from, to) of the window, in order: each
// "obj" names the object that a "/Type /Catalog" after it is in.
void Scan(const Window& window, size_t from, size_t to, std::string& object, std::string& catalog) {
  size_t obj = window.bytes.find(kObj, from);
  size_t name = window.bytes.find(kCatalog, from);
  while (std::min(obj, name) < to) {
    if (obj < name) {
      object = window.Reference(obj);
      obj = window.bytes.find(kObj, obj + 1);
    } else {
      if (!object.empty() && window.IsCatalogType(name))
        catalog = object;
      name = window.bytes.find(kCatalog, name + 1);
    }
  }
}

}  // namespace

std::string FindCatalog(InputSource& input) {
  Window window;
  std::string object;
  std::string catalog;
  size_t from = 0;  // where the words not yet followed start
  input.seek(0, SEEK_SET);
  while (!window.atFileEnd) {
    size_t held = window.bytes.size();
    window.bytes.resize(held + kBlockSize);
    size_t got = input.read(&window.bytes[held], kBlockSize);
    window.bytes.resize(held + got);
    window.atFileEnd = got == 0;
    size_t to = window.atFileEnd
                    ? window.bytes.size()
                    : window.bytes.size() - std::min(window.bytes.size(), kLongestWord);
    Scan(window, from, to, object, catalog);
    from = to;
    size_t drop = from > kLookBack ? from - kLookBack : 0;
    if (drop > 0) {
      window.bytes.erase(0, drop);
      window.atFileStart = false;
      from -= drop;
    }
  }
  return catalog;
}

}  // namespace pdfl
