#include "base/code_page.h"

#include <iconv.h>

#include <cerrno>

namespace quorvo {
namespace {

// Owns one iconv descriptor.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (ok()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t get() const { return cd_; }

 private:
  iconv_t cd_;
};

// Length of the UTF-8 sequence that starts with lead byte c, or 0 when c
// cannot start one.
size_t Utf8SequenceLength(unsigned char c) {
  if (c < 0x80) return 1;
  if (c >= 0xC2 && c <= 0xDF) return 2;
  if (c >= 0xE0 && c <= 0xEF) return 3;
  if (c >= 0xF0 && c <= 0xF4) return 4;
  return 0;
}

bool IsUtf8Sequence(const char* p, size_t avail) {
  size_t n = Utf8SequenceLength(static_cast<unsigned char>(*p));
  if (n == 0 || n > avail) return false;
  for (size_t i = 1; i < n; ++i)
    if ((static_cast<unsigned char>(p[i]) & 0xC0) != 0x80) return false;
  return true;
}

bool IsDigitByte(char c) { return c >= '0' && c <= '9'; }

// 1, 2 or 4: a GB18030 four-byte sequence is lead, digit, lead, digit (GBK
// itself only has one- and two-byte characters).
size_t GbkSequenceLength(const char* p, size_t avail) {
  unsigned char c = static_cast<unsigned char>(*p);
  if (c < 0x81 || c > 0xFE || avail < 2) return 1;
  if (IsDigitByte(p[1]) && avail >= 4) {
    unsigned char third = static_cast<unsigned char>(p[2]);
    if (third >= 0x81 && third <= 0xFE && IsDigitByte(p[3])) return 4;
  }
  return 2;
}

// The code page of stored text: GB18030 keeps every GBK byte sequence as it
// is and adds four-byte sequences for the rest of Unicode (the IPA of
// phonetics among them).
constexpr char kStoredCodePage[] = "GB18030";
// The one byte in which earlier files may hold the euro sign (code page 936
// wrote it alone); GB18030 has no single-byte meaning for it.
constexpr unsigned char kCp936Euro = 0x80;
constexpr char kEuroUtf8[] = "\xE2\x82\xAC";

// Converts with iconv; an input sequence that cannot be converted becomes
// the replacement and is skipped whole (skip tells how many bytes).
template <typename SkipFn, typename ReplaceFn>
std::optional<std::string> Convert(const char* to, const char* from, std::string_view in, ReplaceFn replacement,
                                   SkipFn skip) {
  Converter conv(to, from);
  if (!conv.ok()) return std::nullopt;
  std::string out;
  out.reserve(in.size() + 16);
  char buffer[4096];
  char* inp = const_cast<char*>(in.data());
  size_t inleft = in.size();
  while (inleft > 0) {
    char* outp = buffer;
    size_t outleft = sizeof buffer;
    size_t rc = iconv(conv.get(), &inp, &inleft, &outp, &outleft);
    int err = errno;
    out.append(buffer, outp - buffer);
    if (rc != static_cast<size_t>(-1)) break;
    if (err == E2BIG) continue;
    // EILSEQ or EINVAL: replace the offending sequence and go on.
    out.append(replacement(inp));
    size_t n = skip(inp, inleft);
    if (n == 0 || n > inleft) n = 1;
    inp += n;
    inleft -= n;
    iconv(conv.get(), nullptr, nullptr, nullptr, nullptr);
  }
  return out;
}

}  // namespace

std::optional<std::string> Utf8ToGbk(std::string_view utf8) {
  return Convert(
      kStoredCodePage, "UTF-8", utf8, [](const char*) { return std::string_view("?"); },
      [](const char* p, size_t avail) -> size_t {
        // A well-formed character that cannot be converted is skipped whole;
        // a stray byte alone.
        return IsUtf8Sequence(p, avail) ? Utf8SequenceLength(static_cast<unsigned char>(*p)) : 1;
      });
}

std::optional<std::string> GbkToUtf8(std::string_view gbk) {
  return Convert(
      "UTF-8", kStoredCodePage, gbk,
      [](const char* p) {
        return static_cast<unsigned char>(*p) == kCp936Euro ? std::string_view(kEuroUtf8) : std::string_view("?");
      },
      GbkSequenceLength);
}

std::string Gbk(std::string_view utf8) {
  auto r = Utf8ToGbk(utf8);
  return r ? *r : std::string(utf8);
}

std::string Utf8(std::string_view gbk) {
  auto r = GbkToUtf8(gbk);
  return r ? *r : std::string(gbk);
}

std::string TruncateGbk(std::string_view gbk, size_t maxBytes) {
  if (gbk.size() <= maxBytes) return std::string(gbk);
  size_t i = 0;
  while (i < maxBytes) {
    size_t n = GbkSequenceLength(gbk.data() + i, gbk.size() - i);
    if (i + n > maxBytes) break;
    i += n;
  }
  return std::string(gbk.substr(0, i));
}

}  // namespace quorvo
