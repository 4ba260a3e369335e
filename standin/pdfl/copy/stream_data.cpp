#include "copy/stream_data.h"

#include <qpdf/Pl_Buffer.hh>
#include <qpdf/Pl_Flate.hh>
#include <qpdf/QPDFCryptoProvider.hh>
#include <qpdf/QUtil.hh>

#include "copy/not_copyable.h"

namespace pdfl {

namespace {

const size_t kBlock = 16;

std::string Rc4(const std::string& key, const std::string& data) {
  auto crypto = QPDFCryptoProvider::getImpl();
  crypto->RC4_init(reinterpret_cast<const unsigned char*>(key.data()),
                   static_cast<int>(key.size()));
  std::string out(data.size(), '\0');
  crypto->RC4_process(reinterpret_cast<const unsigned char*>(data.data()), data.size(),
                      reinterpret_cast<unsigned char*>(out.data()));
  crypto->RC4_finalize();
  return out;
}

// AES in CBC mode as PDF stores it: a random first block, then the data
// padded to whole blocks, each pad byte the pad's length.
std::string Aes(const std::string& key, const std::string& data) {
  unsigned char chain[kBlock];
  QUtil::initializeWithRandomBytes(chain, kBlock);
  std::string out(reinterpret_cast<const char*>(chain), kBlock);
  std::string padded = data;
  padded.append(kBlock - data.size() % kBlock, static_cast<char>(kBlock - data.size() % kBlock));
  auto crypto = QPDFCryptoProvider::getImpl();
  crypto->rijndael_init(true, reinterpret_cast<const unsigned char*>(key.data()), key.size(), true,
                        chain);
  unsigned char in[kBlock], block[kBlock];
  for (size_t at = 0; at < padded.size(); at += kBlock) {
    padded.copy(reinterpret_cast<char*>(in), kBlock, at);
    crypto->rijndael_process(in, block);
    out.append(reinterpret_cast<const char*>(block), kBlock);
  }
  crypto->rijndael_finalize();
  return out;
}

bool EncryptsMetadata(QPDF& pdf) {
  QPDFObjectHandle flag = pdf.getTrailer().getKey("/Encrypt").getKey("/EncryptMetadata");
  return !flag.isBool() || flag.getBoolValue();
}

}  // namespace

std::string StoredStreamData(QPDF& pdf, QPDFObjGen object, const std::string& data, bool metadata) {
  int R = 0, P = 0, V = 0;
  QPDF::encryption_method_e stream = QPDF::e_none, string = QPDF::e_none, file = QPDF::e_none;
  if (!pdf.isEncrypted(R, P, V, stream, string, file))
    return data;
  // Below version 4 every stream is RC4's; from it, the crypt filter says.
  if (V < 4)
    stream = QPDF::e_rc4;
  if (stream == QPDF::e_none || (metadata && V >= 4 && !EncryptsMetadata(pdf)))
    return data;
  Require(stream == QPDF::e_rc4 || stream == QPDF::e_aes || stream == QPDF::e_aesv3);
  bool aes = stream != QPDF::e_rc4;
  std::string key =
      QPDF::compute_data_key(pdf.getEncryptionKey(), object.getObj(), object.getGen(), aes, V, R);
  return aes ? Aes(key, data) : Rc4(key, data);
}

std::string Deflate(const std::string& data) {
  Pl_Buffer buffer("copy stream");
  Pl_Flate flate("copy stream", &buffer, Pl_Flate::a_deflate);
  flate.write(reinterpret_cast<const unsigned char*>(data.data()), data.size());
  flate.finish();
  auto compressed = buffer.getBufferSharedPointer();
  return std::string(reinterpret_cast<const char*>(compressed->getBuffer()), compressed->getSize());
}

}  // namespace pdfl
