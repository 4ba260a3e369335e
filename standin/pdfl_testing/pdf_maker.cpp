#include "pdf_maker.h"

#include <unistd.h>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <sstream>
#include <stdexcept>

#include <qpdf/Pl_Discard.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFJob.hh>
#include <qpdf/QPDFLogger.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include "utf8.h"

namespace pdf_maker {

namespace {

QPDFObjectHandle MakePage(QPDF& pdf, int number) {
  QPDFObjectHandle page = QPDFObjectHandle::parse(
      "<< /Type /Page /MediaBox [0 0 612 792]"
      " /Resources << /Font << /F1 << /Type /Font /Subtype /Type1 /BaseFont /Helvetica >> >> >> "
      ">>");
  std::string content = "BT /F1 24 Tf 72 720 Td (Page " + std::to_string(number) + ") Tj ET\n";
  page.replaceKey("/Contents", QPDFObjectHandle::newStream(&pdf, content));
  return pdf.makeIndirectObject(page);
}

// Moves every in-use offset of the last cross-reference table by a few
// bytes, keeping its width, so that no entry points at its object.
void DamageXref(const std::string& path) {
  std::string bytes = ReadFile(path);
  size_t table = bytes.rfind("\nxref");
  if (table == std::string::npos)
    throw std::runtime_error("no cross-reference table to damage in " + path);
  std::string tail = bytes.substr(table);
  static const std::regex entry("([0-9]{10}) ([0-9]{5}) n");
  std::string damaged;
  auto last = tail.cbegin();
  for (std::sregex_iterator it(tail.begin(), tail.end(), entry), end; it != end; ++it) {
    damaged.append(last, (*it)[0].first);
    std::string offset = std::to_string(std::stoll((*it)[1].str()) + 5);
    damaged += std::string(10 - offset.size(), '0') + offset + " " + (*it)[2].str() + " n";
    last = (*it)[0].second;
  }
  damaged.append(last, tail.cend());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes.substr(0, table) << damaged;
  if (!out.flush())
    throw std::runtime_error("cannot rewrite " + path);
}

std::unique_ptr<QPDF> Open(const std::string& path) {
  auto pdf = std::make_unique<QPDF>();
  pdf->setSuppressWarnings(true);
  pdf->processFile(path.c_str());
  return pdf;
}

}  // namespace

void WritePdf(const std::string& path, const PdfOptions& options) {
  QPDF pdf;
  pdf.emptyPDF();
  QPDFPageDocumentHelper pages(pdf);
  for (int i = 1; i <= options.pages; ++i)
    pages.addPage(MakePage(pdf, i), false);

  if (!options.info.empty()) {
    QPDFObjectHandle info = pdf.makeIndirectObject(QPDFObjectHandle::newDictionary());
    for (const auto& [key, value] : options.info)
      info.replaceKey("/" + key, QPDFObjectHandle::newString(value));
    pdf.getTrailer().replaceKey("/Info", info);
  }
  if (!options.xmp.empty()) {
    QPDFObjectHandle metadata = QPDFObjectHandle::newStream(&pdf, options.xmp);
    metadata.getDict().replaceKey("/Type", QPDFObjectHandle::newName("/Metadata"));
    metadata.getDict().replaceKey("/Subtype", QPDFObjectHandle::newName("/XML"));
    pdf.getRoot().replaceKey("/Metadata", metadata);
  }

  QPDFWriter writer(pdf, path.c_str());
  // Forced below what it needs, AES-256 would be written unencrypted.
  if (options.encryption.empty())
    writer.forcePDFVersion(options.version);
  else
    writer.setMinimumPDFVersion(options.version);
  writer.setLinearization(options.linearize);
  writer.setObjectStreamMode(options.objectStreams ? qpdf_o_generate : qpdf_o_disable);
  if (options.encryptNoModify)
    writer.setR4EncryptionParametersInsecure("", "owner", true, true, false, false, false, false,
                                             qpdf_r3p_full, true, true);
  if (options.encryption == "rc4-128")
    writer.setR3EncryptionParametersInsecure("", "owner", true, true, true, true, true, true,
                                             qpdf_r3p_full);
  else if (options.encryption == "aes-128")
    writer.setR4EncryptionParametersInsecure("", "owner", true, true, true, true, true, true,
                                             qpdf_r3p_full, true, true);
  else if (options.encryption == "aes-256")
    writer.setR6EncryptionParameters("", "owner", true, true, true, true, true, true, qpdf_r3p_full,
                                     true);
  else if (!options.encryption.empty())
    throw std::invalid_argument("no such encryption: " + options.encryption);
  writer.write();

  if (options.damageXref)
    DamageXref(path);
}

std::string SimpleXmp(const std::string& extraDescriptions) {
  return "<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\r\n"
         "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\">\r\n"
         "<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">\r\n"
         "<rdf:Description rdf:about=\"\" xmlns:pdf=\"http://ns.adobe.com/pdf/1.3/\">\r\n"
         "<pdf:Producer>pdf_maker</pdf:Producer>\r\n"
         "</rdf:Description>\r\n" +
         extraDescriptions +
         "</rdf:RDF>\r\n"
         "</x:xmpmeta>\r\n"
         "<?xpacket end=\"w\"?>";
}

int PageCount(const std::string& path) {
  auto pdf = Open(path);
  return static_cast<int>(QPDFPageDocumentHelper(*pdf).getAllPages().size());
}

bool IsLinearized(const std::string& path) {
  return Open(path)->isLinearized();
}

bool CheckOk(const std::string& path) {
  try {
    QPDFJob job;
    auto logger = QPDFLogger::create();
    auto discard = std::make_shared<Pl_Discard>();
    logger->setInfo(discard);
    logger->setWarn(discard);
    logger->setError(discard);
    job.setLogger(logger);
    job.config()->inputFile(path)->check()->checkConfiguration();
    job.run();
    return job.getExitCode() == 0;
  } catch (const std::exception&) {
    return false;
  }
}

std::string InfoValue(const std::string& path, const std::string& key) {
  auto pdf = Open(path);
  QPDFObjectHandle value = pdf->getTrailer().getKey("/Info").getKey("/" + key);
  return value.isString() ? value.getStringValue() : std::string();
}

std::string MetadataXml(const std::string& path) {
  auto pdf = Open(path);
  QPDFObjectHandle metadata = pdf->getRoot().getKey("/Metadata");
  if (!metadata.isStream())
    return std::string();
  auto data = metadata.getStreamData(qpdf_dl_all);
  return std::string(reinterpret_cast<const char*>(data->getBuffer()), data->getSize());
}

std::string PdfVersion(const std::string& path) {
  return Open(path)->getPDFVersion();
}

bool IsEncrypted(const std::string& path) {
  return Open(path)->isEncrypted();
}

bool HasObjectStreams(const std::string& path) {
  auto pdf = Open(path);
  for (const auto& [object, entry] : pdf->getXRefTable())
    if (entry.getType() == 2)
      return true;
  return false;
}

std::map<std::string, std::string> ObjectsBesideMetadata(const std::string& path) {
  auto pdf = Open(path);
  QPDFObjGen metadata = pdf->getRoot().getKey("/Metadata").getObjGen();
  std::map<std::string, std::string> objects;
  for (QPDFObjectHandle& object : pdf->getAllObjects()) {
    if (object.getObjGen() == metadata ||
        (object.isStream() && object.getDict().getKey("/Type").isNameAndEquals("/XRef")))
      continue;
    if (object.getObjGen() == pdf->getRoot().getObjGen()) {
      object = object.shallowCopy();
      object.removeKey("/Metadata");
    }
    std::string text = object.unparseResolved();
    if (object.isStream()) {
      auto data = object.getRawStreamData();
      text += std::string(reinterpret_cast<const char*>(data->getBuffer()), data->getSize());
    }
    objects[object.getObjGen().unparse(' ')] = text;
  }
  return objects;
}

namespace {

// Writes a reading of the objects reached from those added, each indirect
// object once, in the order it is first reached.
class Reading {
 public:
  explicit Reading(QPDFObjGen catalog) : catalog_(catalog) {}

