#include "vesk/url/url.hpp"

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

#include "encoding.hpp"
#include "host.hpp"

namespace vesk_url {
namespace {

// Default port of a special scheme: -1 for "file" (none), -2 for a scheme that is not special.
int default_port(std::string_view scheme) {
  if (scheme == "http" || scheme == "ws") return 80;
  if (scheme == "https" || scheme == "wss") return 443;
  if (scheme == "ftp") return 21;
  if (scheme == "file") return -1;
  return -2;
}

bool special_scheme(std::string_view scheme) { return default_port(scheme) != -2; }

bool ascii_alpha(char32_t c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool ascii_digit(char32_t c) { return c >= '0' && c <= '9'; }
bool ascii_hex(char32_t c) { return c < 0x80 && detail::hex_value(static_cast<unsigned char>(c)) >= 0; }
char32_t ascii_lower(char32_t c) { return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c; }

bool windows_drive_letter(std::string_view s) {
  return s.size() == 2 && ascii_alpha(static_cast<unsigned char>(s[0])) && (s[1] == ':' || s[1] == '|');
}

bool normalized_windows_drive_letter(std::string_view s) { return windows_drive_letter(s) && s[1] == ':'; }

bool iequals(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (ascii_lower(static_cast<unsigned char>(a[i])) != ascii_lower(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

bool single_dot_segment(std::string_view s) { return s == "." || iequals(s, "%2e"); }

bool double_dot_segment(std::string_view s) {
  return s == ".." || iequals(s, ".%2e") || iequals(s, "%2e.") || iequals(s, "%2e%2e");
}

// First segment of a list path ("/a/b" gives "a").
std::string_view first_segment(std::string_view path) {
  if (path.empty()) return {};
  std::size_t end = path.find('/', 1);
  return path.substr(1, end == std::string_view::npos ? std::string_view::npos : end - 1);
}

// UTF-8 text to code points, with the leading and trailing C0-control-or-space stripped and every
// tab and newline removed.
std::u32string preprocess(std::string_view text) {
  std::u32string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    char32_t c = detail::decode_utf8(text, i);
    if (c == '\t' || c == '\n' || c == '\r') continue;
    out += c;
  }
  std::size_t begin = 0;
  std::size_t end = out.size();
  while (begin < end && out[begin] <= 0x20) ++begin;
  while (end > begin && out[end - 1] <= 0x20) --end;
  if (begin != 0 || end != out.size()) out = out.substr(begin, end - begin);
  return out;
}

}  // namespace

namespace detail {

class Parser {
 public:
  static std::optional<Url> run(std::string_view text, const Url* base);

 private:
  enum class State {
    scheme_start,
    scheme,
    no_scheme,
    special_relative_or_authority,
    path_or_authority,
    relative,
    relative_slash,
    special_authority_slashes,
    special_authority_ignore_slashes,
    authority,
    host,
    port,
    file,
    file_slash,
    file_host,
    path_start,
    path,
    opaque_path,
    query,
    fragment,
  };

  static constexpr char32_t kEof = 0x110000;

  Parser(std::u32string input, const Url* base) : in_(std::move(input)), base_(base) {}

  std::optional<Url> parse();
  void finish();

  char32_t at(std::ptrdiff_t i) const {
    return (i >= 0 && static_cast<std::size_t>(i) < in_.size()) ? in_[static_cast<std::size_t>(i)] : kEof;
  }
  // The code points after the current one start with `c`.
  bool remaining_starts_with(char32_t c) const { return at(p_ + 1) == c; }
  bool remaining_starts_with_two_hex() const { return ascii_hex(at(p_ + 1)) && ascii_hex(at(p_ + 2)); }
  // The code points from the current one on start with a Windows drive letter.
  bool starts_with_windows_drive_letter() const {
    char32_t a = at(p_);
    char32_t b = at(p_ + 1);
    if (!ascii_alpha(a) || (b != ':' && b != '|')) return false;
    char32_t third = at(p_ + 2);
    return third == kEof || third == '/' || third == '\\' || third == '?' || third == '#';
  }

  bool special() const { return special_; }
  void set_scheme(std::string scheme) {
    url_.scheme_ = std::move(scheme);
    special_ = special_scheme(url_.scheme_);
  }
  void shorten_path();
  void append_segment(std::string_view segment) {
    url_.path_ += '/';
    url_.path_ += segment;
  }
  void copy_authority_from_base() {
    url_.username_ = base_->username_;
    url_.password_ = base_->password_;
    url_.host_ = base_->host_;
    url_.host_kind_ = base_->host_kind_;
    url_.port_ = base_->port_;
  }
  bool set_host(std::string_view text) {
    std::optional<Host> host = parse_host(text, !special());
    if (!host) return false;
    url_.host_kind_ = host->kind;
    url_.host_ = std::move(host->text);
    return true;
  }

  std::u32string in_;
  const Url* base_;
  Url url_;
  bool special_ = false;
  std::ptrdiff_t p_ = 0;
  std::string buffer_;
  std::size_t buffer_code_points_ = 0;  // the authority state rewinds by this many
  std::uint32_t port_value_ = 0;        // saturates just above the largest port
  bool port_digits_ = false;
};

void Parser::shorten_path() {
  std::string& path = url_.path_;
  if (url_.scheme_ == "file" && path.find('/', 1) == std::string::npos &&
      normalized_windows_drive_letter(first_segment(path))) {
    return;
  }
  std::size_t last = path.rfind('/');
  if (last != std::string::npos) path.erase(last);
}

std::optional<Url> Parser::run(std::string_view text, const Url* base) {
  Parser parser(preprocess(text), base);
  parser.url_.path_.reserve(parser.in_.size());  // the path is most of a document URI
  return parser.parse();
}

std::optional<Url> Parser::parse() {
  State state = State::scheme_start;
  bool at_sign_seen = false;
  bool inside_brackets = false;
  bool password_token_seen = false;
  const std::ptrdiff_t n = static_cast<std::ptrdiff_t>(in_.size());

  for (;;) {
    const char32_t c = at(p_);
    switch (state) {
      case State::scheme_start:
        if (ascii_alpha(c)) {
          buffer_ += static_cast<char>(ascii_lower(c));
          state = State::scheme;
        } else {
          state = State::no_scheme;
          --p_;
        }
        break;

      case State::scheme:
        if (ascii_alpha(c) || ascii_digit(c) || c == '+' || c == '-' || c == '.') {
          buffer_ += static_cast<char>(ascii_lower(c));
        } else if (c == ':') {
          set_scheme(std::move(buffer_));
          buffer_.clear();
          if (url_.scheme_ == "file") {
            state = State::file;
          } else if (special() && base_ != nullptr && base_->scheme_ == url_.scheme_) {
            state = State::special_relative_or_authority;
          } else if (special()) {
            state = State::special_authority_slashes;
          } else if (remaining_starts_with('/')) {
            state = State::path_or_authority;
            ++p_;
          } else {
            url_.opaque_path_ = true;
            state = State::opaque_path;
          }
        } else {
          buffer_.clear();
          state = State::no_scheme;
          p_ = -1;  // start over
        }
        break;

      case State::no_scheme:
        if (base_ == nullptr || (base_->opaque_path_ && c != '#')) return std::nullopt;
        if (base_->opaque_path_ && c == '#') {
          set_scheme(base_->scheme_);
          url_.path_ = base_->path_;
          url_.opaque_path_ = true;
          url_.query_ = base_->query_;
          url_.fragment_ = std::string();
          state = State::fragment;
        } else if (base_->scheme_ != "file") {
          state = State::relative;
          --p_;
        } else {
          state = State::file;
          --p_;
        }
        break;

      case State::special_relative_or_authority:
        if (c == '/' && remaining_starts_with('/')) {
          state = State::special_authority_ignore_slashes;
          ++p_;
        } else {
          state = State::relative;
          --p_;
        }
        break;

      case State::path_or_authority:
        if (c == '/') {
          state = State::authority;
        } else {
          state = State::path;
          --p_;
        }
        break;

      case State::relative:
        set_scheme(base_->scheme_);
        if (c == '/') {
          state = State::relative_slash;
        } else if (special() && c == '\\') {
          state = State::relative_slash;
        } else {
          copy_authority_from_base();
          url_.path_ = base_->path_;
          url_.query_ = base_->query_;
          if (c == '?') {
            url_.query_ = std::string();
            state = State::query;
          } else if (c == '#') {
            url_.fragment_ = std::string();
            state = State::fragment;
          } else if (c != kEof) {
            url_.query_.reset();
            shorten_path();
            state = State::path;
            --p_;
          }
        }
        break;

      case State::relative_slash:
        if (special() && (c == '/' || c == '\\')) {
          state = State::special_authority_ignore_slashes;
        } else if (c == '/') {
          state = State::authority;
        } else {
          copy_authority_from_base();
          state = State::path;
          --p_;
        }
        break;

      case State::special_authority_slashes:
        if (c == '/' && remaining_starts_with('/')) {
          state = State::special_authority_ignore_slashes;
          ++p_;
        } else {
          state = State::special_authority_ignore_slashes;
          --p_;
        }
        break;

      case State::special_authority_ignore_slashes:
        if (c != '/' && c != '\\') {
          state = State::authority;
          buffer_code_points_ = 0;
          --p_;
        }
        break;

      case State::authority:
        if (c == '@') {
          if (at_sign_seen) buffer_.insert(0, "%40");
          at_sign_seen = true;
          for (unsigned char byte : buffer_) {
            if (byte == ':' && !password_token_seen) {
              password_token_seen = true;
              continue;
            }
            append_byte_encoded(password_token_seen ? url_.password_ : url_.username_, byte, kUserinfoSet);
          }
          buffer_.clear();
          buffer_code_points_ = 0;
        } else if (c == kEof || c == '/' || c == '?' || c == '#' || (special() && c == '\\')) {
          if (at_sign_seen && buffer_.empty()) return std::nullopt;
          p_ -= static_cast<std::ptrdiff_t>(buffer_code_points_) + 1;
          buffer_.clear();
          state = State::host;
        } else {
          append_utf8(buffer_, c);
          ++buffer_code_points_;
        }
        break;

      case State::host:
        if (c == ':' && !inside_brackets) {
          if (buffer_.empty()) return std::nullopt;
          if (!set_host(buffer_)) return std::nullopt;
          buffer_.clear();
          state = State::port;
        } else if (c == kEof || c == '/' || c == '?' || c == '#' || (special() && c == '\\')) {
          --p_;
          if (special() && buffer_.empty()) return std::nullopt;
          if (!set_host(buffer_)) return std::nullopt;
          buffer_.clear();
          state = State::path_start;
        } else {
          if (c == '[') inside_brackets = true;
          if (c == ']') inside_brackets = false;
          append_utf8(buffer_, c);
        }
        break;

      case State::port:
        if (ascii_digit(c)) {
          port_value_ = std::min<std::uint32_t>(port_value_ * 10 + (c - '0'), 0x10000);
          port_digits_ = true;
        } else if (c == kEof || c == '/' || c == '?' || c == '#' || (special() && c == '\\')) {
          if (port_digits_) {
            if (port_value_ > 0xFFFF) return std::nullopt;
            if (static_cast<int>(port_value_) == default_port(url_.scheme_)) {
              url_.port_.reset();
            } else {
              url_.port_ = static_cast<std::uint16_t>(port_value_);
            }
          }
          state = State::path_start;
          --p_;
        } else {
          return std::nullopt;
        }
        break;

      case State::file:
        set_scheme("file");
        url_.host_.clear();
        url_.host_kind_ = HostKind::empty;
        if (c == '/' || c == '\\') {
          state = State::file_slash;
        } else if (base_ != nullptr && base_->scheme_ == "file") {
          url_.host_ = base_->host_;
          url_.host_kind_ = base_->host_kind_;
          url_.path_ = base_->path_;
          url_.query_ = base_->query_;
          if (c == '?') {
            url_.query_ = std::string();
            state = State::query;
          } else if (c == '#') {
            url_.fragment_ = std::string();
            state = State::fragment;
          } else if (c != kEof) {
            url_.query_.reset();
            if (!starts_with_windows_drive_letter()) {
              shorten_path();
            } else {
              url_.path_.clear();
            }
            state = State::path;
            --p_;
          }
        } else {
          state = State::path;
          --p_;
        }
        break;

      case State::file_slash:
        if (c == '/' || c == '\\') {
          state = State::file_host;
        } else {
          if (base_ != nullptr && base_->scheme_ == "file") {
            url_.host_ = base_->host_;
            url_.host_kind_ = base_->host_kind_;
            std::string_view first = first_segment(base_->path_);
            if (!starts_with_windows_drive_letter() && !base_->path_.empty() &&
                normalized_windows_drive_letter(first)) {
              append_segment(first);
            }
          }
          state = State::path;
          --p_;
        }
        break;

      case State::file_host:
        if (c == kEof || c == '/' || c == '\\' || c == '?' || c == '#') {
          --p_;
          if (windows_drive_letter(buffer_)) {
            state = State::path;  // the buffer becomes the first path segment
          } else if (buffer_.empty()) {
            url_.host_.clear();
            url_.host_kind_ = HostKind::empty;
            state = State::path_start;
          } else {
            if (!set_host(buffer_)) return std::nullopt;
            if (url_.host_kind_ == HostKind::domain && url_.host_ == "localhost") {
              url_.host_.clear();
              url_.host_kind_ = HostKind::empty;
            }
            buffer_.clear();
            state = State::path_start;
          }
        } else {
          append_utf8(buffer_, c);
        }
        break;

      case State::path_start:
        if (special()) {
          state = State::path;
          if (c != '/' && c != '\\') --p_;
        } else if (c == '?') {
          url_.query_ = std::string();
          state = State::query;
        } else if (c == '#') {
          url_.fragment_ = std::string();
          state = State::fragment;
        } else if (c != kEof) {
          state = State::path;
          if (c != '/') --p_;
        }
        break;

      case State::path:
        if (c == kEof || c == '/' || (special() && c == '\\') || c == '?' || c == '#') {
          const bool slash = c == '/' || (special() && c == '\\');
          if (double_dot_segment(buffer_)) {
            shorten_path();
            if (!slash) append_segment("");
          } else if (single_dot_segment(buffer_)) {
            if (!slash) append_segment("");
          } else {
            if (url_.scheme_ == "file" && url_.path_.empty() && windows_drive_letter(buffer_)) buffer_[1] = ':';
            append_segment(buffer_);
          }
          buffer_.clear();
          if (c == '?') {
            url_.query_ = std::string();
            state = State::query;
          }
          if (c == '#') {
            url_.fragment_ = std::string();
            state = State::fragment;
          }
        } else {
          append_encoded(buffer_, c, kPathSet);
        }
        break;

      case State::opaque_path:
        if (c == '?') {
          url_.query_ = std::string();
          state = State::query;
        } else if (c == '#') {
          url_.fragment_ = std::string();
          state = State::fragment;
        } else if (c == ' ') {
          char32_t next = at(p_ + 1);
          url_.path_ += (next == '?' || next == '#') ? "%20" : " ";
        } else if (c != kEof) {
          append_encoded(url_.path_, c, kC0ControlSet);
        }
        break;

      case State::query:
        if (c == '#') {
          url_.fragment_ = std::string();
          state = State::fragment;
        } else if (c != kEof) {
          append_encoded(*url_.query_, c, special() ? kSpecialQuerySet : kQuerySet);
        }
        break;

      case State::fragment:
        if (c != kEof) append_encoded(*url_.fragment_, c, kFragmentSet);
        break;
    }
    if (p_ >= n) break;
    ++p_;
  }
  finish();
  return std::move(url_);
}

// Serialises the parsed record into href.
void Parser::finish() {
  Url& u = url_;
  std::string& out = u.href_;
  out.reserve(u.scheme_.size() + u.host_.size() + u.path_.size() + 16);
  out += u.scheme_;
  out += ':';
  if (u.host_kind_ != HostKind::none) {
    out += "//";
    if (!u.username_.empty() || !u.password_.empty()) {
      out += u.username_;
      if (!u.password_.empty()) {
        out += ':';
        out += u.password_;
      }
      out += '@';
    }
    out += u.host_;
    if (u.port_) {
      out += ':';
      out += std::to_string(*u.port_);
    }
  } else if (!u.opaque_path_ && u.path_.size() > 1 && u.path_[0] == '/' && u.path_[1] == '/') {
    out += "/.";
  }
  out += u.path_;
  if (u.query_) {
    out += '?';
    out += *u.query_;
  }
  if (u.fragment_) {
    out += '#';
    out += *u.fragment_;
  }
}

}  // namespace detail

bool Url::is_special() const { return special_scheme(scheme_); }

std::string Url::host() const {
  if (host_kind_ == HostKind::none) return {};
  if (!port_) return host_;
  return host_ + ':' + std::to_string(*port_);
}

std::string Url::port() const { return port_ ? std::to_string(*port_) : std::string(); }

std::string Url::search() const { return (query_ && !query_->empty()) ? '?' + *query_ : std::string(); }

std::string Url::hash() const { return (fragment_ && !fragment_->empty()) ? '#' + *fragment_ : std::string(); }

std::string Url::origin() const {
  if (scheme_ == "blob") {
    std::optional<Url> inner = parse(path_);
    if (inner && (inner->scheme_ == "http" || inner->scheme_ == "https")) return inner->origin();
    return "null";
  }
  if (!is_special() || scheme_ == "file") return "null";
  std::string out = scheme_ + "://" + host_;
  if (port_) out += ':' + std::to_string(*port_);
  return out;
}

std::optional<Url> parse(std::string_view input, const Url* base) {
  try {
    return detail::Parser::run(input, base);
  } catch (...) {
    // Only allocation can throw here.
    return std::nullopt;
  }
}

}  // namespace vesk_url
