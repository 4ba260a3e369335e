#include "atoms.h"

#include <deque>
#include <mutex>
#include <unordered_map>

#include "errors.h"
#include "operations.h"

namespace pdfl {

namespace {

// Atoms are the process's, like the library's; the lock lets any thread
// make them.
struct AtomTable {
  std::mutex lock;
  std::deque<std::string> names;  // atom n is names[n - 1]; a deque keeps them in place
  std::unordered_map<std::string, ASAtom> atoms;
};

AtomTable& Atoms() {
  static AtomTable table;
  return table;
}

}  // namespace

ASAtom Intern(const std::string& name) {
  AtomTable& table = Atoms();
  std::lock_guard<std::mutex> hold(table.lock);
  auto it = table.atoms.find(name);
  if (it != table.atoms.end())
    return it->second;
  table.names.push_back(name);
  ASAtom atom = static_cast<ASAtom>(table.names.size());
  table.atoms.emplace(name, atom);
  return atom;
}

const std::string& AtomName(ASAtom atom) {
  AtomTable& table = Atoms();
  std::lock_guard<std::mutex> hold(table.lock);
  if (atom == 0 || atom > table.names.size())
    Fail(kPDFLErrBadParameter);
  return table.names[atom - 1];
}

ASAtom ASAtomFromString(const char* name) {
  return Entry("ASAtomFromString", [&] {
    if (!name)
      Fail(kPDFLErrBadParameter);
    return Intern(name);
  });
}

const char* ASAtomGetString(ASAtom atom) {
  return Entry("ASAtomGetString", [&] { return AtomName(atom).c_str(); });
}

}  // namespace pdfl
