#include "support/hostile_pdf.h"

#include <unistd.h>
#include <zlib.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace dlvr::test {

std::string ClassicPdf(const std::vector<std::string>& objects, const std::string& trailerExtra) {
  std::string pdf = "%PDF-1.7\n";
  std::vector<std::size_t> at;
  for (std::size_t i = 0; i < objects.size(); ++i) {
    at.push_back(pdf.size());
    pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
  }
  const std::size_t xref = pdf.size();
  pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
  char line[24];
  for (std::size_t offset : at) {
    std::snprintf(line, sizeof line, "%010zu 00000 n \n", offset);
    pdf += line;
  }
  pdf += "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R " + trailerExtra + " >>\n";
  pdf += "startxref\n" + std::to_string(xref) + "\n%%EOF\n";
  return pdf;
}

namespace {

std::string Ref(std::size_t n) { return std::to_string(n) + " 0 R"; }

// /Pages nodes `depth` levels deep above one page.
std::string DeepTree(std::size_t depth) {
  std::vector<std::string> objects{"<< /Type /Catalog /Pages 2 0 R >>"};
  for (std::size_t level = 0; level < depth; ++level) {
    const std::size_t self = level + 2;
    std::string node = "<< /Type /Pages /Kids [" + Ref(self + 1) + "] /Count 1";
    if (level > 0) node += " /Parent " + Ref(self - 1);
    objects.push_back(node + " >>");
  }
  objects.push_back("<< /Type /Page /Parent " + Ref(depth + 1) + " /MediaBox [0 0 200 200] >>");
  return ClassicPdf(objects);
}

// Deflate (zlib format) of `prefix` followed by `zeroMiB` MiB of zero
// bytes, made without compressing them all: a piece of 16 MiB of zeros
// compressed after a full flush (which empties the history) gives the same
// bytes every time, so it is repeated, and the checksum is combined.
std::string InflatesToZeros(const std::string& prefix, std::size_t zeroMiB) {
  constexpr std::size_t kPiece = std::size_t{16} << 20;
  const std::vector<unsigned char> zeros(kPiece, 0);
  z_stream z{};
  if (deflateInit(&z, 9) != Z_OK) throw std::runtime_error("deflateInit");
  std::string out;
  auto run = [&](const unsigned char* data, std::size_t size, int flush) {
    std::string got;
    z.next_in = const_cast<unsigned char*>(data);
    z.avail_in = static_cast<uInt>(size);
    unsigned char buf[65536];
    do {
      z.next_out = buf;
      z.avail_out = sizeof buf;
      deflate(&z, flush);
      got.append(reinterpret_cast<char*>(buf), sizeof buf - z.avail_out);
    } while (z.avail_out == 0 || z.avail_in > 0);
    return got;
  };
  out = run(reinterpret_cast<const unsigned char*>(prefix.data()), prefix.size(), Z_FULL_FLUSH);
  const std::string piece = run(zeros.data(), zeros.size(), Z_FULL_FLUSH);
  if (run(zeros.data(), zeros.size(), Z_FULL_FLUSH) != piece) throw std::runtime_error("pieces differ");
  std::string end = run(nullptr, 0, Z_FINISH);
  deflateEnd(&z);
  const std::size_t pieces = zeroMiB / 16;
  for (std::size_t i = 0; i < pieces; ++i) out += piece;
  // The final block, then the Adler-32 of everything.
  end.resize(end.size() - 4);
  out += end;
  uLong adler = adler32(adler32(0, nullptr, 0), reinterpret_cast<const Bytef*>(prefix.data()),
                        static_cast<uInt>(prefix.size()));
  const uLong pieceAdler = adler32(adler32(0, nullptr, 0), zeros.data(), static_cast<uInt>(zeros.size()));
  for (std::size_t i = 0; i < pieces; ++i) adler = adler32_combine(adler, pieceAdler, static_cast<z_off_t>(kPiece));
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>((adler >> shift) & 0xFF));
  return out;
}

// The catalog, its page tree and a page in an object stream that inflates
// to 4 GB, found through a cross-reference stream.
std::string FlateBomb() {
  const std::string catalog = "<< /Type /Catalog /Pages 3 0 R >>";
  const std::string pages = "<< /Type /Pages /Kids [4 0 R] /Count 1 >>";
  const std::string page = "<< /Type /Page /Parent 3 0 R /MediaBox [0 0 200 200] >>";
  std::string body = catalog + " " + pages + " " + page + " ";
  std::string head = "1 0 3 " + std::to_string(catalog.size() + 1) + " 4 " +
                     std::to_string(catalog.size() + pages.size() + 2) + " ";
  const std::string data = InflatesToZeros(head + body, 4096);
  std::string pdf = "%PDF-1.7\n";
  const std::size_t objStm = pdf.size();
  pdf += "2 0 obj\n<< /Type /ObjStm /N 3 /First " + std::to_string(head.size()) + " /Length " +
         std::to_string(data.size()) + " /Filter /FlateDecode >>\nstream\n" + data + "\nendstream\nendobj\n";
  const std::size_t xref = pdf.size();
  // Entries of 1 + 4 + 2 bytes: 0 free, 1 in the stream, 2 the stream, 3-4 in it, 5 this one.
  std::string rows;
  auto row = [&rows](int type, std::uint32_t field2, int field3) {
    rows.push_back(static_cast<char>(type));
    for (int shift = 24; shift >= 0; shift -= 8) rows.push_back(static_cast<char>((field2 >> shift) & 0xFF));
    rows.push_back(static_cast<char>((field3 >> 8) & 0xFF));
    rows.push_back(static_cast<char>(field3 & 0xFF));
  };
  row(0, 0, 65535);
  row(2, 2, 0);
  row(1, static_cast<std::uint32_t>(objStm), 0);
  row(2, 2, 1);
  row(2, 2, 2);
  row(1, static_cast<std::uint32_t>(xref), 0);
  pdf += "5 0 obj\n<< /Type /XRef /Size 6 /W [1 4 2] /Root 1 0 R /Length " + std::to_string(rows.size()) +
         " >>\nstream\n" + rows + "\nendstream\nendobj\n";
  pdf += "startxref\n" + std::to_string(xref) + "\n%%EOF\n";
  return pdf;
}