  void Add(QPDFObjectHandle object) {
    Value(object);
    while (!queue_.empty()) {
      QPDFObjectHandle next = queue_.front();
      queue_.pop_front();
      text_ += "\n#" + std::to_string(numbers_[next.getObjGen()]) + " = ";
      Direct(next);
    }
  }
  const std::string& text() const { return text_; }

 private:
  void Value(QPDFObjectHandle object) {
    if (object.isIndirect() && !object.isNull()) {
      auto [entry, fresh] = numbers_.emplace(object.getObjGen(), numbers_.size());
      if (fresh)
        queue_.push_back(object);
      text_ += "#" + std::to_string(entry->second) + " ";
      return;
    }
    Direct(object);
  }

  void Direct(QPDFObjectHandle object) {
    if (object.isStream()) {
      QPDFObjectHandle dict = object.getDict().shallowCopy();
      for (const char* key : {"/Length", "/Filter", "/DecodeParms"})
        dict.removeKey(key);
      Direct(dict);
      auto data = object.getStreamData(qpdf_dl_generalized);
      text_ += "stream " +
               std::string(reinterpret_cast<const char*>(data->getBuffer()), data->getSize()) +
               " endstream ";
    } else if (object.isDictionary()) {
      text_ += "<< ";
      for (const std::string& key : object.getKeys()) {
        if (object.getObjGen() == catalog_ && key == "/Metadata")
          continue;
        text_ += key + " ";
        Value(object.getKey(key));
      }
      text_ += ">> ";
    } else if (object.isArray()) {
      text_ += "[ ";
      for (QPDFObjectHandle& item : object.getArrayAsVector())
        Value(item);
      text_ += "] ";
    } else {
      text_ += object.unparseResolved() + " ";
    }
  }

  QPDFObjGen catalog_;
  std::map<QPDFObjGen, size_t> numbers_;
  std::deque<QPDFObjectHandle> queue_;
  std::string text_;
};

}  // namespace

std::string DocumentReading(const std::string& path) {
  auto pdf = Open(path);
  Reading reading(pdf->getRoot().getObjGen());
  reading.Add(pdf->getTrailer().getKey("/Root"));
  reading.Add(pdf->getTrailer().getKey("/Info"));
  return reading.text();
}

std::pair<std::string, std::string> TrailerId(const std::string& path) {
  QPDFObjectHandle id = Open(path)->getTrailer().getKey("/ID");
  if (!id.isArray() || id.getArrayNItems() != 2)
    return {};
  return {id.getArrayItem(0).getStringValue(), id.getArrayItem(1).getStringValue()};
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in)
    throw std::runtime_error("cannot read " + path);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

std::vector<std::string> Names(const std::string& directory) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(directory))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::u16string ToUtf16(const std::string& utf8) {
  return utf8::DecodeLossless<std::u16string>(utf8);
}

ScratchDirectory::ScratchDirectory() {
  std::string pattern = (std::filesystem::temp_directory_path() / "devkit_test.XXXXXX").string();
  if (!mkdtemp(pattern.data()))
    throw std::runtime_error("cannot make a directory from " + pattern);
  path_ = pattern;
}

ScratchDirectory::~ScratchDirectory() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

}  // namespace pdf_maker
