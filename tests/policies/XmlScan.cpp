#include "XmlScan.h"

#include <cstdint>
#include <stdexcept>

namespace purtest {

namespace {

void AppendUtf8(std::string& out, uint32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

std::string Decode(std::string_view raw) {
  static const std::map<std::string_view, char> kNamed = {
      {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
  std::string out;
  for (size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] != '&') {
      out += raw[i];
      continue;
    }
    const size_t end = raw.find(';', i);
    if (end == std::string_view::npos) throw std::runtime_error("unterminated entity");
    const std::string_view name = raw.substr(i + 1, end - i - 1);
    if (!name.empty() && name[0] == '#') {
      const bool hex = name.size() > 1 && (name[1] == 'x' || name[1] == 'X');
      const std::string digits(name.substr(hex ? 2 : 1));
      if (digits.empty()) throw std::runtime_error("empty character reference");
      AppendUtf8(out, static_cast<uint32_t>(std::stoul(digits, nullptr, hex ? 16 : 10)));
    } else {
      const auto found = kNamed.find(name);
      if (found == kNamed.end()) throw std::runtime_error("unknown entity &" + std::string(name) + ";");
      out += found->second;
    }
    i = end;
  }
  return out;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

class Scanner {
 public:
  explicit Scanner(std::string_view text) : Text_(text) {}

  XmlElement Document() {
    XmlElement top;
    bool found = false;
    while (SkipToMarkup()) {
      if (Skipped()) continue;
      if (found) throw std::runtime_error("more than one top element");
      top = Element();
      found = true;
    }
    if (!found) throw std::runtime_error("no element");
    return top;
  }

 private:
  // Blanks outside the top element; anything else there is an error.
  bool SkipToMarkup() {
    while (Pos_ < Text_.size() && IsBlank(Text_[Pos_])) ++Pos_;
    if (Pos_ >= Text_.size()) return false;
    if (Text_[Pos_] != '<') throw std::runtime_error("text outside the top element");
    return true;
  }

  bool StartsWith(std::string_view prefix) const { return Text_.substr(Pos_, prefix.size()) == prefix; }

  void SkipPast(std::string_view end) {
    const size_t found = Text_.find(end, Pos_);
    if (found == std::string_view::npos) throw std::runtime_error("unterminated " + std::string(end));
    Pos_ = found + end.size();
  }

  // Declarations, comments and the like, which carry nothing we read.
  bool Skipped() {
    if (StartsWith("<?")) {
      SkipPast("?>");
    } else if (StartsWith("<!--")) {
      SkipPast("-->");
    } else if (StartsWith("<!")) {
      SkipPast(">");
    } else {
      return false;
    }
    return true;
  }

  std::string Name() {
    const size_t start = Pos_;
    while (Pos_ < Text_.size() && !IsBlank(Text_[Pos_]) && Text_[Pos_] != '>' && Text_[Pos_] != '/' &&
           Text_[Pos_] != '=')
      ++Pos_;
    if (Pos_ == start) throw std::runtime_error("name expected");
    return std::string(Text_.substr(start, Pos_ - start));
  }

  void SkipBlanks() {
    while (Pos_ < Text_.size() && IsBlank(Text_[Pos_])) ++Pos_;
  }

  char Next() {
    if (Pos_ >= Text_.size()) throw std::runtime_error("unexpected end");
    return Text_[Pos_++];
  }

  // At '<' of a start tag: the element with everything inside it.
  XmlElement Element() {
    ++Pos_;
    XmlElement element;
    element.Name = Name();
    for (;;) {
      SkipBlanks();
      const char c = Next();
      if (c == '/') {
        if (Next() != '>') throw std::runtime_error("'>' expected after '/' in <" + element.Name + ">");
        return element;
      }
      if (c == '>') break;
      --Pos_;
      const std::string name = Name();
      SkipBlanks();
      if (Next() != '=') throw std::runtime_error("'=' expected after " + name);
      SkipBlanks();
      const char quote = Next();
      if (quote != '"' && quote != '\'') throw std::runtime_error("quoted value expected for " + name);
      const size_t end = Text_.find(quote, Pos_);
      if (end == std::string_view::npos) throw std::runtime_error("unterminated value of " + name);
      if (!element.Attributes.emplace(name, Decode(Text_.substr(Pos_, end - Pos_))).second)
        throw std::runtime_error("attribute " + name + " given twice");
      Pos_ = end + 1;
    }
    Content(element);
    return element;
  }

  void Content(XmlElement& element) {
    for (;;) {
      const size_t next = Text_.find('<', Pos_);
      if (next == std::string_view::npos) throw std::runtime_error("<" + element.Name + "> is not closed");
      element.Text += Decode(Text_.substr(Pos_, next - Pos_));
      Pos_ = next;
      if (Skipped()) continue;
      if (StartsWith("</")) {
        Pos_ += 2;
        const std::string name = Name();
        SkipBlanks();
        if (Next() != '>' || name != element.Name)
          throw std::runtime_error("</" + name + "> closes <" + element.Name + ">");
        return;
      }
      element.Children.push_back(Element());
    }
  }

  std::string_view Text_;
  size_t Pos_ = 0;
};

void Collect(const XmlElement& element, std::string_view name, std::vector<const XmlElement*>& out) {
  for (const XmlElement& child : element.Children) {
    if (child.Name == name) out.push_back(&child);
    Collect(child, name, out);
  }
}

}  // namespace

std::string XmlElement::Attribute(const std::string& name) const {
  const auto found = Attributes.find(name);
  return found == Attributes.end() ? std::string() : found->second;
}

std::vector<const XmlElement*> XmlElement::All(std::string_view name) const {
  std::vector<const XmlElement*> out;
  Collect(*this, name, out);
  return out;
}

const XmlElement* XmlElement::First(std::string_view name) const {
  for (const XmlElement& child : Children)
    if (child.Name == name) return &child;
  return nullptr;
}

XmlElement ParseXml(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  return Scanner(text).Document();
}

}  // namespace purtest