// Two cross-reference sections, each naming the other as the one before.
std::string XrefPrevLoop() {
  std::string pdf = "%PDF-1.7\n";
  std::vector<std::size_t> at;
  for (const std::string& object :
       {std::string("<< /Type /Catalog /Pages 2 0 R >>"), std::string("<< /Type /Pages /Kids [3 0 R] /Count 1 >>"),
        std::string("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] >>")}) {
    at.push_back(pdf.size());
    pdf += std::to_string(at.size()) + " 0 obj\n" + object + "\nendobj\n";
  }
  // Both sections have offsets of the same width, so the second's place is
  // known before the first is written.
  auto section = [&](std::size_t prev) {
    std::string s = "xref\n0 4\n0000000000 65535 f \n";
    char line[24];
    for (std::size_t offset : at) {
      std::snprintf(line, sizeof line, "%010zu 00000 n \n", offset);
      s += line;
    }
    char prevText[16];
    std::snprintf(prevText, sizeof prevText, "%010zu", prev);
    return s + "trailer\n<< /Size 4 /Root 1 0 R /Prev " + prevText + " >>\n";
  };
  const std::size_t first = pdf.size();
  const std::size_t second = first + section(0).size();
  pdf += section(second);
  pdf += section(first);
  pdf += "startxref\n" + std::to_string(second) + "\n%%EOF\n";
  return pdf;
}

}  // namespace

const char* HostilePdfName(THostilePdf kind) {
  switch (kind) {
    case THostilePdf::DeepPageTree: return "DeepPageTree";
    case THostilePdf::DeeperPageTree: return "DeeperPageTree";
    case THostilePdf::HugeCount: return "HugeCount";
    case THostilePdf::CyclicPageTree: return "CyclicPageTree";
    case THostilePdf::XrefPrevLoop: return "XrefPrevLoop";
    case THostilePdf::BogusEncryption: return "BogusEncryption";
    case THostilePdf::SparseHuge: return "SparseHuge";
    case THostilePdf::FlateBomb: return "FlateBomb";
  }
  return "";
}

std::string WriteHostilePdf(const ScratchDir& dir, THostilePdf kind) {
  const std::string name = std::string(HostilePdfName(kind)) + ".PDF";
  std::string pdf;
  switch (kind) {
    case THostilePdf::DeepPageTree: pdf = DeepTree(5000); break;
    case THostilePdf::DeeperPageTree: pdf = DeepTree(100000); break;
    case THostilePdf::HugeCount: {
      std::string kids;
      for (int i = 0; i < 1000; ++i) kids += "3 0 R ";
      pdf = ClassicPdf({"<< /Type /Catalog /Pages 2 0 R >>",
                        "<< /Type /Pages /Kids [" + kids + "] /Count 2147483647 >>",
                        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] >>"});
      break;
    }
    case THostilePdf::CyclicPageTree:
      pdf = ClassicPdf({"<< /Type /Catalog /Pages 2 0 R >>",
                        "<< /Type /Pages /Kids [3 0 R 2 0 R] /Count 3 >>",
                        "<< /Type /Pages /Kids [2 0 R 3 0 R 4 0 R] /Count 2 /Parent 2 0 R >>",
                        "<< /Type /Page /Parent 3 0 R /MediaBox [0 0 200 200] >>"});
      break;
    case THostilePdf::XrefPrevLoop: pdf = XrefPrevLoop(); break;
    case THostilePdf::BogusEncryption:
      pdf = ClassicPdf({"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
                        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] >>",
                        "<< /Filter /Standard /V 5 /R 99 /Length 4294967295 /O <00> /U <> /OE <01> /P 2147483647 "
                        "/CF << /StdCF << /CFM /AESV9 /Length -8 >> >> /StmF /StdCF /StrF /Identity /EncryptMetadata 7 >>"},
                       "/Encrypt 4 0 R /ID [<00> <>]");
      break;
    case THostilePdf::SparseHuge: {
      const std::string path = dir.WriteBytes(name, "%PDF-1.7\n1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n");
      if (::truncate(path.c_str(), off_t{2} << 30) != 0) throw std::runtime_error("cannot extend " + path);
      return path;
    }
    case THostilePdf::FlateBomb: pdf = FlateBomb(); break;
  }
  return dir.WriteBytes(name, pdf);
}

}  // namespace dlvr::test
